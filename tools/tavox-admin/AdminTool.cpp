#include "AdminTool.h"

#include "CommandFamilies.h"
#include "CommandHelp.h"
#include "CommandLine.h"

#include "config/ProductVersion.h"

#include <ostream>

namespace admin {
namespace {

// The one table of command families: a new family is a line here and its CommandFamily in a
// file of its own.
constexpr Subcommand kSubcommands[] = {
    { "status", &kStatusFamily },
    { "service", &kServiceFamily },
    { "endpoints", &kEndpointsFamily },
    { "certificates", &kCertificatesFamily },
    { "users", &kUsersFamily },
    { "logon", &kLogonFamily },
    { "nodeconfig", &kNodeConfigFamily },
    { "alarms", &kAlarmsFamily },
    { "history", &kHistoryFamily },
    { "logging", &kLoggingFamily },
    { "odbc", &kOdbcFamily },
    { "snapshot", &kSnapshotFamily },
    { "reg", &kRegFamily },
    { "init", &kInitFamily },
    { "set-login-password", &kSetLoginPasswordFamily },
};

bool isHelp(std::string_view arg) { return arg == "--help" || arg == "-h" || arg == "help" || arg == "/?"; }

} // namespace

int Streams::fail(std::string_view message, int code) const
{
    err << "ERROR: " << message << "\n";
    return code;
}

int Streams::fail(const support::Error& error, int code) const { return fail(error.sentence(), code); }

std::span<const Subcommand> subcommands() { return kSubcommands; }

int runAdmin(Arguments args, const Streams& io, const AdminContext& context)
{
    if (args.empty()) {
        printOverview(io.err, kSubcommands);
        return kExitUsage;
    }
    if (isHelp(args[0])) {
        printOverview(io.out, kSubcommands);
        return kExitSuccess;
    }
    if (args[0] == "--version") {
        io.out << "tavox-admin (" << kProductVersionText << ")\n";
        return kExitSuccess;
    }
    if (args[0] == "--man") {
        printManPage(io.out, kSubcommands);
        return kExitSuccess;
    }
    if (args[0] == "--bash-completion") {
        printBashCompletion(io.out, kSubcommands);
        return kExitSuccess;
    }
    for (const Subcommand& command : kSubcommands) {
        if (args[0] != command.name)
            continue;
        if (args.size() >= 2 && isHelp(args[1])) {
            printCommandHelp(io.out, command);
            return kExitSuccess;
        }
        if (command.family->dispatch)
            return command.family->dispatch(command, args.subspan(1), io, context);
        return runForm(command, args.subspan(1), io, context);
    }
    return io.fail("Unknown command \"" + args[0] + "\"; run tavox-admin --help for the list.", kExitUsage);
}

} // namespace admin
