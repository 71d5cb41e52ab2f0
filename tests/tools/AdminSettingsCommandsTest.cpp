// endpoints, users and logon: what each command stores is what the page's logic stores for the
// same input, byte for byte, and bad input gives the page's message and changes nothing.
#include "AdminHarness.h"

#include "config/AuthenticationFlags.h"
#include "config/CTavoxEnvmnt.h"
#include "config/EndpointSettings.h"
#include "config/ServerKey.h"
#include "support/TextCodec.h"
#include "testing/ServerKeyStore.h"
#include "users/CTavoxUsrAuth.h"
#include "users/UserTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>

using namespace admin;

namespace {

using Values = std::map<std::string, std::pair<std::uint32_t, std::vector<std::uint8_t>>>;

Values serverValues(const std::filesystem::path& store)
{
    platform::RegistryKey key;
    std::vector<platform::RegistryKey::Value> values;
    Values result;
    if (key.open(store, ServerKey::kPath, platform::RegAccess::Read) == platform::RegStatus::Success) {
        EXPECT_EQ(key.enumValues(values), platform::RegStatus::Success);
    }
    for (auto& value : values)
        result[value.name] = { value.type, value.data };
    return result;
}

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

/// Two stores that start alike: the command changes one, the page's logic the other.
class SideBySide {
public:
    explicit SideBySide(const std::function<void(ServerKeyStore&)>& setUp)
    {
        setUp(command);
        setUp(page);
    }
    ServerKeyStore command;
    ServerKeyStore page;
    AdminHarness admin { command.stores() };
};

void withUsers(ServerKeyStore& store)
{
    const CTavoxUsrAuth auth(store.machineStore());
    UserTable table(auth);
    table.place(0, *table.makeEntry(u"admin", u"first", rightsFrom(true, true, true)));
    table.place(3, *table.makeEntry(u"alice", u"second", rightsFrom(true, false, false)));
    ASSERT_TRUE(table.save());
    store.setDword(ServerKey::kAuthentication, 0x2D);
}

TEST(AdminEndpointsTest, StoresWhatThePageStoresForTheSameFields)
{
    struct Case {
        std::vector<std::string> args;
        EndpointSettings::Edited page; ///< the page's fields after its fill and the same edits
    };
    // Filled from the defaults: ports 48010 and 48011, None checked, HTTPS off.
    const Case cases[] = {
        { { "--port", "4840" }, { false, true, u"4840", u"48011" } },
        { { "--https", "on", "--https-port", "443" }, { true, true, u"48010", u"443" } },
        { { "--security-none", "off" }, { false, false, u"48010", u"48011" } },
        { { "--port=0" }, { false, true, u"0", u"48011" } },
        { { "--port", "65534", "--https-port", "63335" }, { false, true, u"65534", u"63335" } },
        { { "--https", "off", "--port", "48011" }, { false, true, u"48011", u"48011" } },
    };
    for (const Case& c : cases) {
        SideBySide stores([](ServerKeyStore& store) { store.setDword(ServerKey::kAuthentication, 0x0D); });
        std::vector<std::string> args { "endpoints", "set" };
        args.insert(args.end(), c.args.begin(), c.args.end());
        const AdminOutcome o = stores.admin.run(args);
        EXPECT_EQ(o.code, kExitSuccess) << o.err;
        EXPECT_EQ(
            o.out, "The endpoints have been stored.\nRestart the service to apply: tavox-admin service restart\n");
        EXPECT_TRUE(EndpointSettings(stores.page.machineStore()).apply(c.page).ok());
        EXPECT_EQ(serverValues(stores.command.path()), serverValues(stores.page.path())) << args[2];
    }
}

TEST(AdminEndpointsTest, RefusedFieldsGiveThePagesMessageAndChangeNothing)
{
    const std::string samePorts = "ERROR: The two ports of UA TCP and HTTPS should not be the same. Please reset it!\n";
    const std::string tooLarge = "ERROR: The port of UA TCP or HTTPS should be less than 63335. Please reset it!\n";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;
    } cases[] = {
        { { "--https", "on", "--port", "48011" }, kExitFailure, samePorts },
        { { "--port", "65535" }, kExitFailure, tooLarge },
        { { "--https-port", "99999999999999999999" }, kExitFailure, tooLarge },
        { { "--port", "-1" },
            kExitUsage,
            "ERROR: Invalid syntax: --port takes a decimal number, not \"-1\"; run \"tavox-admin endpoints "
            "--help\".\n" },
        { { "--https", "yes" },
            kExitUsage,
            "ERROR: Invalid syntax: --https takes on or off, not \"yes\"; run \"tavox-admin endpoints --help\".\n" },
        { {},
            kExitUsage,
            "ERROR: Invalid syntax: give at least one of --port, --https, --https-port, --security-none; run "
            "\"tavox-admin endpoints --help\".\n" },
        { { "--port", "1", "--port", "2" },
            kExitUsage,
            "ERROR: Invalid syntax: the option --port is given twice; run \"tavox-admin endpoints --help\".\n" },
    };
    ServerKeyStore store;
    store.setDword(ServerKey::kHttpsPort, 48011);
    AdminHarness admin(store.stores());
    const std::string before = fileText(store.path());
    for (const auto& c : cases) {
        std::vector<std::string> args { "endpoints", "set" };
        args.insert(args.end(), c.args.begin(), c.args.end());
        const AdminOutcome o = admin.run(args);
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.err, c.err);
        EXPECT_EQ(o.out, "");
    }
    EXPECT_EQ(fileText(store.path()), before);
    EXPECT_FALSE(std::filesystem::exists(store.path().parent_path() / "snapshots")) << "no snapshot for a refusal";
}

