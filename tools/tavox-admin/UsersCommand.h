#pragma once

#include "AdminTool.h"

namespace admin {

/// `users list|add|delete|passwd|rights|root-passwd`: the Users page's user table and root
/// password, with the user dialog's checks and messages.
int runUsers(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kUsersHelp;

/// `logon set [--windows on|off] [--certificate on|off] [--anonymous on|off]`: the Users
/// page's three logon boxes.
int runLogon(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kLogonHelp;

} // namespace admin
