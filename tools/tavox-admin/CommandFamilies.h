#pragma once

#include "CommandTable.h"

namespace admin {

// The command families of tavox-admin, each in a file of its own (kStatusFamily in
// StatusCommand.cpp, ...), listed by the table of AdminTool.cpp.

/// `status [--json]`: what the Status page shows.
extern const CommandFamily kStatusFamily;
/// `service start|stop|restart`: the sheet's operations with their waits and failure texts.
extern const CommandFamily kServiceFamily;
/// `endpoints show|set`: the Endpoints page.
extern const CommandFamily kEndpointsFamily;
/// `certificates list|trust|reject|remove|renew`: the Certificates page.
extern const CommandFamily kCertificatesFamily;
/// `users list|add|delete|passwd|rights|root-passwd`: the Users page's user table and root
/// password, with the user dialog's checks and messages.
extern const CommandFamily kUsersFamily;
/// `logon set`: the Users page's three logon boxes.
extern const CommandFamily kLogonFamily;
/// `nodeconfig check|import FILE|export FILE`: the Node Config page's file.
extern const CommandFamily kNodeConfigFamily;
/// `alarms list|set|remove`: the alarms of the Alarms & Historical Data dialog.
extern const CommandFamily kAlarmsFamily;
/// `history on|off NODEID`: historical logging of a variable.
extern const CommandFamily kHistoryFamily;
/// `logging on|off`: the page's "Start Logging" box.
extern const CommandFamily kLoggingFamily;
/// `odbc show|set|test`: the ODBC Database page.
extern const CommandFamily kOdbcFamily;
/// `snapshot list|restore`: the snapshots taken before every change.
extern const CommandFamily kSnapshotFamily;
/// `reg query|add|delete|export|import`, with the reg program's syntax and messages.
extern const CommandFamily kRegFamily;
/// `init --service-path DIR`: the server key as the server's setup creates it.
extern const CommandFamily kInitFamily;
/// `set-login-password`: the utility's login password (SetLoginPasswordCommand.h).
extern const CommandFamily kSetLoginPasswordFamily;

} // namespace admin
