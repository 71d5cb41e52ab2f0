#include "pages/CPgAbout.h"

#include "config/UserProfile.h"
#include "uikit/PagePointers.h"
#include "uikit/TavoxIcons.h"
#include "users/ui/CSetPwd.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kIconSize = 96;

} // namespace

CPgAbout::CPgAbout(MessageBoxes& boxes, const platform::SettingsStore& user, QWidget* parent)
    : CTavoxPage(QStringLiteral("About"), boxes, parent)
    , m_user(user)
    , m_icon(new QLabel(this))
{
    auto* passwordLabel = new QLabel(QStringLiteral("Change Login Password:"), this);
    auto* passwordButton = new QPushButton(QStringLiteral("Login Password"), this);
    connect(passwordButton, &QPushButton::clicked, this, &CPgAbout::OnLoginPassword);

    auto* group = new QGroupBox(this);
    auto* copyright = new QLabel(QStringLiteral("Copyright \u00A9 2024 MORVANE. All rights reserved."), group);
    auto* disclaimer = new QLabel(
        QStringLiteral("This program is provided \u201Cas is\u201D, without warranty of any kind, either expressed "
                       "or implied, including but not limited to the warranties of design, merchantability and "
                       "fitness for a particular purpose."),
        group);
    disclaimer->setWordWrap(true);
    m_icon->setFixedSize(kIconSize, kIconSize);
    m_icon->setAlignment(Qt::AlignCenter);

    auto* texts = new QVBoxLayout;
    texts->addWidget(copyright);
    texts->addSpacing(6);
    texts->addWidget(disclaimer);
    texts->addStretch(1);
    auto* groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(m_icon, 0, Qt::AlignTop);
    groupLayout->addSpacing(10);
    groupLayout->addLayout(texts, 1);

    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(passwordLabel);
    passwordRow->addWidget(passwordButton);
    passwordRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(passwordRow);
    layout->addSpacing(8);
    layout->addWidget(group);
    layout->addStretch(1);
}

CPgAbout::~CPgAbout() { clearPagePointer(g_pPgAbout, this); }

void CPgAbout::OnInitDialog()
{
    g_pPgAbout = this;
    m_icon->setPixmap(tavox_icons::appIcon().pixmap(kIconSize, kIconSize));
}

void CPgAbout::OnLoginPassword()
{
    CSetPwd dialog(messageBoxes(), UserProfile::utility(m_user), this);
    dialog.exec();
}
