// tavox-utility: the configuration utility of the Tavox Server.
#include "app/CTavoxUtilityApp.h"
#include "config/ProductVersion.h"
#include "platform/SettingsStore.h"
#include "platform/Sleeper.h"
#include "platform/SystemdServiceManager.h"
#include "uikit/MessageBoxes.h"

#include <QApplication>

#include <cstdlib>
#include <iostream>
#include <string_view>

namespace {

constexpr std::string_view kHelp
    = "Usage: tavox-utility [-1]\n"
      "\n"
      "The configuration utility of the Tavox Server: after its login password it shows the Status,\n"
      "Endpoints, Users, Node Config, ODBC Database and About pages. It needs a graphical display;\n"
      "tavox-admin changes the same settings from the command line.\n"
      "\n"
      "  -1         hide the window one second after it opens, as at the start of a session\n"
      "  --help     show this text\n"
      "  --version  show the version\n";

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// The toolkit aborts when it finds no display; a display is there when a platform is chosen
// on the command line or in the environment, or an X or Wayland display is named.
bool hasDisplay(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "-platform")
            return true;
    }
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before anything of the toolkit is built, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "tavox-utility (" << kProductVersionText << ")\n";
            return 0;
        }
    }
    if (!hasDisplay(argc, argv)) {
        std::cerr << "tavox-utility: no graphical display (DISPLAY is not set); use tavox-admin to change the same "
                     "settings from the command line.\n";
        return 1;
    }

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
