#pragma once

#include "AdminTool.h"

namespace admin {

/// `reg query|add|delete|export|import`, with the reg program's syntax and messages.
int runReg(Arguments args, const Streams& io, const AdminContext& context);
extern const CommandHelp kRegHelp;

} // namespace admin
