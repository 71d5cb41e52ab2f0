#include "snapshots/ConfigSnapshots.h"

#include "config/ServerKey.h"
#include "platform/Registry.h"
#include "testing/ServerKeyStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string fileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::vector<std::uint8_t> sz(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    for (char c : text)
        bytes.insert(bytes.end(), { static_cast<std::uint8_t>(c), 0 });
    bytes.insert(bytes.end(), { 0, 0 });
    return bytes;
}

/// The server key with its subkeys, as a list of every value, to compare whole.
std::vector<std::string> keyDump(const fs::path& store)
{
    std::vector<std::string> lines;
    const std::function<void(const std::string&)> walk = [&](const std::string& path) {
        platform::RegistryKey key;
        if (key.open(store, path, platform::RegAccess::Read) != platform::RegStatus::Success)
            return;
        std::vector<platform::RegistryKey::Value> values;
        std::vector<std::string> subKeys;
        EXPECT_EQ(key.enumValues(values), platform::RegStatus::Success);
        EXPECT_EQ(key.enumSubKeys(subKeys), platform::RegStatus::Success);
        lines.push_back("[" + path + "]");
        for (const auto& v : values)
            lines.push_back(v.name + "=" + std::to_string(v.type) + ":" + std::string(v.data.begin(), v.data.end()));
        for (const auto& sub : subKeys)
            walk(path + "\\" + sub);
    };
    walk(std::string(ServerKey::kPath));
    return lines;
}

class ConfigSnapshotsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_service = m_store.path().parent_path() / "service";
        fs::create_directories(m_service);
        m_store.set(ServerKey::kServicePath, platform::kRegSz, sz(m_service.string() + "/"));
        m_store.setDword(ServerKey::kUaTcpPort, 4840);
        ASSERT_EQ(platform::RegistryKey::createKey(m_store.path(), std::string(ServerKey::kPath) + "\\Sub"),
            platform::RegStatus::Success);
        std::ofstream(m_service / "NodeConfig.xml", std::ios::binary) << "<nodes/>\r\n<!-- settings -->";
    }

    ServerKeyStore m_store;
    fs::path m_service;
    ConfigSnapshots m_snapshots { m_store.machineStore() };
};

TEST_F(ConfigSnapshotsTest, ARestoreBringsTheKeyAndTheFilesBackWhole)
{
    const auto dumpBefore = keyDump(m_store.path());
    // An administrator's permissive umask must not open the copies of the digests to others.
    const mode_t umaskBefore = ::umask(000);
    const auto taken = m_snapshots.take("tavox-admin endpoints set --port 1");
    ::umask(umaskBefore);
    ASSERT_TRUE(taken) << taken.error().message;
    EXPECT_EQ(taken->id, "1");
    ASSERT_EQ(taken->files.size(), 2u);
    EXPECT_TRUE(taken->files[0].present);
    EXPECT_FALSE(taken->files[1].present) << "no server configuration file yet";
    EXPECT_EQ(fs::status(m_snapshots.folder()).permissions() & fs::perms::others_all, fs::perms::none);
    for (const auto& entry : fs::recursive_directory_iterator(m_snapshots.folder()))
        EXPECT_EQ(entry.status().permissions() & fs::perms::others_all, fs::perms::none) << entry.path();

    // Everything changes: a value, a new value, a new file, a changed file.
    m_store.setDword(ServerKey::kUaTcpPort, 1);
    m_store.setDword("Extra", 7);
    std::ofstream(m_service / "NodeConfig.xml") << "changed";
    std::ofstream(m_service / "ServerConfig.xml") << "new";

    const auto restored = m_snapshots.restore("1", "tavox-admin snapshot restore 1");
    ASSERT_TRUE(restored) << restored.error().message;
    EXPECT_EQ(restored->restored.origin, "tavox-admin endpoints set --port 1");
    EXPECT_EQ(restored->before.id, "2");
    EXPECT_EQ(keyDump(m_store.path()), dumpBefore);
    EXPECT_EQ(fileText(m_service / "NodeConfig.xml"), "<nodes/>\r\n<!-- settings -->");
    EXPECT_FALSE(fs::exists(m_service / "ServerConfig.xml")) << "a file that was not there is removed";

    // The restore was itself kept: restoring that snapshot undoes the restore.
    ASSERT_TRUE(m_snapshots.restore("2", "undo"));
    EXPECT_EQ(m_store.dword("Extra"), 7u);
    EXPECT_EQ(fileText(m_service / "ServerConfig.xml"), "new");
}

TEST_F(ConfigSnapshotsTest, KeepsTheNewestTwentyAndListsThemOldestFirst)
{
    const auto start = std::chrono::system_clock::from_time_t(1'700'000'000);
    for (int i = 0; i < 23; ++i)
        ASSERT_TRUE(m_snapshots.take("change " + std::to_string(i), start + std::chrono::seconds(i)));
    const auto all = m_snapshots.list();
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), ConfigSnapshots::kKept);
    EXPECT_EQ(all->front().id, "4");
    EXPECT_EQ(all->front().origin, "change 3");
    EXPECT_EQ(all->front().time, "2023-11-14T22:13:23Z");
    EXPECT_EQ(all->back().id, "23");
    EXPECT_FALSE(m_snapshots.restore("1", "x")) << "pruned";
    EXPECT_FALSE(m_snapshots.restore("../1", "x"));
}

TEST_F(ConfigSnapshotsTest, ASnapshotThatCannotBeMadeLeavesNothingBehind)
{
    std::ofstream(m_snapshots.folder()) << "a file where the folder belongs";
    const auto taken = takeSnapshot(m_store.stores(), "tavox-admin users delete bob");
    ASSERT_FALSE(taken);
    EXPECT_EQ(taken.error().message.rfind("cannot take a snapshot of the configuration: ", 0), 0u)
        << taken.error().message;
    fs::remove(m_snapshots.folder());

    ASSERT_TRUE(m_snapshots.take("good"));
    std::ofstream(m_snapshots.folder() / "1" / "snapshot.json") << "{ not json";
    const auto all = m_snapshots.list();
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 1u);
    EXPECT_EQ(all->front().origin.rfind("damaged: ", 0), 0u) << "listed, so that it can be seen";
    const std::string before = fileText(m_store.path());
    EXPECT_FALSE(m_snapshots.restore("1", "x"));
    EXPECT_EQ(fileText(m_store.path()), before);
}

} // namespace
