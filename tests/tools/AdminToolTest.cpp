#include "tavox-admin/AdminTool.h"

#include "config/CTavoxEnvmnt.h"
#include "config/ServerKey.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "support/DebugOutput.h"
#include "testing/AdminOnStores.h"
#include "testing/TempStores.h"
#include "users/CTavoxUsrAuth.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace admin;

namespace {

const std::string kKey = "HKLM\\SOFTWARE\\MORVANE\\Tavox Server";

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

class AdminToolTest : public ::testing::Test {
protected:
    Outcome run(std::vector<std::string> args) { return run(std::move(args), m_stores.stores()); }
    Outcome run(std::vector<std::string> args, const platform::SettingsStores& stores)
    {
        std::ostringstream out, err;
        const int code = runAdminOnStores(args, { out, err }, stores);
        return { code, out.str(), err.str() };
    }

    void expectSuccess(std::vector<std::string> args)
    {
        const Outcome o = run(args);
        EXPECT_EQ(o.code, kExitSuccess) << o.err;
        EXPECT_EQ(o.err, "");
    }

    std::vector<platform::RegistryKey::Value> values(const std::filesystem::path& store, std::string_view key)
    {
        platform::RegistryKey opened;
        std::vector<platform::RegistryKey::Value> result;
        if (opened.open(store, key, platform::RegAccess::Read) == platform::RegStatus::Success) {
            EXPECT_EQ(opened.enumValues(result), platform::RegStatus::Success);
        }
        return result;
    }

