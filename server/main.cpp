#include "TavoxServer.h"

#include "platform/SettingsStore.h"

#include <iostream>

int main()
{
    const platform::SettingsStores stores = platform::settingsStoresFromEnvironment();
    return tavoxserver::runUntilSignalled(std::cerr, stores.machine);
}