TEST(AdminEndpointsTest, ShowsWhatThePageShows)
{
    ServerKeyStore store;
    store.setDword(ServerKey::kUaTcpPort, 4840);
    store.setDword(ServerKey::kAuthentication, 0x22);
    store.setDword(ServerKey::kSecurityMode, 6);
    AdminHarness admin(store.stores());
    const std::string host = support::utf16ToUtf8(EndpointSettings::computerName());
    const AdminOutcome json = admin.run({ "endpoints", "show", "--json" });
    EXPECT_EQ(json.code, kExitSuccess);
    EXPECT_EQ(json.out,
        "{\n  \"uaTcp\": {\n    \"url\": \"opc.tcp://" + host
            + ":4840\",\n    \"port\": 4840\n  },\n"
              "  \"securityNone\": false,\n"
              "  \"https\": {\n    \"enabled\": true,\n    \"url\": \"https://"
            + host
            + ":48011\",\n    \"port\": 48011\n  },\n"
              "  \"computerName\": \""
            + host + "\"\n}\n");
    const AdminOutcome text = admin.run({ "endpoints", "show" });
    EXPECT_NE(text.out.find("HTTPS:          on\n"), std::string::npos) << text.out;
}

TEST(AdminEndpointsTest, AStoreWithoutTheServerKeyOrWritesIsReportedNotPassedOver)
{
    TempDir dir;
    TempStores empty(dir);
    std::filesystem::create_directories(dir.path());
    AdminHarness admin(empty.stores());
    const AdminOutcome missing = admin.run({ "endpoints", "set", "--port", "4840" });
    EXPECT_EQ(missing.code, kExitFailure);
    EXPECT_EQ(missing.err,
        "ERROR: The settings store " + empty.machine().string()
            + " holds no server key; create it with \"tavox-admin init --service-path DIR\" first.\n");

    ServerKeyStore store;
    store.makeReadOnly();
    AdminHarness readOnly(store.stores());
    const AdminOutcome denied = readOnly.run({ "logon", "set", "--anonymous", "on" });
    EXPECT_EQ(denied.code, kExitFailure);
    EXPECT_EQ(
        denied.err, "ERROR: Access is denied: the settings store " + store.path().string() + " is not writable.\n");
}