    TempDir m_dir;
    TempStores m_stores { m_dir };
};

TEST_F(AdminToolTest, InitCreatesTheServerKeyAndKeepsWhatExists)
{
    expectSuccess({ "init", "--service-path", (m_dir / "service").string() });
    const Outcome query = run({ "reg", "query", kKey });
    EXPECT_EQ(query.code, kExitSuccess);
    EXPECT_EQ(query.out,
        "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\MORVANE\\Tavox Server\n"
        "    ServicePath    REG_SZ    "
            + (m_dir / "service").string()
            + "/\n"
              "    NodeCfg    REG_SZ    NodeConfig.xml\n"
              "    ServiceCfg    REG_SZ    ServerConfig.xml\n"
              "    UaTcpPort    REG_DWORD    0xbb8a\n"
              "    HttpsPort    REG_DWORD    0xbb8b\n"
              "    SecurityMode    REG_DWORD    0x7\n"
              "    Authentication    REG_DWORD    0x2\n\n");

    expectSuccess({ "reg", "add", kKey, "/v", "UaTcpPort", "/t", "REG_DWORD", "/d", "4840", "/f" });
    const Outcome again = run({ "init", "--service-path=/elsewhere/" });
    EXPECT_EQ(again.code, kExitSuccess);
    EXPECT_NE(again.out.find("Kept the existing value UaTcpPort."), std::string::npos);
    EXPECT_EQ(CTavoxEnvmnt(m_stores.machineStore()).ReadUaTcpPort(), 4840u);
    std::u16string dir;
    EXPECT_TRUE(CTavoxEnvmnt(m_stores.machineStore()).GetAppPath(dir));
    EXPECT_EQ(CTavoxEnvmnt(m_stores.machineStore()).GetNodeCfgPath(), dir + u"NodeConfig.xml");
    EXPECT_EQ(dir.back(), u'/');
}

TEST_F(AdminToolTest, ServicePathIsAbsoluteWithOneTrailingSeparator)
{
    const struct {
        std::string argument;
        std::string expected;
    } cases[] = {
        { "/srv/tavox", "/srv/tavox/" },
        { "/srv/tavox/", "/srv/tavox/" },
        { "/srv/./tavox//", "/srv/tavox/" },
        { "relative/dir", (std::filesystem::current_path() / "relative/dir/").string() },
    };
    for (const auto& c : cases) {
        std::filesystem::remove(m_stores.machine());
        expectSuccess({ "init", "--service-path", c.argument });
        const auto stored = values(m_stores.machine(), ServerKey::kPath);
        ASSERT_FALSE(stored.empty());
        EXPECT_EQ(stored[0].data, platform::regSzBytesFromUtf8(c.expected)) << c.argument;
    }
}

TEST_F(AdminToolTest, ValuesRoundTripThroughExportAndImport)
{
    expectSuccess({ "init", "--service-path", "/srv/tavox/" });
    expectSuccess({ "reg", "add", kKey, "/v", "UsrAuth", "/t", "REG_BINARY", "/d", std::string(2816 * 2, 'a') });
    expectSuccess({ "reg", "add", kKey, "/v", "Quote", "/d", "say \"hi\" \\ there" });
    expectSuccess({ "reg", "add", kKey, "/ve", "/d", "default" });
    expectSuccess({ "reg", "add", kKey + "\\Sub\\Deeper", "/v", "Deep", "/t", "REG_DWORD", "/d", "0xffffffff" });
    expectSuccess({ "reg", "add", "HKCU\\Software\\MORVANE\\Tavox Utility\\Setting", "/v", "Pwd", "/d", "0123" });
    {
        // Values the reg commands cannot make must survive too.
        platform::RegistryKey key;
        ASSERT_EQ(
            key.open(m_stores.machine(), ServerKey::kPath, platform::RegAccess::Write), platform::RegStatus::Success);
        const std::uint8_t odd[] = { 'x', 0, 'y' };
        ASSERT_EQ(key.setValue("Odd", platform::kRegSz, odd, 3), platform::RegStatus::Success);
        ASSERT_EQ(key.setValue("Multi", 7, "a\0\0\0\0\0", 6), platform::RegStatus::Success);
    }
    const auto machineFile = m_dir / "machine.reg";
    const auto userFile = m_dir / "user.reg";
    expectSuccess({ "reg", "export", "HKLM\\SOFTWARE", machineFile.string() });
    expectSuccess({ "reg", "export", "HKEY_CURRENT_USER\\Software", userFile.string() });
    const auto before = values(m_stores.machine(), ServerKey::kPath);
    const auto deepBefore = values(m_stores.machine(), "SOFTWARE\\MORVANE\\Tavox Server\\Sub\\Deeper");

    std::filesystem::remove(m_stores.machine());
    std::filesystem::remove(m_stores.user());
    expectSuccess({ "reg", "import", machineFile.string() });
    expectSuccess({ "reg", "import", userFile.string() });
    const auto after = values(m_stores.machine(), ServerKey::kPath);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].name, before[i].name);
        EXPECT_EQ(after[i].type, before[i].type) << before[i].name;
        EXPECT_EQ(after[i].data, before[i].data) << before[i].name;
    }
    const auto deepAfter = values(m_stores.machine(), "SOFTWARE\\MORVANE\\Tavox Server\\Sub\\Deeper");
    ASSERT_EQ(deepAfter.size(), 1u);
    EXPECT_EQ(deepAfter[0].data, deepBefore[0].data);
    EXPECT_EQ(values(m_stores.user(), "Software\\MORVANE\\Tavox Utility\\Setting").size(), 1u);

    // The exported file itself reads back to the same bytes.
    const auto again = m_dir / "again.reg";
    expectSuccess({ "reg", "export", "HKLM\\SOFTWARE", again.string() });
    EXPECT_EQ(fileText(again), fileText(machineFile));
}

