#include "uikit/MessageBoxes.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon toQtIcon(MbIcon icon)
{
    switch (icon) {
    case MbIcon::Error:
        return QMessageBox::Critical;
    case MbIcon::Warning:
        return QMessageBox::Warning;
    case MbIcon::Question:
        return QMessageBox::Question;
    case MbIcon::Information:
        return QMessageBox::Information;
    case MbIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MbResult QtMessageBoxes::show(QWidget* owner, const QString& text, const QString& caption, MbIcon icon, MbButtons buttons)
{
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::NoButton, owner);
    switch (buttons) {
    case MbButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MbButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MbButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MbButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return MbResult::Ok;
    case QMessageBox::Yes:
        return MbResult::Yes;
    case QMessageBox::No:
        return MbResult::No;
    default:
        return buttons == MbButtons::YesNo ? MbResult::No : MbResult::Cancel;
    }
}

MbResult showMessage(MessageBoxes& boxes, QWidget* owner, const UserMessage& message)
{
    return boxes.show(owner, QString::fromStdString(message.text), QString::fromStdString(message.caption),
        message.icon, message.buttons);
}
