#pragma once

#include "AdminTool.h"

namespace admin {

/// `odbc show|set|test`: the ODBC Database page's history database connection.
int runOdbc(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kOdbcHelp;

} // namespace admin
