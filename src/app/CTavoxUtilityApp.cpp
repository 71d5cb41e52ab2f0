#include "app/CTavoxUtilityApp.h"

#include "app/CPsTavox.h"
#include "app/SingleInstance.h"
#include "config/UserProfile.h"
#include "history/ui/CPgODBCSQL.h"
#include "nodeconfig/SettingsBlock.h"
#include "nodeconfig/ui/CPgXmlConfigure.h"
#include "pages/CPgAbout.h"
#include "pages/CPgEndpoints.h"
#include "pages/CPgStatus.h"
#include "platform/SettingsStore.h"
#include "platform/UnixOdbc.h"
#include "support/DebugOutput.h"
#include "uastack/UaPlatformLayer.h"
#include "uaxml/UaXmlDocument.h"
#include "uikit/FileDialogs.h"
#include "uikit/TavoxIcons.h"
#include "users/ui/CLogin.h"
#include "users/ui/CPgUsers.h"

#include <QApplication>
#include <QPalette>

const QString CTavoxUtilityApp::kAppTitle = QStringLiteral("Tavox Server Utility");
const QString CTavoxUtilityApp::kAppName = QStringLiteral("Tavox Utility");
const QString CTavoxUtilityApp::kCompany = QStringLiteral("MORVANE");

CTavoxUtilityApp::CTavoxUtilityApp(MessageBoxes& boxes,
    platform::ServiceManager& serviceManager,
    platform::Sleeper& sleeper,
    const platform::SettingsStores& stores)
    : m_boxes(boxes)
    , m_serviceManager(serviceManager)
    , m_sleeper(sleeper)
    , m_stores(stores)
    , m_instanceName(SingleInstance::defaultName())
{
}

QString CTavoxUtilityApp::commandLineOf(const QStringList& arguments) { return arguments.join(QLatin1Char(' ')); }

void CTavoxUtilityApp::AddPages(CPsTavox& sheet,
    MessageBoxes& boxes,
    FileDialogs& fileDialogs,
    const platform::SettingsStores& stores)
{
    const QColor window = QApplication::palette().color(QPalette::Base);
    const auto item = [&window](const char* icon, const QString& title, const QString& description) {
        return tagCPropSheetItem { tavox_icons::icon(icon), title, description, window, 0 };
    };
    sheet.AddPage(new CPgStatus(boxes, stores.machine),
        item("status", QStringLiteral("Status"), QStringLiteral("Show the status of Tavox server.")));
    sheet.AddPage(new CPgEndpoints(boxes, stores.machine),
        item("endpoints", QStringLiteral("Endpoints"), QStringLiteral("Configurate the Tavox server.")));
    sheet.AddPage(new CPgUsers(boxes, stores.machine),
        item("users", QStringLiteral("Users"), QStringLiteral("Add/Remove the users of Tavox server.")));
    sheet.AddPage(new CPgXmlConfigure(boxes, fileDialogs, stores.machine),
        item("nodeconfig",
            QStringLiteral("Node Config"),
            QStringLiteral("Specifies alarm and historical settings for Tavox Server")));
    // The history section lives in the node configuration file's settings block, which the
    // Node Config subsystem keeps; the ODBC Database page is handed the operation that readies it.
    sheet.AddPage(
        new CPgODBCSQL(boxes, std::make_unique<platform::UnixOdbc>(), nodeconfig::EnsureHistorySection, stores.machine),
        item("database",
            QStringLiteral("ODBC Database"),
            QStringLiteral("Create an ODBC connection to a SQL Server database")));
    sheet.AddPage(new CPgAbout(boxes, stores.user),
        item("tavox", QStringLiteral("About"), QStringLiteral("Change login password and copyright")));
}

void CTavoxUtilityApp::OnShowRequest()
{
    if (m_sheet) {
        m_sheet->OnShowRequest();
        return;
    }
    // Still at the login: bring it to the front.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

int CTavoxUtilityApp::InitInstance()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(tavox_icons::appIcon());

    SingleInstance instance(m_instanceName);
    if (instance.NotifyRunning())
        return 0;
    switch (instance.Listen()) {
    case SingleInstance::ListenResult::OtherRunning:
        return 0;
    case SingleInstance::ListenResult::Failed:
        // Without the socket a second start cannot find this one, but the program still works.
        support::debugOutput("CTavoxUtilityApp: single instance check failed. " + instance.errorString().toStdString());
        break;
    case SingleInstance::ListenResult::Listening:
        break;
    }
    QObject::connect(&instance, &SingleInstance::showRequested, &instance, [this] { OnShowRequest(); });

    UaXmlDocument::initXmlLibrary();
    if (UaPlatformLayer::init() != 0) {
        support::debugOutput("Tavox Utility: CTavoxUtilityApp: UaPlatformLayer::init failed.");
        UaXmlDocument::cleanupXmlLibrary();
        return 1;
    }

    const UserProfile profile(m_stores.user, kCompany.toStdString(), kAppName.toStdString());
    bool loggedIn = false;
    {
        CLogin login(m_boxes, profile);
        loggedIn = login.exec() == QDialog::Accepted;
    }
    if (loggedIn) {
        CPsTavox sheet(kAppTitle, m_boxes, m_serviceManager, m_sleeper, SheetDelays {}, m_stores);
        sheet.setCommandLine(m_commandLine);
        QtFileDialogs fileDialogs;
        AddPages(sheet, m_boxes, fileDialogs, m_stores);
        m_sheet = &sheet;
        sheet.DoModal();
        m_sheet = nullptr;
        // The sheet destroys its pages, last first, and closes the service before the
        // libraries go: a page may still hold a document of the XML library.
    }
    UaPlatformLayer::cleanup();
    UaXmlDocument::cleanupXmlLibrary();
    return 0;
}
