#include "pages/CDlgAbout.h"

#include "config/ProductVersion.h"
#include "uikit/TavoxIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CDlgAbout::CDlgAbout(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Tavox Utility"));
    auto* icon = new QLabel(this);
    icon->setPixmap(tavox_icons::appIcon().pixmap(48, 48));
    const QString version
        = QString::fromUtf8(kProductVersionText.data(), static_cast<qsizetype>(kProductVersionText.size()));
    auto* name = new QLabel(version, this);
    auto* copyright = new QLabel(QStringLiteral("Copyright \u00A9 2024"), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CDlgAbout::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(copyright);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    top->addSpacing(12);
    top->addWidget(ok, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
