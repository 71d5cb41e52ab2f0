#include "CommandFamilies.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"

#include "config/AuthenticationFlags.h"
#include "config/CTavoxEnvmnt.h"
#include "platform/SettingsStore.h"

#include <utility>

namespace admin {
namespace {

constexpr FormOption kSetOptions[] = {
    { "--windows", "on|off", "Logon with a system account." },
    { "--certificate", "on|off", "Logon with a certificate." },
    { "--anonymous", "on|off", "Anonymous logon." },
};

int set(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    if (int rc = requireServerKey(context, io, platform::RegAccess::Write))
        return rc;
    const CTavoxEnvmnt server(context.stores.machine);
    const std::uint32_t flags = server.ReadAuthentication();
    LogonChoices logon = LogonChoices::from(flags);
    for (const auto& [option, choice] : { std::pair { "--windows", &logon.windowsLogon },
             std::pair { "--certificate", &logon.certificate },
             std::pair { "--anonymous", &logon.anonymous } }) {
        if (const auto read = parsed.readOnOff(option, *choice); !read)
            return usageError(io, "logon", read.error().message);
    }
    if (int rc = snapshotBeforeChange(context, io, commandOrigin("logon set", args)))
        return rc;
    if (!server.WriteAuthentication(logon.appliedTo(flags)))
        return io.fail(
            "Cannot write the logon kinds to the settings store " + context.stores.machine.path().string() + ".");
    return reportChange(io, "The kinds of client logon have been stored.");
}

constexpr CommandForm kForms[] = {
    { "set",
        "",
        kSetOptions,
        "Changes the kinds of client logon the server accepts: with a system account (Enable Windows Logon), with "
        "a certificate (Enable Certification), anonymous. What is not given is kept.",
        set,
        {},
        FormParsing::AtLeastOneOption },
};

} // namespace

const CommandFamily kLogonFamily { "choose the kinds of client logon the server accepts", kForms, {} };

} // namespace admin
