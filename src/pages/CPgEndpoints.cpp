#include "pages/CPgEndpoints.h"

#include "certificates/StoreLayout.h"
#include "certificates/ui/CDlgCertificates.h"
#include "config/EndpointSettings.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"
#include "uikit/CheckBoxes.h"
#include "uikit/Labels.h"
#include "uikit/MessageBoxes.h"
#include "uikit/PagePointers.h"
#include "uikit/Rows.h"
#include "uikit/SheetServices.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

QLineEdit* portEdit(const QString& objectName)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(objectName);
    // Digits only, as the port fields accept; an empty field is allowed and counts as 0.
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QLineEdit* serverNameEdit(const QString& objectName)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(objectName);
    edit->setEnabled(false);
    return edit;
}

QCheckBox* fixedBox(const QString& caption)
{
    auto* box = new QCheckBox(caption);
    box->setEnabled(false);
    return box;
}

} // namespace

CPgEndpoints::CPgEndpoints(MessageBoxes& boxes, const platform::SettingsStore& machine, QWidget* parent)
    : CTavoxPage(QStringLiteral("Endpoints"), boxes, parent)
    , m_settings(machine)
    , m_machine(machine)
{
    buildView();
}

CPgEndpoints::~CPgEndpoints() { clearPagePointer(g_pPgEndpoints, this); }

void CPgEndpoints::buildView()
{
    m_uaTcpAddress = new QLabel(QStringLiteral("UA TCP Addr: "));
    m_uaTcpAddress->setObjectName(QStringLiteral("uaTcpAddress"));
    // The address carries the host name as the system reports it; never read it as markup.
    m_uaTcpAddress->setTextFormat(Qt::PlainText);
    m_uaTcpPort = portEdit(QStringLiteral("uaTcpPort"));
    m_uaTcpServerName = serverNameEdit(QStringLiteral("uaTcpServerName"));
    m_securityNone = new QCheckBox(QStringLiteral("None"));
    m_sign = fixedBox(QStringLiteral("Sign"));
    m_signEncrypt = fixedBox(QStringLiteral("Sign&Encrypt"));
    m_policies[0] = fixedBox(QStringLiteral("Basic128Rsa15"));
    m_policies[1] = fixedBox(QStringLiteral("Basic256"));
    m_policies[2] = fixedBox(QStringLiteral("Basic256Sha256"));

    auto* uaTcp = new QGroupBox(QStringLiteral("UA TCP"));
    auto* uaTcpGrid = new QGridLayout(uaTcp);
    uaTcpGrid->addLayout(leftAlignedRow({ m_uaTcpAddress }), 0, 0, 1, 2);
    addLabelledRow(uaTcpGrid, 1, QStringLiteral("Port:"), m_uaTcpPort);
    addLabelledRow(uaTcpGrid, 2, QStringLiteral("Server Name:"), m_uaTcpServerName);
    uaTcpGrid->addWidget(labelFor(QStringLiteral("Security Modes:"), m_securityNone), 3, 0);
    uaTcpGrid->addLayout(leftAlignedRow({ m_securityNone, m_sign, m_signEncrypt }), 3, 1);
    uaTcpGrid->addWidget(labelFor(QStringLiteral("Security Policies:"), m_policies[0]), 4, 0);
    uaTcpGrid->addLayout(leftAlignedRow({ m_policies[0], m_policies[1], m_policies[2] }), 4, 1);

    m_httpsSwitch = new QCheckBox(QStringLiteral("HTTPS Addr: "));
    m_httpsSwitch->setObjectName(QStringLiteral("httpsSwitch"));
    m_httpsPort = portEdit(QStringLiteral("httpsPort"));
    m_httpsServerName = serverNameEdit(QStringLiteral("httpsServerName"));

    auto* https = new QGroupBox(QStringLiteral("HTTPS"));
    auto* httpsGrid = new QGridLayout(https);
    httpsGrid->addLayout(leftAlignedRow({ m_httpsSwitch }), 0, 0, 1, 2);
    addLabelledRow(httpsGrid, 1, QStringLiteral("Port:"), m_httpsPort);
    addLabelledRow(httpsGrid, 2, QStringLiteral("Server Name:"), m_httpsServerName);

    m_certificates = new QPushButton(QStringLiteral("Certificates..."));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(uaTcp);
    layout->addWidget(https);
    layout->addLayout(leftAlignedRow({ m_certificates }));
    layout->addStretch();

    connect(m_uaTcpPort, &QLineEdit::textChanged, this, &CPgEndpoints::markModifiedAfterFill);
    connect(m_httpsPort, &QLineEdit::textChanged, this, &CPgEndpoints::markModifiedAfterFill);
    connect(m_securityNone, &QCheckBox::toggled, this, &CPgEndpoints::markModifiedAfterFill);
    connect(m_certificates, &QPushButton::clicked, this, &CPgEndpoints::openCertificates);
    connect(m_httpsSwitch, &QCheckBox::toggled, this, [this](bool checked) {
        m_httpsPort->setEnabled(checked);
        SetModified(true);
    });
}

void CPgEndpoints::OnInitDialog()
{
    g_pPgEndpoints = this;
    for (QCheckBox* box : { m_sign, m_signEncrypt, m_policies[0], m_policies[1], m_policies[2] })
        box->setChecked(true);
    fill();
}

void CPgEndpoints::Refresh() { fill(); }

void CPgEndpoints::openCertificates()
{
    // The store lives beside the machine store, where the daemon keeps its state.
    const auto state = certificates::stateFolder(nullptr, m_machine.path());
    const std::string host = support::utf16ToUtf8(EndpointSettings::computerName());
    CDlgCertificates dialog(messageBoxes(),
        certificates::StoreLayout::applications(state),
        { host, certificates::applicationUri(host) },
        this);
    dialog.exec();
}

void CPgEndpoints::markModifiedAfterFill()
{
    // The page's own filling changes the fields too; only the user's edits count.
    if (m_filled)
        SetModified(true);
}

void CPgEndpoints::fill()
{
    m_filled = false;
    const EndpointSettings::Shown shown = m_settings.load();
    const QString computerName = QString::fromStdU16String(shown.computerName);
    m_uaTcpAddress->setText(QString::fromStdU16String(shown.uaTcpUrl));
    m_uaTcpPort->setText(QString::number(shown.uaTcpPort));
    m_uaTcpServerName->setText(computerName);
    checkboxes::showChecked(m_securityNone, shown.securityNone);
    checkboxes::showChecked(m_httpsSwitch, shown.https);
    m_httpsSwitch->setText(QString::fromStdU16String(shown.httpsUrl));
    m_httpsPort->setText(QString::number(shown.httpsPort));
    m_httpsServerName->setText(computerName);
    m_filled = true;
    SetModified(false);
}

bool CPgEndpoints::OnApply()
{
    const EndpointSettings::Edited edited { m_httpsSwitch->isChecked(),
        m_securityNone->isChecked(),
        m_uaTcpPort->text().toStdU16String(),
        m_httpsPort->text().toStdU16String() };
    // The page says nothing of a failed write, as it never did: what could be stored is.
    const support::Result<void> applied = m_settings.apply(edited);
    if (!applied && applied.error().kind == support::ErrorKind::InvalidInput) {
        showMessage(messageBoxes(), this, { applied.error().message, "Error!", MbIcon::Error });
        return false;
    }
    if (sheet())
        sheet()->RequestRestart();
    SetModified(false);
    return true;
}
