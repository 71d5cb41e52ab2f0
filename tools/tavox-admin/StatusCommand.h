#pragma once

#include "AdminTool.h"

namespace admin {

/// `status [--json]`: what the Status page shows.
int runStatus(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kStatusHelp;

/// `service start|stop|restart`: the sheet's operations with their waits and failure texts.
int runService(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kServiceHelp;

} // namespace admin
