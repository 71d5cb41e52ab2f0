#pragma once

#include <QLineEdit>

class QKeyEvent;
class QValidator;

/// A limit edit of the "Alarm Condition" dialog: it takes only the characters of a number of
/// its data type (nodeconfig::AcceptsTypedCharacter) up to the type's text limit. A typed
/// character is judged against the text as it stands; one that is refused leaves the text as it
/// was, a selection included. Text that comes in any other way (pasted, dropped, set through an
/// assistive technology) goes through the same rules, character by character, as if it had been
/// typed where it lands.
class CAlarmEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CAlarmEdit(QWidget* parent = nullptr);

    /// The type code of the variable (nodeconfig::AlarmDataType); sets the text limit.
    void setTypeCode(int typeCode);
    int typeCode() const { return m_typeCode; }
    /// Shows a limit as it was stored, unfiltered; the text limit grows to hold a longer one, so
    /// that nothing of it is cut.
    void setLimitText(const QString& text);

protected:
    /// A typed character that the rules refuse is dropped before the edit sees it, so that it
    /// cannot take a selection away with it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Filter;

    int m_typeCode = 0;
    Filter* m_filter = nullptr;
};
