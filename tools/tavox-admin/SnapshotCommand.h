#pragma once

#include "AdminTool.h"

namespace admin {

/// `snapshot list [--json]` and `snapshot restore ID`.
int runSnapshot(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kSnapshotHelp;

} // namespace admin
