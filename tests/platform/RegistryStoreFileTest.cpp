#include "platform/Registry.h"

#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

using namespace platform;

namespace {

constexpr const char* kKey = "SOFTWARE\\MORVANE\\Tavox Server";

using Kind = RegistryKey::Change::Kind;

std::vector<std::uint8_t> word(std::uint32_t value)
{
    const auto bytes = regDwordBytes(value);
    return { bytes.begin(), bytes.end() };
}

/// The mode bits of a file or folder; -1 when it is missing.
int modeOf(const std::filesystem::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

/// The process's umask for the lifetime of the object.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~ScopedUmask() { ::umask(m_old); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t m_old;
};

/// A value of a key as a number, or -1 with the status of the failed read in `status`.
long readWord(const std::filesystem::path& store, const char* name, RegStatus& status)
{
    RegistryKey key;
    status = key.open(store, kKey, RegAccess::Read);
    if (status != RegStatus::Success)
        return -1;
    std::uint32_t value = 0;
    std::uint32_t size = 4;
    status = key.queryValue(name, nullptr, &value, &size);
    return status == RegStatus::Success ? static_cast<long>(value) : -1;
}

TEST(RegistryStoreFileTest, StoresAreCreatedForTheirOwnersOnlyWhateverTheUmask)
{
    const ScopedUmask open(0);
    TempDir dir;
    const auto machine = dir / "var" / "lib" / "tavox" / "registry.db";
    const auto user = dir / "home" / ".config" / "tavox" / "user-registry.db";
    ASSERT_EQ(RegistryKey::createKey(machine, kKey, RegHive::LocalMachine), RegStatus::Success);
    ASSERT_EQ(RegistryKey::createKey(user, "Software\\MORVANE", RegHive::CurrentUser), RegStatus::Success);

    EXPECT_EQ(modeOf(machine), 0660);
    EXPECT_EQ(modeOf(machine.parent_path()), 02770);
    EXPECT_EQ(modeOf(dir / "var"), 02770) << "every folder made for the store";
    EXPECT_EQ(modeOf(user), 0600);
    EXPECT_EQ(modeOf(user.parent_path()), 0700);
    EXPECT_EQ(modeOf(dir / "home"), 0700);
    EXPECT_EQ(modeOf(dir.path()), 0700) << "a folder that was there is left as it is";

    // The write-ahead log and its index, there while a writer has the store open, take the
    // store's own mode.
    for (const auto& [store, mode] : { std::pair { machine, 0660 }, std::pair { user, 0600 } }) {
        RegistryKey key;
        ASSERT_EQ(key.open(store, store == machine ? kKey : "Software\\MORVANE", RegAccess::Write), RegStatus::Success);
        ASSERT_EQ(key.setValue("A", kRegDword, word(1).data(), 4), RegStatus::Success);
        EXPECT_EQ(modeOf(store.string() + "-wal"), mode) << store;
        EXPECT_EQ(modeOf(store.string() + "-shm"), mode) << store;
    }
}

TEST(RegistryStoreFileTest, APipeWhereTheStoreBelongsIsRefusedAtOnce)
{
    TempDir dir;
    const auto store = dir / "machine.db";
    ASSERT_EQ(::mkfifo(store.c_str(), 0600), 0);
    // A pipe without a writer: opening it as the database library does would never return.
    RegistryKey key;
    EXPECT_NE(key.open(store, kKey, RegAccess::Read), RegStatus::Success);
    EXPECT_NE(RegistryKey::createKey(store, kKey), RegStatus::Success);
    struct stat st {};
    ASSERT_EQ(::stat(store.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "nothing is put in its place";
}

TEST(RegistryStoreFileTest, AWriterTakesTheWorldsRightsFromAnOlderStore)
{
    TempDir dir;
    const auto machine = dir / "registry.db";
    const auto user = dir / "user-registry.db";
    ASSERT_EQ(RegistryKey::createKey(machine, kKey, RegHive::LocalMachine), RegStatus::Success);
    ASSERT_EQ(RegistryKey::createKey(user, kKey, RegHive::CurrentUser), RegStatus::Success);
    // As older versions left them.
    std::filesystem::permissions(machine, std::filesystem::perms(0644));
    std::filesystem::permissions(user, std::filesystem::perms(0644));

    RegistryKey reader;
    ASSERT_EQ(reader.open(machine, kKey, RegAccess::Read), RegStatus::Success);
    reader.close();
    EXPECT_EQ(modeOf(machine), 0644) << "a reader changes nothing";

    ASSERT_EQ(RegistryKey::writeAll(machine, { { Kind::Set, kKey, "A", kRegDword, word(1) } }, RegHive::LocalMachine),
        RegStatus::Success);
    EXPECT_EQ(modeOf(machine), 0640) << "the group keeps what it had";
    ASSERT_EQ(RegistryKey::writeAll(user, { { Kind::Set, kKey, "A", kRegDword, word(1) } }, RegHive::CurrentUser),
        RegStatus::Success);
    EXPECT_EQ(modeOf(user), 0600);
}

TEST(RegistryStoreFileTest, ReadersGetTheOldOrTheNewValueWhereverAWriterIsKilled)
{
    TempDir dir;
    const auto store = dir / "registry.db";
    ASSERT_EQ(RegistryKey::writeAll(store,
                  { { Kind::Set, kKey, "A", kRegDword, word(0) },
                      { Kind::Set, kKey, "B", kRegDword, word(0) },
                      { Kind::Set, kKey, "C", kRegDword, word(0) } },
                  RegHive::LocalMachine),
        RegStatus::Success);
    std::mt19937 random(18);
    long lastPair = 0;
    long lastSingle = 0;
    int leftovers = 0;
    for (std::uint32_t round = 1; round <= 300; ++round) {
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            // A batch of two values and a single write through an open key, over and over.
            for (;;) {
                (void)RegistryKey::writeAll(store,
                    { { Kind::Set, kKey, "A", kRegDword, word(round) },
                        { Kind::Set, kKey, "B", kRegDword, word(round) } },
                    RegHive::LocalMachine);
                RegistryKey key;
                if (key.open(store, kKey, RegAccess::Write) == RegStatus::Success)
                    (void)key.setValue("C", kRegDword, word(round).data(), 4);
            }
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 4000)(random));
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);
        leftovers += std::filesystem::exists(store.string() + "-wal") ? 1 : 0;

        RegStatus readA = RegStatus::Failed, readB = RegStatus::Failed, readC = RegStatus::Failed;
        const long a = readWord(store, "A", readA);
        const long b = readWord(store, "B", readB);
        const long c = readWord(store, "C", readC);
        ASSERT_EQ(readA, RegStatus::Success) << "round " << round << ": " << regStatusText(readA);
        ASSERT_EQ(readB, RegStatus::Success) << "round " << round;
        ASSERT_EQ(readC, RegStatus::Success) << "round " << round;
        EXPECT_EQ(a, b) << "round " << round << ": a batch is whole or absent";
        EXPECT_TRUE(a == lastPair || a == static_cast<long>(round)) << "round " << round << ": " << a;
        EXPECT_TRUE(c == lastSingle || c == static_cast<long>(round)) << "round " << round << ": " << c;
        lastPair = a;
        lastSingle = c;
    }
    RecordProperty("kills_leaving_a_log", leftovers);
}

