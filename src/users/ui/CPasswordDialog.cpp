#include "users/ui/CPasswordDialog.h"

#include "users/LoginDigest.h"

#include <QLineEdit>

CPasswordDialog::CPasswordDialog(MessageBoxes& boxes,
    const UserProfile& profile,
    QWidget* parent,
    std::uint32_t iterations)
    : QDialog(parent)
    , m_boxes(boxes)
    , m_profile(profile)
    , m_iterations(iterations)
    , m_storedDigest(readLoginDigest(profile))
{
}

QLineEdit* CPasswordDialog::passwordEdit(int minimumWidth)
{
    auto* edit = new QLineEdit(this);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMinimumWidth(minimumWidth);
    return edit;
}
