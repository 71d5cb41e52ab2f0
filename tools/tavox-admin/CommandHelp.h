#pragma once

#include "AdminTool.h"
#include "CommandTable.h"

#include <iosfwd>
#include <span>
#include <string_view>

namespace admin {

/// `tavox-admin --help`: the list of commands.
void printOverview(std::ostream& os, std::span<const Subcommand> commands);
/// "Usage:" and one line "  tavox-admin SYNOPSIS" per form.
void printUsageLines(std::ostream& os, const Subcommand& command);
/// `tavox-admin COMMAND --help`.
void printCommandHelp(std::ostream& os, const Subcommand& command);
/// The manual page tavox-admin(8), in roff.
void printManPage(std::ostream& os, std::span<const Subcommand> commands);
/// The bash completion script of tavox-admin.
void printBashCompletion(std::ostream& os, std::span<const Subcommand> commands);

} // namespace admin
