#pragma once

#include "AdminTool.h"

namespace admin {

/// `nodeconfig check|import FILE|export FILE`: the Node Config page's file.
int runNodeConfig(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kNodeConfigHelp;

/// `alarms list|set|remove`: the alarms of the Alarms & Historical Data dialog.
int runAlarms(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kAlarmsHelp;

/// `history on|off NODEID`: historical logging of a variable.
int runHistory(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kHistoryHelp;

/// `logging on|off`: the page's "Start Logging" box.
int runLogging(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kLoggingHelp;

} // namespace admin