// Files in memory where there are any: what is tested is how a store comes into place, not
// how fast the disk syncs.
std::filesystem::path memoryFolder()
{
    std::error_code ec;
    return std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                         : std::filesystem::temp_directory_path();
}

TEST(RegistryStoreFileTest, ConcurrentCreatorsAndReadersSeeAWholeStoreOrNone)
{
    TempDir dir(memoryFolder());
    constexpr int kCreators = 2;
    for (int run = 0; run < 300; ++run) {
        const auto store = dir / ("registry-" + std::to_string(run) + ".db");
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<pid_t> children;
        for (int i = 0; i <= kCreators; ++i) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child != 0) {
                children.push_back(child);
                continue;
            }
            ::close(gate[1]);
            char go = 0;
            (void)::read(gate[0], &go, 1); // everyone starts when the gate closes
            if (i == kCreators) {
                // A reader: nothing or a whole store, never a store that cannot be used.
                for (int tries = 0; tries < 10000; ++tries) {
                    RegistryKey key;
                    const RegStatus status = key.open(store, "", RegAccess::Read);
                    if (status == RegStatus::Success)
                        ::_exit(0);
                    if (status != RegStatus::NotFound)
                        ::_exit(10 + static_cast<int>(status));
                    ::usleep(500);
                }
                ::_exit(3);
            }
            const std::string key = std::string(kKey) + "\\Creator" + std::to_string(i);
            ::_exit(static_cast<int>(RegistryKey::createKey(store, key, RegHive::LocalMachine)));
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status)) << "run " << run;
            EXPECT_EQ(WEXITSTATUS(status), 0) << "run " << run;
        }
        for (int i = 0; i < kCreators; ++i) {
            RegistryKey key;
            EXPECT_EQ(key.open(store, std::string(kKey) + "\\Creator" + std::to_string(i), RegAccess::Read),
                RegStatus::Success)
                << "run " << run << ": no creator's key is lost";
        }
        EXPECT_EQ(modeOf(store), 0660);
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos) << "temporary stores are removed";
}

