#include "AdminTool.h"

#include "CertificatesCommand.h"
#include "CommandHelp.h"
#include "EndpointsCommand.h"
#include "InitCommand.h"
#include "NodeConfigCommands.h"
#include "OdbcCommand.h"
#include "RegCommand.h"
#include "SetLoginPasswordCommand.h"
#include "SnapshotCommand.h"
#include "StatusCommand.h"
#include "UsersCommand.h"

#include "config/ProductVersion.h"

#include <ostream>

namespace admin {
namespace {

// The one table of command families: a new family is a line here, its help (a CommandHelp)
// and its run function in a file of its own.
constexpr Subcommand kSubcommands[] = {
    {"status", &kStatusHelp, runStatus},
    {"service", &kServiceHelp, runService},
    {"endpoints", &kEndpointsHelp, runEndpoints},
    {"certificates", &kCertificatesHelp, runCertificates},
    {"users", &kUsersHelp, runUsers},
    {"logon", &kLogonHelp, runLogon},
    {"nodeconfig", &kNodeConfigHelp, runNodeConfig},
    {"alarms", &kAlarmsHelp, runAlarms},
    {"history", &kHistoryHelp, runHistory},
    {"logging", &kLoggingHelp, runLogging},
    {"odbc", &kOdbcHelp, runOdbc},
    {"snapshot", &kSnapshotHelp, runSnapshot},
    {"reg", &kRegHelp, runReg},
    {"init", &kInitHelp, runInit},
    {"set-login-password", &kSetLoginPasswordHelp, runSetLoginPassword},
};

bool isHelp(std::string_view arg)
{
    return arg == "--help" || arg == "-h" || arg == "help" || arg == "/?";
}

} // namespace

int Streams::fail(std::string_view message, int code) const
{
    err << "ERROR: " << message << "\n";
    return code;
}

int Streams::fail(const support::Error& error, int code) const
{
    return fail(error.sentence(), code);
}

std::span<const Subcommand> subcommands()
{
    return kSubcommands;
}

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
        return command.run(args.subspan(1), io, context);
    }
    return io.fail("Unknown command \"" + args[0] + "\"; run tavox-admin --help for the list.", kExitUsage);
}

} // namespace admin
