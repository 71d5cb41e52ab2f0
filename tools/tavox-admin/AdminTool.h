#pragma once

#include "support/Result.h"

namespace platform {
class ServiceManager;
class SettingsStore;
class Sleeper;
struct SettingsStores;
} // namespace platform

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace admin {

struct CommandFamily;
class PasswordInput;

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1; ///< the command was understood but failed
inline constexpr int kExitUsage = 2; ///< the command line was not understood

/// Where a command writes: results to `out`, one "ERROR: ..." line per failure to `err`.
struct Streams {
    std::ostream& out;
    std::ostream& err;

    /// Writes "ERROR: <message>" and gives the failure exit code.
    int fail(std::string_view message, int code = kExitFailure) const;
    /// Writes the error's message as a sentence: "ERROR: Cannot read FILE: REASON."
    int fail(const support::Error& error, int code = kExitFailure) const;
};

using Arguments = std::span<const std::string>;

/// What the commands work on, handed over by main() (the real stores, the systemd manager,
/// the terminal) or by a test.
struct AdminContext {
    const platform::SettingsStores& stores;
    platform::ServiceManager& services;
    /// The one-second pauses of the service waits.
    platform::Sleeper& sleeper;
    /// Where passwords come from: the terminal without echo, or standard input.
    PasswordInput& passwords;
};

/// One command family of tavox-admin: its name and its table (CommandTable.h), the one source
/// of its parsing, its --help text, its part of the man page and of the bash completion.
///
/// Adding a family ("endpoints"), in EndpointsCommand.cpp:
///  - a CommandForm per form: {"set", "", kSetOptions, "what it does", set}, with the
///    FormOption {"--port", "N", "The UA TCP port."} of each option and, where it takes
///    operands, their synopsis words and the usage error for another count of them;
///  - `const CommandFamily kEndpointsFamily {"summary", kForms, "notes"};`, declared in
///    CommandFamilies.h, and one line {"endpoints", &kEndpointsFamily} in the table of AdminTool.cpp.
/// A form's run function gets its options and operands checked (FormCall; --json on every show
/// and list, printed with printJson of JsonOutput.h), checks everything else first, then calls
/// snapshotBeforeChange (ConfigurationChange.h) with commandOrigin(family, args), writes, and ends
/// with reportChange where the service must be restarted to apply the change. Failures go
/// through io.fail (exit 1; usageError, exit 2, for a command line that is not understood); a
/// failed command changes nothing. Passwords come from context.passwords through
/// readNewPassword (PasswordInput.h), never from the arguments.
struct Subcommand {
    std::string_view name;
    const CommandFamily* family;
};

/// Every command family, in the order the help lists them.
std::span<const Subcommand> subcommands();

/// Runs one command line (without the program name); returns the exit code. "--help" after a
/// command shows its help; the hidden "--man" and "--bash-completion" print the manual page
/// and the completion script that the build installs.
int runAdmin(Arguments args, const Streams& io, const AdminContext& context);

} // namespace admin
