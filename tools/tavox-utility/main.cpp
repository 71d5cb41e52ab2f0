// tavox-utility: the configuration utility of the Tavox Server.
#include "app/CTavoxUtilityApp.h"
#include "app/MessageBoxes.h"
#include "platform/Sleeper.h"
#include "platform/SystemdServiceManager.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The profile and the desktop know the program by this name, whatever the file is called.
    QApplication::setApplicationName(CTavoxUtilityApp::kAppName);
    QApplication::setOrganizationName(CTavoxUtilityApp::kCompany);
    QGuiApplication::setDesktopFileName(QStringLiteral("tavox-utility"));

    QtMessageBoxes boxes;
    platform::SystemdServiceManager services;
    platform::ThreadSleeper sleeper;
    CTavoxUtilityApp utility(boxes, services, sleeper);
    utility.setCommandLine(CTavoxUtilityApp::commandLineOf(QApplication::arguments()));
    return utility.InitInstance();
}