TEST_F(AdminToolTest, QueryShowsOneValueAndTheSubkeys)
{
    expectSuccess({ "reg", "add", kKey, "/v", "UsrAuth", "/t", "reg_binary", "/d", "00ff10" });
    expectSuccess({ "reg", "add", kKey + "\\B", "/f" });
    expectSuccess({ "reg", "add", kKey + "\\a", "/v", "x", "/d", "" });
    EXPECT_EQ(run({ "reg", "query", kKey, "/V", "usrauth" }).out,
        "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\MORVANE\\Tavox Server\n    UsrAuth    REG_BINARY    00FF10\n\n");
    EXPECT_EQ(run({ "reg", "query", "hkey_local_machine\\software\\morvane\\tavox server\\" }).out,
        "\nHKEY_LOCAL_MACHINE\\software\\morvane\\tavox server\n    UsrAuth    REG_BINARY    00FF10\n\n"
        "HKEY_LOCAL_MACHINE\\software\\morvane\\tavox server\\a\n"
        "HKEY_LOCAL_MACHINE\\software\\morvane\\tavox server\\B\n");
    expectSuccess({ "reg", "delete", kKey, "/v", "UsrAuth", "/f" });
    EXPECT_EQ(run({ "reg", "query", kKey, "/v", "UsrAuth" }).code, kExitFailure);
}

TEST_F(AdminToolTest, BadCommandsSayWhyInOneLine)
{
    expectSuccess({ "init", "--service-path", "/srv/tavox/" });
    const std::string missing = (m_dir / "missing.reg").string();
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;
    } cases[] = {
        { {}, kExitUsage, "" },
        { { "frobnicate" },
            kExitUsage,
            "ERROR: Unknown command \"frobnicate\"; run tavox-admin --help for the list.\n" },
        { { "reg", "copy", kKey },
            kExitUsage,
            "ERROR: Unknown reg operation \"copy\": use query, add, delete, export or import.\n" },
        { { "reg", "query" }, kExitUsage, "ERROR: Invalid syntax: tavox-admin reg query KEY [/v NAME | /ve]\n" },
        { { "reg", "query", kKey, "/t", "REG_SZ" },
            kExitUsage,
            "ERROR: Invalid syntax: the switch /t is not known here.\n" },
        { { "reg", "query", "SOFTWARE\\MORVANE" },
            kExitFailure,
            "ERROR: Invalid key name \"SOFTWARE\\MORVANE\": the root must be HKLM, HKEY_LOCAL_MACHINE, HKCU or "
            "HKEY_CURRENT_USER.\n" },
        { { "reg", "query", "HKLM\\A\\\\B" },
            kExitFailure,
            "ERROR: Invalid key name \"HKLM\\A\\\\B\": a path component is empty.\n" },
        { { "reg", "query", "HKLM\\SOFTWARE\\Nobody" },
            kExitFailure,
            "ERROR: The system was unable to find the specified registry key or value.\n" },
        { { "reg", "add", kKey, "/v", "A", "/t", "REG_QWORD", "/d", "1" },
            kExitFailure,
            "ERROR: Invalid type \"REG_QWORD\": use REG_SZ, REG_DWORD or REG_BINARY.\n" },
        { { "reg", "add", kKey, "/v", "A", "/t", "REG_DWORD", "/d", "4294967296" },
            kExitFailure,
            "ERROR: Invalid REG_DWORD data \"4294967296\": give a number from 0 to 4294967295, decimal or "
            "0x-hexadecimal.\n" },
        { { "reg", "add", kKey, "/v", "A", "/t", "REG_DWORD" },
            kExitFailure,
            "ERROR: Invalid REG_DWORD data \"\": give a number from 0 to 4294967295, decimal or 0x-hexadecimal.\n" },
        { { "reg", "add", kKey, "/v", "A", "/t", "REG_BINARY", "/d", "abc" },
            kExitFailure,
            "ERROR: Invalid REG_BINARY data: give an even number of hexadecimal digits.\n" },
        { { "reg", "add", kKey, "/v", "A", "/d", "\xC3(" },
            kExitFailure,
            "ERROR: Invalid REG_SZ data: the text is not UTF-8.\n" },
        { { "reg", "add", kKey, "/v", "A", "/v", "B" },
            kExitUsage,
            "ERROR: Invalid syntax: /v takes one argument, once.\n" },
        { { "reg", "add", kKey, "/d", "x" },
            kExitUsage,
            "ERROR: Invalid syntax: /t and /d need a value name, /v NAME or /ve.\n" },
        { { "reg", "add", kKey, "/v", "NodeCfg", "/d", "x" },
            kExitFailure,
            "ERROR: The value \"NodeCfg\" exists; add /f to overwrite it.\n" },
        { { "reg", "delete", kKey, "/v", "NodeCfg" },
            kExitUsage,
            "ERROR: Add /f to delete the value \"NodeCfg\" without a question.\n" },
        { { "reg", "delete", kKey, "/f" },
            kExitUsage,
            "ERROR: Invalid syntax: name the value to delete with /v NAME or /ve; whole keys are not deleted.\n" },
        { { "reg", "delete", kKey, "/v", "Nothing", "/f" },
            kExitFailure,
            "ERROR: The system was unable to find the specified registry key or value.\n" },
        { { "reg", "import", missing },
            kExitFailure,
            "ERROR: Cannot read " + missing + ": No such file or directory.\n" },
        { { "reg", "import", m_dir.path().string() },
            kExitFailure,
            "ERROR: Cannot read " + m_dir.path().string() + ": it is a directory.\n" },
        { { "reg", "export", kKey, m_stores.machine().string() },
            kExitFailure,
            "ERROR: The file " + m_stores.machine().string() + " exists; add /y to overwrite it.\n" },
        { { "init" }, kExitUsage, "ERROR: Invalid syntax: tavox-admin init --service-path DIR\n" },
        { { "init", "--service-path=" }, kExitFailure, "ERROR: The service directory is empty.\n" },
        { { "init", "--service-path", "/" + std::string(600, 'd') },
            kExitFailure,
            "ERROR: The service directory is longer than 511 characters.\n" },
    };
    const std::string storeBefore = fileText(m_stores.machine());
    for (const auto& c : cases) {
        const Outcome o = run(c.args);
        const std::string what = c.args.empty() ? "(none)" : c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_EQ(o.code, c.code) << what;
        if (!c.err.empty()) {
            EXPECT_EQ(o.err, c.err) << what;
        } else {
            EXPECT_NE(o.err.find("Usage: tavox-admin"), std::string::npos);
        }
        EXPECT_EQ(o.out, "") << what;
    }
    EXPECT_EQ(fileText(m_stores.machine()), storeBefore) << "a refused command writes nothing";
}

