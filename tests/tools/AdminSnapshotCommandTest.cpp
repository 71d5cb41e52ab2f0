#include "AdminHarness.h"

#include "config/ServerKey.h"
#include "testing/ServerKeyStore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace admin;

namespace {

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

TEST(AdminSnapshotTest, EveryChangeIsKeptBeforeAndCanBeUndone)
{
    ServerKeyStore store;
    AdminHarness admin(store.stores());
    const std::string original = fileText(store.path());
    ASSERT_EQ(admin.run({ "endpoints", "set", "--port", "4840" }).code, kExitSuccess);
    ASSERT_EQ(admin.run({ "users", "add", "bob", "--password-stdin" }, { "pw" }).code, kExitSuccess);

    const AdminOutcome list = admin.run({ "snapshot", "list" });
    EXPECT_EQ(list.code, kExitSuccess);
    EXPECT_NE(list.out.find("1   "), std::string::npos);
    EXPECT_NE(list.out.find("  tavox-admin endpoints set --port 4840\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("  tavox-admin users add bob --password-stdin\n"), std::string::npos) << list.out;
    const AdminOutcome json = admin.run({ "snapshot", "list", "--json" });
    EXPECT_NE(json.out.find("\"origin\": \"tavox-admin users add bob --password-stdin\""), std::string::npos);

    const AdminOutcome restore = admin.run({ "snapshot", "restore", "1" });
    EXPECT_EQ(restore.code, kExitSuccess) << restore.err;
    EXPECT_NE(restore.out.find("The configuration it replaced is snapshot 3."), std::string::npos) << restore.out;
    EXPECT_EQ(store.dword(ServerKey::kUaTcpPort), std::nullopt);
    EXPECT_EQ(store.raw(ServerKey::kUsrAuth), std::nullopt);

    const AdminOutcome missing = admin.run({ "snapshot", "restore", "99" });
    EXPECT_EQ(missing.code, kExitFailure);
    EXPECT_EQ(missing.err.rfind("ERROR: There is no snapshot 99 in ", 0), 0u) << missing.err;
    (void)original;
}

TEST(AdminSnapshotTest, ASnapshotThatCannotBeMadeStopsTheChange)
{
    ServerKeyStore store;
    std::ofstream(store.path().parent_path() / "snapshots") << "in the way";
    AdminHarness admin(store.stores());
    const std::string before = fileText(store.path());
    for (const auto& args : std::vector<std::vector<std::string>> {
             { "endpoints", "set", "--port", "4840" },
             { "logon", "set", "--anonymous", "on" },
             { "users", "rights", "nobody", "r" },
             { "reg", "add", "HKLM\\SOFTWARE\\MORVANE\\Tavox Server", "/v", "X", "/d", "1" },
         }) {
        const AdminOutcome o = admin.run(args);
        EXPECT_EQ(o.code, kExitFailure) << args[0];
        if (args[0] != "users") {
            EXPECT_EQ(o.err.rfind("ERROR: Cannot take a snapshot of the configuration: ", 0), 0u) << o.err;
            EXPECT_TRUE(o.err.ends_with("; nothing was changed.\n")) << o.err;
        }
    }
    EXPECT_EQ(fileText(store.path()), before);
}

} // namespace