TEST(AdminUsersTest, StoresWhatThePageStoresForTheSameDialogInput)
{
    struct Case {
        std::vector<std::string> args;
        std::deque<std::string> input;
        std::function<void(UserTable&, const CTavoxUsrAuth&)> page;
        std::string done;
    };
    const Case cases[] = {
        { { "users", "add", "bob", "--password-stdin" },
            { "pw of bob" },
            [](UserTable& t, const CTavoxUsrAuth&) {
                t.place(t.findAddTarget("bob")->slot, *t.makeEntry(u"bob", u"pw of bob", rightsFrom(true, true, true)));
            },
            "User \"bob\" has been added." },
        { { "users",
              "add",
              "b\xC3\xA9"
              "a",
              "--rights",
              "r",
              "--password-stdin" },
            { "x" },
            [](UserTable& t, const CTavoxUsrAuth&) {
                t.place(1, *t.makeEntry(u"b\u00E9a", u"x", rightsFrom(true, false, false)));
            },
            "User \"b\xC3\xA9"
            "a\" has been added." },
        { { "users", "add", "alice", "--rights", "x", "--replace" },
            { "new", "new" },
            [](UserTable& t, const CTavoxUsrAuth&) {
                t.place(3, *t.makeEntry(u"alice", u"new", rightsFrom(false, true, true)));
            },
            "User \"alice\" has been replaced." },
        { { "users", "passwd", "alice" },
            { std::string(31, 'p'), std::string(31, 'p') },
            [](UserTable& t, const CTavoxUsrAuth&) { ASSERT_TRUE(t.changePassword(3, std::u16string(31, u'p'))); },
            "The password of user \"alice\" has been changed." },
        { { "users", "passwd", "alice", "--password-stdin" },
            { "" },
            [](UserTable& t, const CTavoxUsrAuth&) { ASSERT_TRUE(t.changePassword(3, u"")); },
            "The password of user \"alice\" has been changed." },
        { { "users", "rights", "admin", "r" },
            {},
            [](UserTable& t, const CTavoxUsrAuth&) { t.changeRights(0, rightsFrom(true, false, false)); },
            "The rights of user \"admin\" have been changed." },
        { { "users", "rights", "alice", "none" },
            {},
            [](UserTable& t, const CTavoxUsrAuth&) { t.changeRights(3, 0); },
            "The rights of user \"alice\" have been changed." },
        { { "users", "delete", "admin" },
            {},
            [](UserTable& t, const CTavoxUsrAuth&) { t.clearSlot(0); },
            "User \"admin\" has been deleted." },
        { { "users", "root-passwd", "--password-stdin" },
            { "root secret\r" },
            [](UserTable&, const CTavoxUsrAuth& auth) { ASSERT_TRUE(auth.SetRootAuth(u"root secret")); },
            "The password of root has been changed." },
    };
    for (const Case& c : cases) {
        SideBySide stores(withUsers);
        const AdminOutcome o = stores.admin.run(c.args, c.input);
        EXPECT_EQ(o.code, kExitSuccess) << o.err;
        EXPECT_EQ(o.out, c.done + "\nRestart the service to apply: tavox-admin service restart\n");
        const CTavoxUsrAuth auth(stores.page.machineStore());
        UserTable table(auth);
        table.load();
        c.page(table, auth);
        ASSERT_TRUE(table.save());
        EXPECT_EQ(serverValues(stores.command.path()), serverValues(stores.page.path())) << c.args[1];
    }
}

TEST(AdminUsersTest, BadInputGivesTheDialogsMessageAndChangesNothing)
{
    const std::string longName(32, 'n');
    const struct {
        std::vector<std::string> args;
        std::deque<std::string> input;
        bool terminal;
        int code;
        std::string err;
    } cases[] = {
        { { "users", "add", "root" },
            { "a", "a" },
            true,
            kExitFailure,
            "ERROR: User name can't be 'root'. Please change your name.\n" },
        { { "users", "add", longName },
            { "a", "a" },
            true,
            kExitFailure,
            "ERROR: User name is too long. Please input your name again.\n" },
        { { "users", "add", "\xD0\x96" },
            { "a", "a" },
            true,
            kExitFailure,
            "ERROR: User name can only contain Western European (Latin-1) characters. Please input your name "
            "again.\n" },
        { { "users", "add", "" },
            { "a", "a" },
            true,
            kExitFailure,
            "ERROR: User name can't be empty. Please input your name.\n" },
        { { "users", "add", "bob" },
            { "", "" },
            true,
            kExitFailure,
            "ERROR: Password can't be empty. Please input your password.\n" },
        { { "users", "add", "bob" },
            { std::string(32, 'p'), std::string(32, 'p') },
            true,
            kExitFailure,
            "ERROR: Password is too long. Please input your password again.\n" },
        { { "users", "add", "bob" },
            { "one", "two" },
            true,
            kExitFailure,
            "ERROR: Password is not the same. Please confirm it again.\n" },
        { { "users", "add", "bob" }, { "one" }, true, kExitFailure, "ERROR: No password was typed.\n" },
        { { "users", "add", "bob" },
            { "one" },
            false,
            kExitFailure,
            "ERROR: Standard input is not a terminal: give the password on standard input with --password-stdin.\n" },
        { { "users", "add", "alice", "--password-stdin" },
            { "pw" },
            false,
            kExitFailure,
            "ERROR: Found the same user name \"alice\"; add --replace to replace it.\n" },
        { { "users", "passwd", "carol", "--password-stdin" },
            { "pw" },
            false,
            kExitFailure,
            "ERROR: There is no user \"carol\".\n" },
        { { "users", "passwd", "Alice", "--password-stdin" },
            { "pw" },
            false,
            kExitFailure,
            "ERROR: There is no user \"Alice\".\n" },
        { { "users", "root-passwd", "--password-stdin" },
            { "" },
            false,
            kExitFailure,
            "ERROR: Password can't be empty. Please input your password.\n" },
        { { "users", "rights", "alice", "r,q" },
            {},
            true,
            kExitUsage,
            "ERROR: Invalid syntax: the rights are r, w and x separated by commas, or none, not \"r,q\"; run "
            "\"tavox-admin users --help\".\n" },
        { { "users", "add", "bob", "--password", "pw" },
            {},
            true,
            kExitUsage,
            "ERROR: Invalid syntax: the option --password is not known here; run \"tavox-admin users --help\".\n" },
        { { "users", "rename", "bob" },
            {},
            true,
            kExitUsage,
            "ERROR: Invalid syntax: \"rename\" is none of list, add, delete, passwd, rights or root-passwd; run "
            "\"tavox-admin users --help\".\n" },
        { { "logon", "set" },
            {},
            true,
            kExitUsage,
            "ERROR: Invalid syntax: give at least one of --windows, --certificate, --anonymous; run \"tavox-admin "
            "logon --help\".\n" },
    };
    ServerKeyStore store;
    withUsers(store);
    AdminHarness admin(store.stores());
    const std::string before = fileText(store.path());
    for (const auto& c : cases) {
        admin.passwords.terminal = c.terminal;
        const AdminOutcome o = admin.run(c.args, c.input);
        EXPECT_EQ(o.code, c.code) << c.args[1] << " " << c.args.back();
        EXPECT_EQ(o.err, c.err);
        EXPECT_EQ(o.out, "");
    }
    EXPECT_EQ(fileText(store.path()), before);
}

