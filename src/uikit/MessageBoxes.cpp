#include "uikit/MessageBoxes.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon toQtIcon(MbIcon icon)
{
    // In the order of MbIcon.
    constexpr QMessageBox::Icon kIcons[] = { QMessageBox::NoIcon,
        QMessageBox::Critical,
        QMessageBox::Warning,
        QMessageBox::Question,
        QMessageBox::Information };
    return kIcons[static_cast<int>(icon)];
}

} // namespace

MbResult
QtMessageBoxes::show(QWidget* owner, const QString& text, const QString& caption, MbIcon icon, MbButtons buttons)
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
    return boxes.show(owner,
        QString::fromStdString(message.text),
        QString::fromStdString(message.caption),
        message.icon,
        message.buttons);
}
