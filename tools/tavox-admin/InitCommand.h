#pragma once

#include "AdminTool.h"

namespace admin {

/// `init --service-path DIR`: creates the server key with the values the server's setup
/// writes; values that already exist are kept. All of it or nothing is written.
int runInit(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kInitHelp;

} // namespace admin