TEST_F(AdminToolTest, UnwritableOrForeignStoresAreLeftAlone)
{
    expectSuccess({ "init", "--service-path", "/srv/tavox/" });
    const auto file = m_dir / "all.reg";
    expectSuccess({ "reg", "export", kKey, file.string() });
    std::filesystem::permissions(m_stores.machine(), std::filesystem::perms::owner_read);
    const std::string before = fileText(m_stores.machine());
    const std::string denied
        = "ERROR: Access is denied: the settings store " + m_stores.machine().string() + " is not writable.\n";
    for (const auto& args : std::vector<std::vector<std::string>> {
             { "reg", "add", kKey, "/v", "UaTcpPort", "/t", "REG_DWORD", "/d", "1", "/f" },
             { "reg", "delete", kKey, "/v", "UaTcpPort", "/f" },
             { "reg", "import", file.string() },
             { "init", "--service-path", "/other/" },
         }) {
        const Outcome o = run(args);
        EXPECT_EQ(o.code, kExitFailure) << args[1];
        EXPECT_EQ(o.err, denied) << args[1];
    }
    EXPECT_EQ(fileText(m_stores.machine()), before);
    EXPECT_EQ(run({ "reg", "query", kKey, "/v", "UaTcpPort" }).code, kExitSuccess) << "reads still work";

    std::filesystem::remove(m_stores.machine());
    std::ofstream(m_stores.machine()) << "this is not a settings store";
    const Outcome foreign = run({ "init", "--service-path", "/srv/" });
    EXPECT_EQ(foreign.code, kExitFailure);
    EXPECT_TRUE(foreign.err.starts_with("ERROR: Cannot take a snapshot of the configuration: cannot read the "
                                        "server key of the settings store "
        + m_stores.machine().string()))
        << foreign.err;
    EXPECT_TRUE(foreign.err.ends_with("; nothing was changed.\n")) << foreign.err;
    EXPECT_EQ(fileText(m_stores.machine()), "this is not a settings store");
}

