#pragma once

#include "AdminTool.h"

#include <string_view>

namespace admin {

/// What every command that changes the configuration does before it writes: a snapshot of the
/// configuration, recorded with `origin` (see commandOrigin). A failure has been reported on
/// `io` and its exit code is handed back: the change must not go ahead.
[[nodiscard]] int snapshotBeforeChange(const AdminContext& context, const Streams& io, std::string_view origin);

/// What every successful change says: `done` and, since the service reads its settings when it
/// starts, that it must be restarted to apply them.
int reportChange(const Streams& io, std::string_view done);

} // namespace admin
