#pragma once

#include "AdminTool.h"

namespace admin {

/// `endpoints show [--json]` and `endpoints set [--port N] [--https on|off] [--https-port N]
/// [--security-none on|off]`: the Endpoints page's values, checks and messages.
int runEndpoints(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kEndpointsHelp;

} // namespace admin