TEST_F(AdminToolTest, ImportIsAllOrNothing)
{
    expectSuccess({ "init", "--service-path", "/srv/tavox/" });
    const std::string before = fileText(m_stores.machine());
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(m_dir / name, std::ios::binary) << text;
        return (m_dir / name).string();
    };
    const std::string broken = write("broken.reg",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKLM\\SOFTWARE\\MORVANE\\Tavox Server]\r\n"
        "\"UaTcpPort\"=dword:00000001\r\n\"HttpsPort\"=dword:xyz\r\n");
    const Outcome o = run({ "reg", "import", broken });
    EXPECT_EQ(o.code, kExitFailure);
    EXPECT_EQ(o.err, "ERROR: " + broken + ", line 5: dword: needs one to eight hexadecimal digits.\n");
    EXPECT_EQ(fileText(m_stores.machine()), before);

    // A file for both stores is refused whole when one of them cannot be written.
    std::ofstream(m_stores.user()) << "foreign";
    const std::string both = write("both.reg",
        "Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\MORVANE\\Tavox Server]\n\"UaTcpPort\"=dword:1\n"
        "[HKCU\\Software\\MORVANE]\n\"A\"=\"b\"\n");
    EXPECT_EQ(run({ "reg", "import", both }).code, kExitFailure);
    EXPECT_EQ(fileText(m_stores.machine()), before);

    const std::string removal = write("removal.reg",
        "Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\MORVANE\\Tavox Server]\n\"NodeCfg\"=-\n"
        "\"Fresh\"=\"new\"\n");
    expectSuccess({ "reg", "import", removal });
    EXPECT_EQ(run({ "reg", "query", kKey, "/v", "NodeCfg" }).code, kExitFailure);
    EXPECT_EQ(run({ "reg", "query", kKey, "/v", "Fresh" }).code, kExitSuccess);
}

