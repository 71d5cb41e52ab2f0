#include "users/ui/CLogin.h"

#include "uikit/DialogButtons.h"
#include "uikit/MessageBoxes.h"
#include "uikit/TavoxIcons.h"
#include "users/LoginDigest.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int kAttempts = 3;

} // namespace

CLogin::CLogin(MessageBoxes& boxes, const UserProfile& profile, QWidget* parent, std::uint32_t iterations)
    : CPasswordDialog(boxes, profile, parent, iterations)
    , m_password(passwordEdit(220))
{
    setWindowTitle(QStringLiteral("Tavox Server Utility Login"));
    auto* label = new QLabel(QStringLiteral("Password:"), this);
    label->setBuddy(m_password);

    auto* icon = new QLabel(this);
    icon->setPixmap(tavox_icons::appIcon().pixmap(48, 48));
    auto* fields = new QHBoxLayout;
    fields->addWidget(icon);
    fields->addSpacing(8);
    fields->addWidget(label);
    fields->addWidget(m_password, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(okCancelRow(this));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CLogin::accept()
{
    if (checkLoginPassword(m_profile, m_storedDigest, m_password->text().toStdU16String(), m_iterations)) {
        QDialog::accept();
        return;
    }
    ++m_failures;
    if (m_failures < kAttempts) {
        m_boxes.show(this,
            QStringLiteral("The password is not correct! Please try again."),
            QStringLiteral("Warning"),
            MbIcon::Warning);
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    m_boxes.show(this, QStringLiteral("The password is not correct!"), QStringLiteral("Warning"), MbIcon::Warning);
    reject();
}
