#include "SetLoginPasswordCommand.h"

#include "CommandFamilies.h"

#include "config/UserProfile.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"
#include "users/LoginDigest.h"

#include <ostream>

namespace admin {
namespace {

constexpr std::string_view kUsage = "Invalid syntax: tavox-admin set-login-password [--stdin]";

std::string withoutLineEnd(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::optional<std::string> askTwice(PasswordInput& input, const Streams& io, int& code)
{
    const auto first = input.readHidden("New login password: ");
    const auto second = first ? input.readHidden("Confirm login password: ") : std::nullopt;
    if (!first || !second) {
        code = io.fail("No password was typed.");
        return std::nullopt;
    }
    if (*first != *second) {
        code = io.fail("The passwords are not the same; nothing was changed.");
        return std::nullopt;
    }
    return withoutLineEnd(*first);
}

} // namespace

int setLoginPassword(Arguments args,
    PasswordInput& input,
    const Streams& io,
    const platform::SettingsStore& user,
    std::uint32_t iterations)
{
    const bool fromStdin = args.size() == 1 && (args[0] == "--stdin" || args[0] == "--password-stdin");
    if (!args.empty() && !fromStdin)
        return io.fail(kUsage, kExitUsage);

    std::string password;
    if (fromStdin) {
        const auto line = input.readLine();
        if (!line)
            return io.fail("No password on standard input.");
        password = withoutLineEnd(*line);
    } else {
        if (!input.isTerminal())
            return io.fail(
                "Standard input is not a terminal: give the password on standard input with --stdin.", kExitUsage);
        int code = kExitSuccess;
        const auto typed = askTwice(input, io, code);
        if (!typed)
            return code;
        password = *typed;
    }
    if (password.empty())
        return io.fail("The login password must not be empty; nothing was changed.");

    const std::string digest = makeSaltedLoginDigest(support::utf8ToUtf16(password), iterations);
    if (digest.empty())
        return io.fail("The digest of the password cannot be computed; nothing was changed.");
    const std::filesystem::path& store = user.path();
    if (!writeLoginDigest(UserProfile::utility(user), digest))
        return io.fail("Cannot write the per-user store " + store.string() + ".");
    io.out << "The login password of Tavox Utility has been set in " << store.string() << ".\n";
    return kExitSuccess;
}

namespace {

int run(const FormCall& call)
{
    return setLoginPassword(call.args, call.context.passwords, call.io, call.context.stores.user);
}

constexpr FormOption kOptions[] = {
    { "--password-stdin", "", "Reads the password as one line of standard input (--stdin is the same)." },
};

// The form reads its own arguments, --stdin among them.
constexpr CommandForm kForms[] = {
    { "",
        "",
        kOptions,
        "Sets the password that the utility asks for when it starts, for the user who runs the command: "
        "typed twice on the terminal without echo, or read as one line of standard input.",
        run,
        {},
        FormParsing::Own },
};

} // namespace

const CommandFamily kSetLoginPasswordFamily { "set the login password of the utility", kForms, {} };

} // namespace admin
