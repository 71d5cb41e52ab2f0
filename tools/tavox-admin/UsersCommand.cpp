#include "CommandFamilies.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"
#include "JsonOutput.h"
#include "PasswordInput.h"
#include "RegValueText.h"

#include "config/AuthenticationFlags.h"
#include "config/CTavoxEnvmnt.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"
#include "users/CTavoxUsrAuth.h"
#include "users/Latin1Text.h"
#include "users/UserOptChecks.h"
#include "users/UserTable.h"

#include <iomanip>
#include <ostream>
#include <vector>

namespace admin {
namespace {

constexpr std::string_view kFamily = "users";

std::string text8(std::u16string_view text) { return support::utf16ToUtf8(text); }

std::string inQuotes(std::string_view name)
{
    // Appended: GCC 12 misreads "\"" + string as overlapping copies (-Wrestrict).
    std::string quoted = "\"";
    quoted += name;
    quoted += '"';
    return quoted;
}

/// "r,w,x" as the dialog's three boxes give it; none for "none".
support::Result<std::uint32_t> parseRights(std::string_view text)
{
    bool read = false;
    bool write = false;
    if (text != "none") {
        std::size_t start = 0;
        while (true) {
            const std::size_t end = text.find(',', start);
            const std::string_view word = text.substr(start, end - start);
            if (word == "r" || word == "read")
                read = true;
            else if (word == "w" || word == "write" || word == "x" || word == "executable")
                write = true;
            else
                return support::Error::invalidInput(
                    "the rights are r, w and x separated by commas, or none, not \"" + std::string(text) + "\"");
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
    }
    // The dialog keeps Write and Executable alike.
    return rightsFrom(read, write, write);
}

/// A user name from the command line, in the dialog's form; refused when it is no UTF-8 text.
support::Result<std::u16string> userName(const std::string& argument)
{
    if (!isUtf8(argument))
        return support::Error::invalidInput("the user name is not UTF-8 text");
    return support::utf8ToUtf16(argument);
}

/// The slots of the users named `name`, compared byte for byte as the page compares them.
std::vector<std::size_t> slotsNamed(const UserTable& table, std::u16string_view name)
{
    std::vector<std::size_t> slots;
    const auto bytes = latin1::fromUtf16(name);
    if (!bytes)
        return slots;
    for (std::size_t slot = 0; slot < kUsrAuthSlots; ++slot) {
        const UsrAuthEntry& entry = table.entry(slot);
        if (!isFreeSlot(entry) && entryName(entry) == *bytes)
            slots.push_back(slot);
    }
    return slots;
}

/// Reads the new password and its confirmation and makes the dialog's checks of `mode`.
support::Result<std::u16string> newPassword(const AdminContext& context,
    const ParsedArguments& parsed,
    UserOptMode mode,
    std::u16string_view name,
    std::string_view prompt)
{
    const auto typed = readNewPassword(context.passwords, parsed.has("--password-stdin"), prompt);
    if (!typed)
        return typed.error();
    if (!isUtf8(typed->password) || !isUtf8(typed->confirmation))
        return support::Error::invalidInput("the password is not UTF-8 text");
    const std::u16string password = support::utf8ToUtf16(typed->password);
    const UserOptProblem problem = checkUserOpt(mode, name, password, support::utf8ToUtf16(typed->confirmation));
    if (problem != UserOptProblem::None)
        return support::Error::invalidInput(userOptMessage(problem).text);
    return password;
}

/// Fails with the dialog's message as it stands (it is a sentence of its own).
int failWith(const Streams& io, const support::Error& error)
{
    if (!error.message.empty() && error.message.back() == '.')
        return io.fail(error.message);
    return io.fail(error);
}

int saveTable(UserTable& table, const Streams& io, const AdminContext& context, std::string_view done)
{
    if (!table.save())
        return io.fail(
            "Cannot write the user table to the settings store " + context.stores.machine.path().string() + ".");
    return reportChange(io, done);
}

int list(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    // The table is read with the access the page reads it with; without it the page would
    // show an empty list, a command says why.
    if (int rc = requireServerKey(context, io, platform::RegAccess::ReadWrite))
        return rc;
    const CTavoxUsrAuth store(context.stores.machine);
    UserTable table(store);
    table.load();
    const LogonChoices logon = LogonChoices::from(CTavoxEnvmnt(context.stores.machine).ReadAuthentication());
    const std::vector<UserRow> rows = table.rows();
    if (parsed.has("--json")) {
        nlohmann::ordered_json users = nlohmann::ordered_json::array();
        for (const UserRow& row : rows)
            users.push_back({ { "number", text8(row.number) },
                { "slot", row.slot + 1 },
                { "name", text8(row.name) },
                { "read", row.read },
                { "write", row.write },
                { "executable", row.executable } });
        printJson(io,
            { { "users", users },
                { "logon",
                    { { "windows", logon.windowsLogon },
                        { "certificate", logon.certificate },
                        { "anonymous", logon.anonymous } } } });
        return kExitSuccess;
    }
    const auto mark = [](bool granted) { return granted ? "V" : "---"; };
    io.out << std::left << std::setw(4) << "#" << std::setw(33) << "Name" << std::setw(6) << "Read" << std::setw(7)
           << "Write"
           << "Executable\n";
    for (const UserRow& row : rows)
        io.out << std::setw(4) << text8(row.number) << std::setw(33) << text8(row.name) << std::setw(6)
               << mark(row.read) << std::setw(7) << mark(row.write) << mark(row.executable) << "\n";
    io.out << std::right << "\nEnable Windows Logon: " << (logon.windowsLogon ? "on" : "off")
           << "\nEnable Certification: " << (logon.certificate ? "on" : "off")
           << "\nAnonymous:            " << (logon.anonymous ? "on" : "off") << "\n";
    return kExitSuccess;
}

int add(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const auto rights = parseRights(parsed.value("--rights").value_or("r,w,x"));
    if (!rights)
        return usageError(io, kFamily, rights.error().message);
    const auto name = userName(parsed.operands()[0]);
    if (!name)
        return io.fail(name.error());
    // An entry without a name would count as a free slot: the user would be lost.
    if (name->empty())
        return io.fail("User name can't be empty. Please input your name.");
    // The name's own checks come before the password is asked for.
    if (const UserOptProblem problem = checkUserOpt(UserOptMode::Add, *name, u"-", u"-");
        problem != UserOptProblem::None)
        return io.fail(userOptMessage(problem).text);

    if (int rc = requireServerKey(context, io, platform::RegAccess::ReadWrite))
        return rc;
    const CTavoxUsrAuth store(context.stores.machine);
    UserTable table(store);
    table.load();
    const auto target = table.findAddTarget(*latin1::fromUtf16(*name));
    if (!target)
        return io.fail(
            "The user table is full: it holds " + std::to_string(kUsrAuthSlots) + " users. Delete one first.");
    if (target->replacesUser && !parsed.has("--replace"))
        return io.fail("Found the same user name " + inQuotes(text8(*name)) + "; add --replace to replace it.");

    const auto password = newPassword(context, parsed, UserOptMode::Add, *name, "Password for " + text8(*name));
    if (!password)
        return failWith(io, password.error());
    const auto entry = table.makeEntry(*name, *password, *rights);
    if (!entry)
        return io.fail("The digest of the password cannot be computed; nothing was changed.");
    if (int rc = snapshotBeforeChange(context, io, commandOrigin("users add", args)))
        return rc;
    table.place(target->slot, *entry);
    return saveTable(table,
        io,
        context,
        "User " + inQuotes(text8(*name)) + (target->replacesUser ? " has been replaced." : " has been added."));
}

/// The user table and the slots of the user named by the form's first operand.
struct NamedUser {
    explicit NamedUser(const AdminContext& context)
        : store(context.stores.machine)
        , table(store)
    {
    }

    /// Loads the table and finds the user; fails when there is none.
    int find(const FormCall& call)
    {
        const auto& [parsed, args, word, io, context] = call;
        const auto named = userName(parsed.operands()[0]);
        if (!named)
            return io.fail(named.error());
        if (int rc = requireServerKey(context, io, platform::RegAccess::ReadWrite))
            return rc;
        table.load();
        name = *named;
        slots = slotsNamed(table, name);
        if (slots.empty())
            return io.fail("There is no user " + inQuotes(text8(name)) + ".");
        return kExitSuccess;
    }

    const CTavoxUsrAuth store;
    UserTable table;
    std::u16string name;
    std::vector<std::size_t> slots;
};

int remove(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    NamedUser user(context);
    if (int rc = user.find(call))
        return rc;
    if (int rc = snapshotBeforeChange(context, io, commandOrigin("users delete", args)))
        return rc;
    for (std::size_t slot : user.slots)
        user.table.clearSlot(slot);
    return saveTable(user.table, io, context, "User " + inQuotes(text8(user.name)) + " has been deleted.");
}

int passwd(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    NamedUser user(context);
    if (int rc = user.find(call))
        return rc;
    const auto password
        = newPassword(context, parsed, UserOptMode::ChangePassword, user.name, "New password for " + text8(user.name));
    if (!password)
        return failWith(io, password.error());
    if (int rc = snapshotBeforeChange(context, io, commandOrigin("users passwd", args)))
        return rc;
    for (std::size_t slot : user.slots) {
        if (!user.table.changePassword(slot, *password))
            return io.fail("The digest of the password cannot be computed; nothing was changed.");
    }
    return saveTable(
        user.table, io, context, "The password of user " + inQuotes(text8(user.name)) + " has been changed.");
}

int rights(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const auto granted = parseRights(parsed.operands()[1]);
    if (!granted)
        return usageError(io, kFamily, granted.error().message);
    NamedUser user(context);
    if (int rc = user.find(call))
        return rc;
    if (int rc = snapshotBeforeChange(context, io, commandOrigin("users rights", args)))
        return rc;
    for (std::size_t slot : user.slots)
        user.table.changeRights(slot, *granted);
    return saveTable(
        user.table, io, context, "The rights of user " + inQuotes(text8(user.name)) + " have been changed.");
}

int rootPasswd(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    if (int rc = requireServerKey(context, io, platform::RegAccess::ReadWrite))
        return rc;
    const auto password = newPassword(context, parsed, UserOptMode::RootPassword, u"root", "New password for root");
    if (!password)
        return failWith(io, password.error());
    // The page stores nothing for an empty password; a command must not report that as done.
    if (password->empty())
        return io.fail("Password can't be empty. Please input your password.");
    if (int rc = snapshotBeforeChange(context, io, commandOrigin("users root-passwd", args)))
        return rc;
    if (!CTavoxUsrAuth(context.stores.machine).SetRootAuth(*password))
        return io.fail(
            "Cannot write the root password to the settings store " + context.stores.machine.path().string() + ".");
    return reportChange(io, "The password of root has been changed.");
}

constexpr FormOption kRights { "--rights",
    "RIGHTS",
    "The rights as a comma-separated list of r (read), w (write) and x (executable), or none. Write and "
    "executable go together, as in the user dialog: either gives both." };
constexpr FormOption kReplace { "--replace", "", "Replaces a user of the same name." };
constexpr FormOption kPasswordStdin { "--password-stdin",
    "",
    "Reads the password as one line of standard input; without it the password is typed twice on the "
    "terminal, without echo. A password is never an argument." };

constexpr FormOption kAddOptions[] = { kRights, kReplace, kPasswordStdin };
constexpr FormOption kPasswordOptions[] = { kPasswordStdin };

constexpr std::string_view kOneUser = "give the name of one user";

constexpr CommandForm kForms[] = {
    { "list",
        "",
        kJsonForTable,
        "Lists the server's users in slot order with their rights (V granted, --- not), and the kinds of client "
        "logon the server accepts.",
        list },
    { "add",
        "NAME",
        kAddOptions,
        "Adds a user with a password and the rights (all three when --rights is not given). A user of the same "
        "name is replaced, rights included, only with --replace.",
        add,
        kOneUser },
    { "delete", "NAME", {}, "Deletes the user.", remove, kOneUser },
    { "passwd", "NAME", kPasswordOptions, "Gives the user a new password.", passwd, kOneUser },
    { "rights", "NAME RIGHTS", {}, "Gives the user new rights.", rights, "give a user name and the rights" },
    { "root-passwd", "", kPasswordOptions, "Sets the password of the administrator root.", rootPasswd },
};

} // namespace

const CommandFamily kUsersFamily {
    "list, add, delete and change the server's users and the root password",
    kForms,
    "A user name has at most 31 characters, a password at most 31, both of Western European (Latin-1) "
    "characters; the table holds 32 users; \"root\" is not a user name.",
};

} // namespace admin
