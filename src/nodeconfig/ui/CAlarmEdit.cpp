#include "nodeconfig/ui/CAlarmEdit.h"

#include "nodeconfig/AlarmLimitInput.h"

#include <QKeyEvent>
#include <QValidator>

#include <algorithm>
#include <string>

/// Compares each new text of the edit with the one it last accepted: the characters that came
/// in go through the typing rules at the place they came in, the others are dropped.
class CAlarmEdit::Filter final : public QValidator {
public:
    explicit Filter(CAlarmEdit& edit)
        : QValidator(&edit)
        , m_edit(edit)
    {
    }

    void setAccepted(const QString& text) { m_accepted = text.toStdU16String(); }

    State validate(QString& input, int& position) const override
    {
        const std::u16string after = input.toStdU16String();
        const std::u16string& before = m_accepted;
        const std::size_t caret = std::min(static_cast<std::size_t>(std::max(position, 0)), after.size());
        // What changed lies between the common start and the common end; the end stops at the
        // caret, which stands after what came in.
        std::size_t suffix = 0;
        const std::size_t suffixRoom = std::min(before.size(), after.size() - caret);
        while (suffix < suffixRoom && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
            ++suffix;
        std::size_t prefix = 0;
        const std::size_t prefixRoom = std::min(before.size(), after.size()) - suffix;
        while (prefix < prefixRoom && before[prefix] == after[prefix])
            ++prefix;
        const std::u16string_view inserted = std::u16string_view(after).substr(prefix, after.size() - suffix - prefix);
        const nodeconfig::LimitEditText filtered = nodeconfig::insertAsTyped(m_edit.typeCode(),
            before,
            prefix,
            before.size() - suffix,
            inserted,
            static_cast<std::size_t>(m_edit.maxLength()));
        if (filtered.text != after) {
            input = QString::fromStdU16String(filtered.text);
            position = static_cast<int>(filtered.caret);
        }
        return Acceptable;
    }

private:
    CAlarmEdit& m_edit;
    std::u16string m_accepted;
};

CAlarmEdit::CAlarmEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_filter(new Filter(*this))
{
    setValidator(m_filter);
    setMaxLength(static_cast<int>(nodeconfig::alarmTextLimit(m_typeCode)));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { m_filter->setAccepted(text); });
}

void CAlarmEdit::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    // With Ctrl, Alt or Meta held the key is a shortcut (paste, say), which the edit handles.
    const bool shortcut = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    if (typed.size() == 1 && typed.front().isPrint() && !shortcut && !isReadOnly()) {
        const std::u16string current = text().toStdU16String();
        const auto start = static_cast<std::size_t>(hasSelectedText() ? selectionStart() : cursorPosition());
        const auto end = start + static_cast<std::size_t>(selectedText().size());
        if (!nodeconfig::acceptsTypedOverSelection(
                m_typeCode, current, static_cast<std::size_t>(cursorPosition()), start, end, typed.front().unicode())) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CAlarmEdit::setTypeCode(int typeCode)
{
    m_typeCode = typeCode;
    setMaxLength(std::max(static_cast<int>(nodeconfig::alarmTextLimit(typeCode)), static_cast<int>(text().size())));
}

void CAlarmEdit::setLimitText(const QString& text)
{
    setMaxLength(std::max(static_cast<int>(nodeconfig::alarmTextLimit(m_typeCode)), static_cast<int>(text.size())));
    m_filter->setAccepted(text);
    setText(text);
}
