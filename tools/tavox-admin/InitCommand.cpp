#include "CommandFamilies.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"
#include "RegValueText.h"
#include "StoreMessages.h"

#include "config/ServerKey.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"

#include <optional>
#include <ostream>

using platform::RegAccess;
using platform::RegistryKey;
using platform::RegStatus;

namespace admin {
namespace {

constexpr std::string_view kUsage = "Invalid syntax: tavox-admin init --service-path DIR";

std::optional<std::string> serviceDirArgument(Arguments args)
{
    constexpr std::string_view option = "--service-path";
    if (args.size() == 2 && args[0] == option)
        return args[1];
    if (args.size() == 1 && args[0].starts_with(std::string(option) + "="))
        return args[0].substr(option.size() + 1);
    return std::nullopt;
}

// The directory as the server expects it: absolute, ending with its separator.
std::string servicePath(const std::string& dir)
{
    std::string path = std::filesystem::absolute(dir).lexically_normal().string();
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    return path;
}

RegistryKey::Change dwordChange(std::string_view name, std::uint32_t value)
{
    const auto bytes = platform::regDwordBytes(value);
    return { RegistryKey::Change::Kind::SetIfMissing,
        std::string(ServerKey::kPath),
        std::string(name),
        platform::kRegDword,
        { bytes.begin(), bytes.end() } };
}

RegistryKey::Change stringChange(std::string_view name, std::u16string_view value)
{
    return { RegistryKey::Change::Kind::SetIfMissing,
        std::string(ServerKey::kPath),
        std::string(name),
        platform::kRegSz,
        platform::regSzBytes(value) };
}

int init(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const platform::SettingsStores& stores = context.stores;
    const auto dir = serviceDirArgument(args);
    if (!dir)
        return io.fail(kUsage, kExitUsage);
    if (dir->empty())
        return io.fail("The service directory is empty.");
    if (!isUtf8(*dir))
        return io.fail("The service directory is not UTF-8 text.");
    const std::u16string path = support::utf8ToUtf16(servicePath(*dir));
    // The utility reads strings of at most 511 characters; a longer one would read as missing.
    if (path.size() > 511)
        return io.fail("The service directory is longer than 511 characters.");

    const std::vector<RegistryKey::Change> changes = {
        stringChange(ServerKey::kServicePath, path),
        stringChange(ServerKey::kNodeCfg, ServerKey::kDefaultNodeCfg),
        stringChange(ServerKey::kServiceCfg, ServerKey::kDefaultServiceCfg),
        dwordChange(ServerKey::kUaTcpPort, ServerKey::kDefaultUaTcpPort),
        dwordChange(ServerKey::kHttpsPort, ServerKey::kDefaultHttpsPort),
        dwordChange(ServerKey::kSecurityMode, ServerKey::kDefaultSecurityMode),
        dwordChange(ServerKey::kAuthentication, ServerKey::kAuthenticationForced),
    };
    const std::filesystem::path& store = stores.machine.path();
    std::vector<std::string> kept;
    RegistryKey existing;
    if (stores.machine.open(existing, ServerKey::kPath, RegAccess::Read) == RegStatus::Success) {
        for (const RegistryKey::Change& change : changes) {
            std::uint32_t size = 0;
            if (existing.queryValue(change.name, nullptr, nullptr, &size) == RegStatus::Success)
                kept.push_back(change.name);
        }
    }
    existing.close();
    if (int rc = snapshotBeforeChange(context, io, commandOrigin("init", args)))
        return rc;
    if (const RegStatus status = stores.machine.writeAll(changes); status != RegStatus::Success)
        return io.fail(storeFailureMessage(status, store));
    for (const std::string& name : kept)
        io.out << "Kept the existing value " << name << ".\n";
    io.out << "The operation completed successfully.\n";
    return kExitSuccess;
}

constexpr FormOption kOptions[] = { { "--service-path", "DIR", {}, true } };

// The form reads its own arguments: a command line it does not take is answered with its synopsis.
constexpr CommandForm kForms[] = {
    { "",
        "",
        kOptions,
        "Creates the server key with the values the server's setup writes: the service directory DIR, the "
        "names of the node and server configuration files, the ports, the security mode and the logon kinds. "
        "Values that exist are kept.",
        init,
        {},
        FormParsing::Own },
};

} // namespace

const CommandFamily kInitFamily { "create the server key as the server's setup does", kForms, {} };

} // namespace admin
