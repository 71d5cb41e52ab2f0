#pragma once

#include "AdminTool.h"

#include <iosfwd>
#include <span>
#include <string_view>

namespace admin {

/// One form of a command: its synopsis, without the program name, and what it does.
///
/// The synopsis is read by the bash completion too: its first word is the command, a second
/// word of small letters (alternatives joined by '|') names the form; words starting with "--"
/// are options, followed by their value where they take one ("on|off" completes as the two
/// words, a value or operand ending in FILE or DIR as a file name); square brackets mark what
/// may be left out.
struct UsageHelp {
    std::string_view synopsis; ///< "endpoints set [--port N] [--https on|off]"
    std::string_view text;
};

/// An option as the help lists it.
struct OptionHelp {
    std::string_view option; ///< "--port N"
    std::string_view text;
};

/// The help of one command family: the one source of its "--help" text, its section of the
/// manual page tavox-admin(8) and its part of the bash completion.
struct CommandHelp {
    std::string_view summary; ///< one line for the list of commands
    std::span<const UsageHelp> usages;
    std::span<const OptionHelp> options;
    std::string_view notes; ///< paragraphs after the options, separated by "\n\n"; may be empty
};

/// `tavox-admin --help`: the list of commands.
void printOverview(std::ostream& os, std::span<const Subcommand> commands);
/// "Usage:" and one line "  tavox-admin SYNOPSIS" per form.
void printUsageLines(std::ostream& os, const CommandHelp& help);
/// `tavox-admin COMMAND --help`.
void printCommandHelp(std::ostream& os, const Subcommand& command);
/// The manual page tavox-admin(8), in roff.
void printManPage(std::ostream& os, std::span<const Subcommand> commands);
/// The bash completion script of tavox-admin.
void printBashCompletion(std::ostream& os, std::span<const Subcommand> commands);

} // namespace admin
