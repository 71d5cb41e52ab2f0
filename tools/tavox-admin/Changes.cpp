#include "Changes.h"

#include "snapshots/ConfigSnapshots.h"

#include <ostream>

namespace admin {

int snapshotBeforeChange(const AdminContext& context, const Streams& io, std::string_view origin)
{
    const auto taken = takeSnapshot(context.stores, origin);
    if (!taken)
        return io.fail(support::Error {taken.error().kind, taken.error().message + "; nothing was changed"});
    return kExitSuccess;
}

int reportChange(const Streams& io, std::string_view done)
{
    io.out << done << "\nRestart the service to apply: tavox-admin service restart\n";
    return kExitSuccess;
}

} // namespace admin
