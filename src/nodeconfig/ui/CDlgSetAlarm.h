#pragma once

#include <QDialog>
#include <QString>

class CAlarmEdit;
class MessageBoxes;

namespace nodeconfig {
struct AlarmLimits;
}

/// The "Alarm Condition" dialog: the four limits of a level alarm, each edit taking only the
/// characters of a number of the variable's type. OK checks the texts lightly, asks before it
/// keeps limits out of order, and hands the texts back unchanged.
class CDlgSetAlarm : public QDialog {
    Q_OBJECT

public:
    /// `dataTypeCode` is the variable's nodeconfig::AlarmDataType; `limits` start the edits.
    CDlgSetAlarm(int dataTypeCode,
        const nodeconfig::AlarmLimits& limits,
        MessageBoxes& boxes,
        QWidget* parent = nullptr);

    /// The four texts as OK took them from the edits.
    nodeconfig::AlarmLimits limits() const;
    int dataTypeCode() const { return m_dataTypeCode; }

public slots:
    void accept() override;

private:
    void takeTexts();

    QString m_highHighLimit;
    QString m_highLimit;
    QString m_lowLimit;
    QString m_lowLowLimit;
    int m_dataTypeCode = 0;
    MessageBoxes& m_boxes;
    CAlarmEdit* m_highHighEdit = nullptr;
    CAlarmEdit* m_highEdit = nullptr;
    CAlarmEdit* m_lowEdit = nullptr;
    CAlarmEdit* m_lowLowEdit = nullptr;
};
