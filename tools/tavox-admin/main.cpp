#include "tavox-admin/AdminTool.h"
#include "tavox-admin/PasswordInput.h"

#include "platform/SettingsStore.h"
#include "platform/Sleeper.h"
#include "platform/SystemdServiceManager.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const platform::SettingsStores stores = platform::settingsStoresFromEnvironment();
    platform::SystemdServiceManager services;
    platform::ThreadSleeper sleeper;
    admin::TerminalPasswordInput passwords;
    const std::vector<std::string> args(argv + 1, argv + argc);
    return admin::runAdmin(args, { std::cout, std::cerr }, { stores, services, sleeper, passwords });
}
