#include "nodeconfig/ui/CDlgSetAlarm.h"

#include "nodeconfig/AlarmLimitInput.h"
#include "nodeconfig/SettingsBlock.h"
#include "nodeconfig/ui/CAlarmEdit.h"
#include "uikit/DialogButtons.h"
#include "uikit/MessageBoxes.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

CDlgSetAlarm::CDlgSetAlarm(int dataTypeCode,
    const nodeconfig::AlarmLimits& limits,
    MessageBoxes& boxes,
    QWidget* parent)
    : QDialog(parent)
    , m_highHighLimit(fromUtf8(limits.highHigh))
    , m_highLimit(fromUtf8(limits.high))
    , m_lowLimit(fromUtf8(limits.low))
    , m_lowLowLimit(fromUtf8(limits.lowLow))
    , m_dataTypeCode(dataTypeCode)
    , m_boxes(boxes)
{
    setObjectName(QStringLiteral("CDlgSetAlarm"));
    setWindowTitle(QStringLiteral("Alarm Condition"));

    auto* form = new QFormLayout;
    const auto addLimit = [this, form](const QString& caption, const QString& text, const char* name) {
        auto* edit = new CAlarmEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setTypeCode(m_dataTypeCode);
        edit->setLimitText(text);
        auto* label = new QLabel(caption);
        label->setBuddy(edit);
        form->addRow(label, edit);
        return edit;
    };
    m_highHighEdit = addLimit(QStringLiteral("High High Limit:"), m_highHighLimit, "highHighLimit");
    m_highEdit = addLimit(QStringLiteral("High Limit:"), m_highLimit, "highLimit");
    m_lowEdit = addLimit(QStringLiteral("Low Limit:"), m_lowLimit, "lowLimit");
    m_lowLowEdit = addLimit(QStringLiteral("Low Low Limit:"), m_lowLowLimit, "lowLowLimit");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(okCancelRow(this));
}

nodeconfig::AlarmLimits CDlgSetAlarm::limits() const
{
    return {
        m_highHighLimit.toStdString(), m_highLimit.toStdString(), m_lowLimit.toStdString(), m_lowLowLimit.toStdString()
    };
}

void CDlgSetAlarm::takeTexts()
{
    m_highHighLimit = m_highHighEdit->text();
    m_highLimit = m_highEdit->text();
    m_lowLimit = m_lowEdit->text();
    m_lowLowLimit = m_lowLowEdit->text();
}

void CDlgSetAlarm::accept()
{
    takeTexts();
    const nodeconfig::AlarmLimits entered = limits();
    const nodeconfig::AlarmLimitsReview review = nodeconfig::reviewAlarmLimits(m_dataTypeCode, entered);
    if (review.problem != nodeconfig::AlarmConditionProblem::None) {
        m_boxes.show(nullptr,
            fromUtf8(nodeconfig::alarmConditionMessage(review.problem)),
            QStringLiteral("Error"),
            MbIcon::None,
            MbButtons::Ok);
        return;
    }
    // Limits out of order are kept only when the administrator says so.
    if (review.outOfOrder
        && m_boxes.show(this,
               fromUtf8(nodeconfig::kLimitOrderQuestion),
               QStringLiteral("Warning"),
               MbIcon::Warning,
               MbButtons::YesNo)
            != MbResult::Yes)
        return;
    QDialog::accept();
}