/// A store as versions before the key tree wrote it: every key with its whole path.
void writeStoreOfPaths(const std::filesystem::path& path)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* sql = "PRAGMA application_id = 1413568088;"
                      "CREATE TABLE reg_keys(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE COLLATE NOCASE);"
                      "CREATE TABLE reg_values(id INTEGER PRIMARY KEY, key_id INTEGER NOT NULL REFERENCES reg_keys(id),"
                      " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
                      " UNIQUE(key_id, name));"
                      "INSERT INTO reg_keys(id, path) VALUES(1, 'SOFTWARE'), (2, 'SOFTWARE\\MORVANE'),"
                      " (7, 'SOFTWARE\\MORVANE\\Tavox Server'), (4, 'SOFTWARE\\MORVANE\\Tavox Server\\Zeta'),"
                      " (5, 'SOFTWARE\\MORVANE\\Tavox Server\\alpha');"
                      "INSERT INTO reg_values(key_id, name, type, data) VALUES(7, 'UaTcpPort', 4, x'8abb0000'),"
                      " (7, 'NodeCfg', 1, x'610062000000'), (5, 'Inner', 4, x'01000000');";
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

void expectStoreOfPathsContent(const std::filesystem::path& store, const char* when)
{
    RegistryKey key;
    ASSERT_EQ(key.open(store, "software\\morvane\\TAVOX SERVER", RegAccess::Read), RegStatus::Success) << when;
    std::vector<RegistryKey::Value> values;
    ASSERT_EQ(key.enumValues(values), RegStatus::Success) << when;
    ASSERT_GE(values.size(), 2u) << when;
    EXPECT_EQ(values[0].name, "UaTcpPort") << when;
    EXPECT_EQ(values[1].data, (std::vector<std::uint8_t> { 'a', 0, 'b', 0, 0, 0 })) << when;
    std::vector<std::string> subKeys;
    ASSERT_EQ(key.enumSubKeys(subKeys), RegStatus::Success) << when;
    EXPECT_EQ(subKeys, (std::vector<std::string> { "alpha", "Zeta" })) << when;
    RegistryKey inner;
    ASSERT_EQ(inner.open(key, "ALPHA", RegAccess::Read), RegStatus::Success) << when;
    std::uint32_t value = 0, size = 4;
    EXPECT_EQ(inner.queryValue("inner", nullptr, &value, &size), RegStatus::Success) << when;
    EXPECT_EQ(value, 1u) << when;
}

TEST(RegistryStoreFileTest, StoresOfWholePathsStayReadableAndBecomeTreesAtTheFirstWrite)
{
    TempDir dir;
    const auto store = dir / "registry.db";
    writeStoreOfPaths(store);
    std::filesystem::permissions(store, std::filesystem::perms(0440));
    expectStoreOfPathsContent(store, "read where it cannot be written");

    std::filesystem::permissions(store, std::filesystem::perms(0660));
    ASSERT_EQ(RegistryKey::writeAll(store, { { Kind::Set, kKey, "New", kRegDword, word(9) } }, RegHive::LocalMachine),
        RegStatus::Success);
    expectStoreOfPathsContent(store, "after the first write");
    RegistryKey key;
    ASSERT_EQ(key.open(store, kKey, RegAccess::Read), RegStatus::Success);
    std::uint32_t value = 0, size = 4;
    EXPECT_EQ(key.queryValue("New", nullptr, &value, &size), RegStatus::Success);
    EXPECT_EQ(value, 9u);
    key.close();

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE name = 'reg_keys'", -1, &st, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 0) << "no whole paths are kept";
    sqlite3_finalize(st);
    sqlite3_close(db);
}

} // namespace
