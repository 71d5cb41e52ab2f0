#include "tavox-admin/AdminTool.h"

#include "platform/SettingsStore.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const platform::SettingsStores stores = platform::settingsStoresFromEnvironment();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return admin::runAdmin(args, {std::cout, std::cerr}, stores);
}
