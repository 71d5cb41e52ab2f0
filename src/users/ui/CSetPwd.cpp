#include "users/ui/CSetPwd.h"

#include "uikit/DialogButtons.h"
#include "uikit/MessageBoxes.h"
#include "users/LoginDigest.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CSetPwd::CSetPwd(MessageBoxes& boxes, const UserProfile& profile, QWidget* parent, std::uint32_t iterations)
    : CPasswordDialog(boxes, profile, parent, iterations)
{
    setWindowTitle(QStringLiteral("Change Login Password"));
    auto* form = new QFormLayout;
    m_old = addPasswordRow(form, QStringLiteral("Old Password:"));
    m_new = addPasswordRow(form, QStringLiteral("New Password:"));
    m_confirm = addPasswordRow(form, QStringLiteral("Confirm Password:"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addLayout(okCancelRow(this));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* CSetPwd::addPasswordRow(QFormLayout* form, const QString& caption)
{
    QLineEdit* edit = passwordEdit(200);
    auto* label = new QLabel(caption, this);
    label->setBuddy(edit);
    form->addRow(label, edit);
    return edit;
}

void CSetPwd::accept()
{
    const auto result = changeLoginPassword(m_profile,
        m_storedDigest,
        m_old->text().toStdU16String(),
        m_new->text().toStdU16String(),
        m_confirm->text().toStdU16String(),
        m_iterations);
    switch (result) {
    case LoginPasswordChange::WrongOldPassword:
        m_boxes.show(this,
            QStringLiteral("The old password is not correct! Please input it again."),
            QStringLiteral("Warning"),
            MbIcon::Warning);
        m_old->setFocus();
        return;
    case LoginPasswordChange::NotConfirmed:
        m_boxes.show(this,
            QStringLiteral("The passwords are not the same. Please confirm it again."),
            QStringLiteral("Error"),
            MbIcon::Warning);
        m_confirm->setFocus();
        return;
    case LoginPasswordChange::DigestFailed:
        m_boxes.show(this,
            QStringLiteral("The password could not be changed: its digest cannot be computed."),
            QStringLiteral("Error"),
            MbIcon::Error);
        return;
    case LoginPasswordChange::NotStored:
        m_boxes.show(this,
            QStringLiteral("The password could not be changed: the user settings cannot be written."),
            QStringLiteral("Error"),
            MbIcon::Error);
        return;
    case LoginPasswordChange::Changed:
        break;
    }
    m_boxes.show(
        this, QStringLiteral("The password has been changed!"), QStringLiteral("Information"), MbIcon::Information);
    QDialog::accept();
}
