#include "AdminTool.h"

#include "InitCommand.h"
#include "RegCommand.h"
#include "SetLoginPasswordCommand.h"

#include <ostream>

namespace admin {
namespace {

// The one table of subcommands: a new one is a line here and a function elsewhere.
constexpr Subcommand kSubcommands[] = {
    {"reg", "reg query|add|delete|export|import ...   the settings stores, as the reg program", runReg},
    {"init", "init --service-path DIR                  create the server key as the server's setup does", runInit},
    {"set-login-password", "set-login-password [--stdin]             set the login password of the utility",
        runSetLoginPassword},
};

void printUsage(std::ostream& os)
{
    os << "Usage: tavox-admin COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const Subcommand& command : kSubcommands)
        os << "  " << command.synopsis << "\n";
    os << "\nKeys are written HKLM\\SOFTWARE\\MORVANE\\Tavox Server (HKEY_LOCAL_MACHINE, HKCU and\n"
          "HKEY_CURRENT_USER are also accepted). The stores are TAVOX_REGISTRY and TAVOX_USER_REGISTRY.\n"
          "Run \"tavox-admin reg\" for the reg commands.\n";
}

} // namespace

int Streams::fail(std::string_view message, int code) const
{
    err << "ERROR: " << message << "\n";
    return code;
}

int Streams::fail(const support::Error& error, int code) const
{
    std::string sentence = error.message;
    if (!sentence.empty() && sentence[0] >= 'a' && sentence[0] <= 'z')
        sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
    return fail(sentence + ".", code);
}

std::span<const Subcommand> subcommands()
{
    return kSubcommands;
}

int runAdmin(Arguments args, const Streams& io, const platform::SettingsStores& stores)
{
    if (args.empty()) {
        printUsage(io.err);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help" || args[0] == "/?") {
        printUsage(io.out);
        return kExitSuccess;
    }
    for (const Subcommand& command : kSubcommands) {
        if (args[0] == command.name)
            return command.run(args.subspan(1), io, stores);
    }
    return io.fail("Unknown command \"" + args[0] + "\"; run tavox-admin --help for the list.", kExitUsage);
}

} // namespace admin
