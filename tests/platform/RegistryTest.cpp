#include "platform/Registry.h"
#include "platform/SettingsStore.h"

#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

using namespace platform;

namespace {

constexpr const char* kKey = "SOFTWARE\\MORVANE\\Tavox Server";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(RegistryKey::createKey(m_store, kKey), RegStatus::Success); }

    RegistryKey openKey(RegAccess access)
    {
        RegistryKey key;
        EXPECT_EQ(key.open(m_store, kKey, access), RegStatus::Success);
        return key;
    }

    TempDir m_dir;
    std::filesystem::path m_store = m_dir / "registry.db";
};

TEST_F(RegistryTest, StoresTypesWithTheirWindowsLayouts)
{
    RegistryKey key = openKey(RegAccess::Write);
    const std::uint32_t port = 48010;
    const std::uint8_t le[] = { 0x8A, 0xBB, 0, 0 };
    ASSERT_EQ(key.setValue("UaTcpPort", kRegDword, le, 4), RegStatus::Success);
    const auto sz = regSzBytesFromUtf8("ab");
    ASSERT_EQ(key.setValue("NodeCfg", kRegSz, sz.data(), static_cast<std::uint32_t>(sz.size())), RegStatus::Success);
    key.close();

    RegistryKey reader = openKey(RegAccess::Read);
    std::uint32_t type = 0;
    std::uint32_t value = 0;
    std::uint32_t size = 4;
    ASSERT_EQ(reader.queryValue("uatcpport", &type, &value, &size), RegStatus::Success);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(value, port);

    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(reader.queryValue("NODECFG", type, bytes), RegStatus::Success);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t> { 'a', 0, 'b', 0, 0, 0 }));
}

TEST_F(RegistryTest, BufferSizesFollowTheQueryCall)
{
    RegistryKey key = openKey(RegAccess::Write);
    for (const auto& [length, expected] :
        { std::pair { 511u, RegStatus::Success }, std::pair { 600u, RegStatus::MoreData } }) {
        const auto data = regSzBytes(std::u16string(length, u'x'));
        ASSERT_EQ(
            key.setValue("Long", kRegSz, data.data(), static_cast<std::uint32_t>(data.size())), RegStatus::Success);
        std::vector<std::uint8_t> buffer(1024, 0);
        std::uint32_t size = 1024;
        EXPECT_EQ(key.queryValue("Long", nullptr, buffer.data(), &size), expected) << length;
        EXPECT_EQ(size, (length + 1) * 2);
        if (expected == RegStatus::MoreData) {
            EXPECT_EQ(buffer[0], 0) << "a failed read leaves the buffer alone";
        }
    }
    std::uint32_t size = 4;
    std::uint32_t dword = 0;
    EXPECT_EQ(key.queryValue("Missing", nullptr, &dword, &size), RegStatus::NotFound);
}

TEST_F(RegistryTest, ReplacingKeepsOrderAndDeleteRemoves)
{
    RegistryKey key = openKey(RegAccess::Write);
    const std::uint8_t one = 1;
    ASSERT_EQ(key.setValue("A", kRegBinary, &one, 1), RegStatus::Success);
    ASSERT_EQ(key.setValue("B", kRegBinary, &one, 1), RegStatus::Success);
    ASSERT_EQ(key.setValue("a", kRegBinary, nullptr, 0), RegStatus::Success);
    std::vector<RegistryKey::Value> values;
    ASSERT_EQ(key.enumValues(values), RegStatus::Success);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "A");
    EXPECT_TRUE(values[0].data.empty());
    EXPECT_EQ(key.deleteValue("b"), RegStatus::Success);
    EXPECT_EQ(key.deleteValue("b"), RegStatus::NotFound);
}

