#pragma once

#include "tavox-admin/AdminTool.h"
#include "tavox-admin/PasswordInput.h"

#include "platform/InMemoryServiceManager.h"
#include "platform/SettingsStore.h"
#include "platform/Sleeper.h"

/// tavox-admin in-process on `stores` alone, for the tests and benchmarks of the commands that
/// need nothing else: no service manager can be reached, passwords come from the process's
/// standard input.
inline int runAdminOnStores(admin::Arguments args, const admin::Streams& io, const platform::SettingsStores& stores)
{
    platform::InMemoryServiceManager unreachable;
    unreachable.setReachable(false);
    platform::ThreadSleeper sleeper;
    admin::TerminalPasswordInput passwords;
    return admin::runAdmin(args, io, admin::AdminContext { stores, unreachable, sleeper, passwords });
}