TEST(AdminUsersTest, AFullTableTakesNoOneAndAReplacementStillFits)
{
    ServerKeyStore store;
    {
        const CTavoxUsrAuth auth(store.machineStore());
        UserTable table(auth);
        for (std::size_t slot = 0; slot < kUsrAuthSlots; ++slot)
            table.place(slot, *table.makeEntry(std::u16string { u'u', static_cast<char16_t>(u'A' + slot) }, u"p", 0));
        ASSERT_TRUE(table.save());
    }
    AdminHarness admin(store.stores());
    const std::string before = fileText(store.path());
    const AdminOutcome full = admin.run({ "users", "add", "bob", "--password-stdin" }, { "pw" });
    EXPECT_EQ(full.code, kExitFailure);
    EXPECT_EQ(full.err, "ERROR: The user table is full: it holds 32 users. Delete one first.\n");
    EXPECT_TRUE(admin.passwords.prompts.empty()) << "refused before a password is asked for";
    EXPECT_EQ(fileText(store.path()), before);
    EXPECT_EQ(admin.run({ "users", "add", "uC", "--replace", "--password-stdin" }, { "pw" }).code, kExitSuccess);
}

TEST(AdminUsersTest, ListsWhatThePageListsAndAsksTwiceOnATerminal)
{
    ServerKeyStore store;
    withUsers(store);
    AdminHarness admin(store.stores());
    const AdminOutcome text = admin.run({ "users", "list" });
    EXPECT_EQ(text.out,
        "#   Name                             Read  Write  Executable\n"
        "01  admin                            V     V      V\n"
        "02  alice                            V     ---    ---\n"
        "\nEnable Windows Logon: on\nEnable Certification: on\nAnonymous:            on\n");
    const AdminOutcome json = admin.run({ "users", "list", "--json" });
    EXPECT_NE(json.out.find("\"number\": \"02\",\n      \"slot\": 4,\n      \"name\": \"alice\""), std::string::npos)
        << json.out;

    EXPECT_EQ(admin.run({ "users", "add", "bob" }, { "pw", "pw" }).code, kExitSuccess);
    EXPECT_EQ(
        admin.passwords.prompts, (std::vector<std::string> { "Password for bob: ", "Confirm password for bob: " }));
}

TEST(AdminLogonTest, ChangesOnlyTheBitsGivenAsThePageDoes)
{
    SideBySide stores([](ServerKeyStore& store) { store.setDword(ServerKey::kAuthentication, 0x3F); });
    EXPECT_EQ(stores.admin.run({ "logon", "set", "--windows", "off", "--anonymous", "off" }).code, kExitSuccess);
    const CTavoxEnvmnt page(stores.page.machineStore());
    const LogonChoices boxes { false, true, false };
    ASSERT_TRUE(page.WriteAuthentication(boxes.appliedTo(page.ReadAuthentication())));
    EXPECT_EQ(serverValues(stores.command.path()), serverValues(stores.page.path()));
    EXPECT_EQ(stores.command.dword(ServerKey::kAuthentication), 0x36u);
}

} // namespace
