// tavox-utility: the configuration utility of the Tavox Server.
#include "app/CTavoxUtilityApp.h"
#include "platform/SettingsStore.h"
#include "platform/Sleeper.h"
#include "platform/SystemdServiceManager.h"
#include "uikit/MessageBoxes.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Read before anything starts a thread; everything is handed the stores from here on.
    const platform::SettingsStores stores = platform::settingsStoresFromEnvironment();
    QApplication app(argc, argv);
    // The profile and the desktop know the program by this name, whatever the file is called.
    QApplication::setApplicationName(CTavoxUtilityApp::kAppName);
    QApplication::setOrganizationName(CTavoxUtilityApp::kCompany);
    QGuiApplication::setDesktopFileName(QStringLiteral("tavox-utility"));

    QtMessageBoxes boxes;
    platform::SystemdServiceManager services;
    platform::ThreadSleeper sleeper;
    CTavoxUtilityApp utility(boxes, services, sleeper, stores);
    utility.setCommandLine(CTavoxUtilityApp::commandLineOf(QApplication::arguments()));
    return utility.InitInstance();
}