TEST_F(RegistryTest, RefusesWhatItMustNotTouch)
{
    RegistryKey key;
    EXPECT_EQ(key.open(m_store, "SOFTWARE\\Other", RegAccess::Read), RegStatus::NotFound);
    EXPECT_EQ(key.open(m_dir / "none.db", kKey, RegAccess::Read), RegStatus::NotFound);

    RegistryKey reader = openKey(RegAccess::Read);
    const std::uint8_t one = 1;
    EXPECT_EQ(reader.setValue("A", kRegBinary, &one, 1), RegStatus::AccessDenied);

    std::filesystem::permissions(m_store, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_EQ(key.open(m_store, kKey, RegAccess::Write), RegStatus::AccessDenied);
    EXPECT_EQ(key.open(m_store, kKey, RegAccess::Read), RegStatus::Success);

    for (const char* content : { "not a database at all", "" }) {
        const auto foreign = m_dir / "foreign.db";
        std::ofstream(foreign) << content;
        EXPECT_EQ(key.open(foreign, kKey, RegAccess::Read), RegStatus::Failed) << content;
    }
}

TEST_F(RegistryTest, BatchesApplyWholeOrNotAtAll)
{
    using Kind = RegistryKey::Change::Kind;
    const auto word = [](std::uint32_t v) {
        const auto b = regDwordBytes(v);
        return std::vector<std::uint8_t>(b.begin(), b.end());
    };
    ASSERT_EQ(RegistryKey::writeAll(m_store,
                  {
                      { Kind::Set, kKey, "Kept", kRegDword, word(1) },
                      { Kind::Set, kKey, "Gone", kRegDword, word(1) },
                  }),
        RegStatus::Success);
    ASSERT_EQ(RegistryKey::writeAll(m_store,
                  {
                      { Kind::SetIfMissing, kKey, "kept", kRegDword, word(2) },
                      { Kind::SetIfMissing, kKey, "New", kRegDword, word(3) },
                      { Kind::Delete, kKey, "GONE", 0, {} },
                      { Kind::CreateKey, std::string(kKey) + "\\A\\B", "", 0, {} },
                  }),
        RegStatus::Success);
    RegistryKey key = openKey(RegAccess::Read);
    std::vector<RegistryKey::Value> values;
    ASSERT_EQ(key.enumValues(values), RegStatus::Success);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "Kept");
    EXPECT_EQ(values[0].data, word(1));
    EXPECT_EQ(values[1].name, "New");
    std::vector<std::string> subKeys;
    ASSERT_EQ(key.enumSubKeys(subKeys), RegStatus::Success);
    EXPECT_EQ(subKeys, std::vector<std::string> { "A" });
    key.close();

    const auto read = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::vector<RegistryKey::Change> one = { { Kind::Set, kKey, "X", kRegDword, word(9) } };
    const auto foreign = m_dir / "foreign.db";
    std::ofstream(foreign) << "not a store";
    EXPECT_EQ(RegistryKey::writeAll(foreign, one), RegStatus::Failed);
    EXPECT_EQ(read(foreign), "not a store");

    const std::string before = read(m_store);
    std::filesystem::permissions(m_store, std::filesystem::perms::owner_read);
    EXPECT_EQ(RegistryKey::writeAll(m_store, one), RegStatus::AccessDenied);
    EXPECT_EQ(read(m_store), before);

    const auto fresh = m_dir / "sub" / "fresh.db";
    EXPECT_EQ(RegistryKey::writeAll(fresh, one), RegStatus::Success);
    EXPECT_EQ(key.open(fresh, "software\\morvane\\tavox server", RegAccess::Read), RegStatus::Success);
}

TEST_F(RegistryTest, NamesBeyondTheRegistrysLimitsAreRefusedBeforeAnythingIsWritten)
{
    using Kind = RegistryKey::Change::Kind;
    std::string deepest = kKey;
    for (std::size_t level = 3; level < kMaxKeyDepth; ++level)
        deepest += "\\" + std::string(kMaxKeyNameLength, 'k');
    const std::uint8_t one = 1;
    const struct {
        const char* what;
        std::string key;
        std::string name;
        RegStatus status;
    } cases[] = {
        { "deepest key, longest names", deepest, std::string(kMaxValueNameLength, 'v'), RegStatus::Success },
        { "a level too many", deepest + "\\k", "v", RegStatus::InvalidName },
        { "a key name too long",
            std::string(kKey) + "\\" + std::string(kMaxKeyNameLength + 1, 'k'),
            "v",
            RegStatus::InvalidName },
        { "an empty key name", std::string(kKey) + "\\\\Sub", "v", RegStatus::InvalidName },
        { "NUL in a key name", std::string(kKey) + std::string("\\A\0B", 4), "v", RegStatus::InvalidName },
        { "NUL in a value name", kKey, std::string("a\0b", 3), RegStatus::InvalidName },
        { "a value name too long", kKey, std::string(kMaxValueNameLength + 1, 'v'), RegStatus::InvalidName },
    };
    for (const auto& c : cases) {
        const auto fresh = m_dir / "fresh.db";
        EXPECT_EQ(RegistryKey::writeAll(fresh, { { Kind::Set, c.key, c.name, kRegBinary, { one } } }), c.status)
            << c.what;
        EXPECT_EQ(std::filesystem::exists(fresh), c.status == RegStatus::Success) << c.what << ": no store is made";
        std::filesystem::remove(fresh);
        RegistryKey key;
        EXPECT_EQ(key.open(m_store, c.key, RegAccess::Read), c.key == kKey ? RegStatus::Success : RegStatus::NotFound)
            << c.what;
    }
    RegistryKey key = openKey(RegAccess::Write);
    EXPECT_EQ(key.setValue(std::string("a\0b", 3), kRegBinary, &one, 1), RegStatus::InvalidName);
    EXPECT_EQ(key.setValue(std::string(kMaxValueNameLength + 1, 'v'), kRegBinary, &one, 1), RegStatus::InvalidName);
    std::vector<RegistryKey::Value> values;
    ASSERT_EQ(key.enumValues(values), RegStatus::Success);
    EXPECT_TRUE(values.empty());
}

