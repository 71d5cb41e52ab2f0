#include "ConfigurationChange.h"

#include "StoreMessages.h"

#include "config/ServerKey.h"
#include "platform/SettingsStore.h"
#include "snapshots/ConfigSnapshots.h"

#include <ostream>

namespace admin {

int snapshotBeforeChange(const AdminContext& context, const Streams& io, std::string_view origin)
{
    const auto taken = takeSnapshot(context.stores, origin);
    if (!taken)
        return io.fail(support::Error { taken.error().kind, taken.error().message + "; nothing was changed" });
    return kExitSuccess;
}

int requireServerKey(const AdminContext& context, const Streams& io, platform::RegAccess access)
{
    platform::RegistryKey key;
    const platform::SettingsStore& machine = context.stores.machine;
    const platform::RegStatus status = machine.open(key, ServerKey::kPath, access);
    if (status == platform::RegStatus::NotFound)
        return io.fail("The settings store " + machine.path().string()
            + " holds no server key; create it with \"tavox-admin init --service-path DIR\" first.");
    if (status != platform::RegStatus::Success)
        return io.fail(storeFailureMessage(status, machine.path()));
    return kExitSuccess;
}

int reportChange(const Streams& io, std::string_view done)
{
    io.out << done << "\nRestart the service to apply: tavox-admin service restart\n";
    return kExitSuccess;
}

} // namespace admin