TEST_F(AdminToolTest, ImportRefusesWhatIsNoRegularFileOrTooLargeWithOneLineAtOnce)
{
    expectSuccess({ "init", "--service-path", "/srv/tavox/" });
    const std::string before = fileText(m_stores.machine());
    const std::filesystem::path fifo = m_dir / "pipe.reg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Sparse: as large as it says without the disk space.
    const std::filesystem::path huge = m_dir / "huge.reg";
    std::ofstream(huge) << "Windows Registry Editor Version 5.00\n";
    std::filesystem::resize_file(huge, (std::uintmax_t { 64 } << 20) + 1);
    struct Case {
        std::string file;
        std::string why;
    };
    const Case cases[] = {
        // Neither blocks nor reads without end: the pipe has no writer, /dev/zero no end.
        { fifo.string(), "it is not a regular file" },
        { "/dev/zero", "it is not a regular file" },
        { m_dir.path().string(), "it is a directory" },
        { huge.string(), "it is larger than 64 MiB" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Outcome o = run({ "reg", "import", c.file });
        EXPECT_EQ(o.code, kExitFailure);
        EXPECT_EQ(o.err, "ERROR: Cannot read " + c.file + ": " + c.why + ".\n");
        EXPECT_EQ(fileText(m_stores.machine()), before);
    }
}

TEST_F(AdminToolTest, ImportLeavesBothStoresAsTheyWereWhenTheSecondFails)
{
    expectSuccess({ "init", "--service-path", "/srv/tavox/" });
    expectSuccess({ "reg", "add", "HKCU\\Software\\MORVANE", "/v", "Kept", "/d", "user" });
    const auto machineBefore = values(m_stores.machine(), ServerKey::kPath);
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(m_dir / name, std::ios::binary) << text;
        return (m_dir / name).string();
    };
    const std::string both = write("both.reg",
        "Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\MORVANE\\Tavox Server]\n\"UaTcpPort\"=dword:1\n"
        "\"New\"=\"machine\"\n[HKLM\\SOFTWARE\\MORVANE\\Tavox Server\\Sub]\n[HKCU\\Software\\MORVANE]\n\"A\"=\"b\"\n");

    // The per-user store refuses every new value, as a full disk or a broken store would, in the
    // middle of the transaction.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_stores.user().c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                      "CREATE TRIGGER refuse BEFORE INSERT ON reg_values BEGIN SELECT RAISE(ABORT, 'refused'); END;",
                      nullptr,
                      nullptr,
                      nullptr),
            SQLITE_OK);
        sqlite3_close(db);
    }
    const Outcome refused = run({ "reg", "import", both });
    EXPECT_EQ(refused.code, kExitFailure);
    EXPECT_EQ(refused.err,
        "ERROR: The settings store " + m_stores.user().string()
            + " cannot be used: it is corrupt, locked or not a settings store.\n");
    const auto machineAfter = values(m_stores.machine(), ServerKey::kPath);
    ASSERT_EQ(machineAfter.size(), machineBefore.size()) << "the machine's store is rolled back too";
    for (std::size_t i = 0; i < machineBefore.size(); ++i)
        EXPECT_EQ(machineAfter[i].data, machineBefore[i].data) << machineBefore[i].name;
    EXPECT_EQ(run({ "reg", "query", kKey + "\\Sub" }).code, kExitFailure) << "no key was made either";

    // A per-user store that cannot be created at all is found out before anything is written.
    const auto blocker = m_dir / "not-a-folder";
    std::ofstream(blocker) << "a file where the store's folder would go";
    const platform::SettingsStores blocked { m_stores.machineStore(),
        platform::SettingsStore(blocker / "user-registry.db", platform::RegHive::CurrentUser) };
    const Outcome uncreatable = run({ "reg", "import", both }, blocked);
    EXPECT_EQ(uncreatable.code, kExitFailure);
    EXPECT_EQ(uncreatable.err,
        "ERROR: Access is denied: the settings store " + (blocker / "user-registry.db").string()
            + " is not writable.\n");
    EXPECT_EQ(values(m_stores.machine(), ServerKey::kPath).size(), machineBefore.size());

    // A file for both stores, when both can take it, lands in both.
    std::filesystem::remove(m_stores.user());
    expectSuccess({ "reg", "import", both });
    EXPECT_EQ(run({ "reg", "query", kKey, "/v", "New" }).code, kExitSuccess);
    EXPECT_EQ(run({ "reg", "query", "HKCU\\Software\\MORVANE", "/v", "A" }).code, kExitSuccess);
}