TEST_F(RegistryTest, KeysOpenBelowAnOpenKey)
{
    ASSERT_EQ(RegistryKey::createKey(m_store, std::string(kKey) + "\\A\\B"), RegStatus::Success);
    RegistryKey reader = openKey(RegAccess::Read);
    RegistryKey child;
    ASSERT_EQ(child.open(reader, "a\\b", RegAccess::Read), RegStatus::Success);
    std::vector<std::string> names;
    EXPECT_EQ(child.enumSubKeys(names), RegStatus::Success);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(child.open(reader, "A\\Missing", RegAccess::Read), RegStatus::NotFound);
    EXPECT_EQ(child.open(reader, "A", RegAccess::Write), RegStatus::AccessDenied) << "a reader's child cannot write";
    EXPECT_EQ(child.open(RegistryKey(), "A", RegAccess::Read), RegStatus::InvalidHandle);

    RegistryKey writer = openKey(RegAccess::Write);
    ASSERT_EQ(child.open(writer, "A\\B", RegAccess::Write), RegStatus::Success);
    writer.close();
    const std::uint8_t one = 1;
    ASSERT_EQ(child.setValue("V", kRegBinary, &one, 1), RegStatus::Success) << "the child keeps the connection";
    RegistryKey again;
    ASSERT_EQ(again.open(m_store, std::string(kKey) + "\\A\\B", RegAccess::Read), RegStatus::Success);
    std::uint32_t size = 0;
    EXPECT_EQ(again.queryValue("v", nullptr, nullptr, &size), RegStatus::Success);
}

TEST(SettingsStoreTest, StorePathsComeFromTheEnvironmentOrTheDefaults)
{
    using Environment = std::map<std::string, std::string>;
    const struct {
        Environment environment;
        const char* machine;
        const char* user;
    } cases[] = {
        { {}, "/var/lib/tavox/registry.db", ".config/tavox/user-registry.db" },
        { { { "HOME", "/home/a" } }, "/var/lib/tavox/registry.db", "/home/a/.config/tavox/user-registry.db" },
        { { { "HOME", "/home/a" }, { "XDG_CONFIG_HOME", "/cfg" } },
            "/var/lib/tavox/registry.db",
            "/cfg/tavox/user-registry.db" },
        { { { "TAVOX_REGISTRY", "/m.db" }, { "TAVOX_USER_REGISTRY", "/u.db" }, { "HOME", "/home/a" } },
            "/m.db",
            "/u.db" },
        { { { "TAVOX_REGISTRY", "" }, { "TAVOX_USER_REGISTRY", "" }, { "HOME", "" } },
            "/var/lib/tavox/registry.db",
            ".config/tavox/user-registry.db" },
    };
    for (const auto& c : cases) {
        const SettingsStores stores = settingsStoresFrom([&c](const char* name) -> const char* {
            const auto found = c.environment.find(name);
            return found == c.environment.end() ? nullptr : found->second.c_str();
        });
        EXPECT_EQ(stores.machine.path(), c.machine);
        EXPECT_EQ(stores.user.path(), c.user);
        EXPECT_EQ(&stores.of(RegHive::LocalMachine), &stores.machine);
        EXPECT_EQ(&stores.of(RegHive::CurrentUser), &stores.user);
        EXPECT_EQ(stores.machine.hive(), RegHive::LocalMachine) << "the machine's store gets the machine's rights";
        EXPECT_EQ(stores.user.hive(), RegHive::CurrentUser);
    }
}

} // namespace
