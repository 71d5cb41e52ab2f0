#pragma once

#include "AdminTool.h"

#include "platform/Registry.h"

#include <string_view>

namespace admin {

/// What every command that changes the configuration does before it writes: a snapshot of the
/// configuration, recorded with `origin` (see commandOrigin). A failure has been reported on
/// `io` and its exit code is handed back: the change must not go ahead.
[[nodiscard]] int snapshotBeforeChange(const AdminContext& context, const Streams& io, std::string_view origin);

/// Checks, before anything is read for a change, that the server key exists and can be
/// opened with `access`; a failure has been reported on `io` and its exit code is handed back.
/// The server's settings are written value by value, so a key that cannot be written must be
/// found out before the first value is.
[[nodiscard]] int requireServerKey(const AdminContext& context, const Streams& io, platform::RegAccess access);

/// What every successful change says: `done` and, since the service reads its settings when it
/// starts, that it must be restarted to apply them.
int reportChange(const Streams& io, std::string_view done);

} // namespace admin