TEST_F(AdminToolTest, DeepKeysStayWithinTheRegistrysLimitsAndExportWhole)
{
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(m_dir / name, std::ios::binary) << text;
        return (m_dir / name).string();
    };
    const auto levels = [](std::size_t count, const std::string& name) {
        std::string path = "HKLM\\SOFTWARE";
        for (std::size_t i = 1; i < count; ++i)
            path += "\\" + name;
        return path;
    };
    expectSuccess({ "init", "--service-path", "/srv/tavox/" });

    // Ten thousand levels, as a hostile file would have them: refused whole, the store as it was.
    const std::string tooDeep
        = write("deep.reg", "Windows Registry Editor Version 5.00\n[" + levels(10000, "L") + "]\n\"V\"=dword:1\n");
    const std::string before = fileText(m_stores.machine());
    const Outcome refused = run({ "reg", "import", tooDeep });
    EXPECT_EQ(refused.code, kExitFailure);
    EXPECT_NE(refused.err.find(", line 2: invalid key name \"HKLM\\SOFTWARE\\L\\L"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("...\": a key path has at most 512 levels.\n"), std::string::npos) << refused.err;
    EXPECT_EQ(fileText(m_stores.machine()), before);

    // The deepest key with the longest names takes a store of a size in proportion to its names.
    const std::string deepest = write("deepest.reg",
        "Windows Registry Editor Version 5.00\n[" + levels(512, std::string(255, 'n')) + "]\n\"V\"=dword:1\n");
    expectSuccess({ "reg", "import", deepest });
    EXPECT_LT(std::filesystem::file_size(m_stores.machine()), 2u * 1024 * 1024);

    // Every level of a deep key is exported, each with its whole name.
    const std::string chain
        = write("chain.reg", "Windows Registry Editor Version 5.00\n[" + levels(512, "L") + "]\n\"V\"=dword:7\n");
    expectSuccess({ "reg", "import", chain });
    const auto exported = m_dir / "exported.reg";
    expectSuccess({ "reg", "export", "HKLM\\SOFTWARE\\L", exported.string() });
    std::filesystem::remove(m_stores.machine());
    expectSuccess({ "reg", "import", exported.string() });
    const auto deepestValues = values(m_stores.machine(), levels(512, "L").substr(5));
    ASSERT_EQ(deepestValues.size(), 1u);
    EXPECT_EQ(deepestValues[0].data, (std::vector<std::uint8_t> { 7, 0, 0, 0 }));
}

TEST_F(AdminToolTest, NulInANameIsRefusedWithTheLine)
{
    expectSuccess({ "init", "--service-path", "/srv/tavox/" });
    const std::string before = fileText(m_stores.machine());
    const auto file = m_dir / "nul.reg";
    std::ofstream(file, std::ios::binary) << std::string(
        "Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\MORVANE\\Tavox Server]\n\"Ua\0Port\"=dword:1\n", 92);
    const Outcome o = run({ "reg", "import", file.string() });
    EXPECT_EQ(o.code, kExitFailure);
    EXPECT_EQ(o.err, "ERROR: " + file.string() + ", line 3: a value name must not hold a NUL character.\n");
    EXPECT_EQ(fileText(m_stores.machine()), before);
}

TEST_F(AdminToolTest, TheServersUserTableIsKeptFromEveryoneButRootAndTheAdministrators)
{
    // The table keeps the layout the server reads, so what guards its digests is the store's mode.
    const auto store = m_dir / "lib" / "tavox" / "registry.db";
    const platform::SettingsStores stores { platform::SettingsStore(store, platform::RegHive::LocalMachine),
        m_stores.userStore() };
    const mode_t umaskBefore = ::umask(0);
    const Outcome init = run({ "init", "--service-path", "/srv/tavox/" }, stores);
    EXPECT_EQ(init.code, kExitSuccess) << init.err;
    UsrAuthTable table {};
    table[0].name[0] = 'u';
    const CTavoxUsrAuth auth(stores.machine);
    EXPECT_TRUE(auth.SetAllUserAuth(table));
    EXPECT_TRUE(auth.SetRootAuth(u"root password"));
    ::umask(umaskBefore);

    const auto modeOf = [](const std::filesystem::path& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
    };
    EXPECT_EQ(modeOf(store), 0660);
    EXPECT_EQ(modeOf(store.parent_path()), 02770);
    EXPECT_EQ(modeOf(m_dir / "lib"), 02770);
    for (const char* side : { "-wal", "-shm" }) {
        const std::string file = store.string() + side;
        if (std::filesystem::exists(file)) {
            EXPECT_EQ(modeOf(file), 0660) << side;
        }
    }
    const auto stored = values(store, ServerKey::kPath);
    const auto usrAuth = std::find_if(stored.begin(), stored.end(), [](const auto& v) { return v.name == "UsrAuth"; });
    ASSERT_NE(usrAuth, stored.end());
    EXPECT_EQ(usrAuth->type, platform::kRegBinary);
    EXPECT_EQ(usrAuth->data.size(), kUsrAuthBytes);
}

} // namespace
