#include "users/CTavoxUsrAuth.h"

#include "platform/DebugOutput.h"
#include "platform/Registry.h"
#include "support/ServerKeyStore.h"
#include "users/UserTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::optional<platform::Md5Digest> failingMd5(const void*, std::size_t) { return std::nullopt; }

std::string digestOf(const CTavoxUsrAuth& store, const std::string& password)
{
    char out[CTavoxUsrAuth::kDigestBufferSize];
    EXPECT_TRUE(store.MakeDigest(password.c_str(), out));
    return out;
}

TEST(CTavoxUsrAuthTest, DigestIsMd5HexThroughTheDigitTable)
{
    const CTavoxUsrAuth store;
    const struct {
        std::string password;
        std::string md5;
        std::string stored;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e", "d90d1cd41f77b379e4177441ecf1938e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72", "477027416cd39fb7d5456f8d31e08f83"},
        {"secret", "5ebe2294ecd0e0f08eab7690d2a6ee69", "2ebe3349ecd7e7f71eab8547d3a5ee54"},
        {"\xE9t\xE9", "70b06e3087350c8c4fc3f13e741879f3", "87b75e6718627c1c9fc6f06e890184f6"},
        {std::string(31, 'a'), "3b0845db57c200be6052466f87b2198a", "6b7192db28c377be5723955f18b3041a"},
    };
    for (const auto& c : cases) {
        char out[CTavoxUsrAuth::kDigestBufferSize];
        std::memset(out, 'x', sizeof(out));
        ASSERT_TRUE(store.EncryptMd5(c.password.c_str(), out)) << c.password;
        EXPECT_EQ(std::string(out), c.md5) << c.password;
        EXPECT_EQ(digestOf(store, c.password), c.stored) << c.password;
    }
}

TEST(CTavoxUsrAuthTest, DigitTableIsAPermutationAndLeavesOtherCharacters)
{
    char digits[] = "0123456789abcdefXYZ";
    ASSERT_TRUE(CTavoxUsrAuth::SubstituteDigits(digits));
    EXPECT_STREQ(digits, "7036925814abcdefXYZ");
    EXPECT_FALSE(CTavoxUsrAuth::SubstituteDigits(nullptr));
}

TEST(CTavoxUsrAuthTest, EncryptMd5MayWriteOverItsInput)
{
    const CTavoxUsrAuth store;
    char buffer[CTavoxUsrAuth::kDigestBufferSize] = "abc";
    ASSERT_TRUE(store.EncryptMd5(buffer, buffer));
    EXPECT_STREQ(buffer, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(CTavoxUsrAuthTest, FailedHashLeavesOutputAndStoreAlone)
{
    ServerKeyStore server;
    const CTavoxUsrAuth store(&failingMd5);
    platform::ScopedDebugCapture debug;
    char out[CTavoxUsrAuth::kDigestBufferSize] = "unchanged";
    EXPECT_FALSE(store.EncryptMd5("abc", out));
    EXPECT_STREQ(out, "unchanged");
    EXPECT_EQ(debug.text(), "CTavoxUsrAuth: EncryptMd5: CryptHashData failed.\n");

    EXPECT_FALSE(store.SetRootAuth(u"pw"));
    EXPECT_FALSE(server.raw("RootAuth").has_value());
}

// A user "operator" with every right in slot 3 of an otherwise empty table.
TEST(CTavoxUsrAuthTest, SavedTableHasTheServersByteLayout)
{
    ServerKeyStore server;
    const CTavoxUsrAuth store;
    UserTable users(store);
    const auto entry = users.makeEntry(u"operator", u"secret", rightsFrom(true, true, true));
    ASSERT_TRUE(entry);
    users.place(2, *entry);
    ASSERT_TRUE(users.save());

    std::uint32_t type = 0;
    const auto bytes = server.raw("UsrAuth", &type);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(type, platform::kRegBinary);
    ASSERT_EQ(bytes->size(), 2816u);

    std::vector<std::uint8_t> expected(2816, 0);
    for (std::uint8_t slot = 0; slot < 32; ++slot)
        expected[88u * slot + 80] = static_cast<std::uint8_t>(slot + 1);
    const std::string name = "operator";
    std::copy(name.begin(), name.end(), expected.begin() + 176);
    const std::string digest = "2ebe3349ecd7e7f71eab8547d3a5ee54";
    std::copy(digest.begin(), digest.end(), expected.begin() + 208);
    expected[260] = 0x0F;
    expected[261] = 0x02;
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ((*bytes)[i], expected[i]) << "byte " << i;
}

TEST(CTavoxUsrAuthTest, ReadCopiesAtMostOneTableOverWhatIsHeld)
{
    const CTavoxUsrAuth store;
    const struct {
        const char* what;
        std::size_t storedSize; // 0: no value
        std::size_t expectNewBytes;
    } cases[] = {
        {"no value", 0, 0},
        {"one entry", 88, 88},
        {"part of an entry", 100, 100},
        {"whole table", 2816, 2816},
        {"longer than a table", 3000, 2816},
    };
    for (const auto& c : cases) {
        ServerKeyStore server;
        if (c.storedSize) {
            const std::vector<std::uint8_t> stored(c.storedSize, 0x41);
            server.setRaw("UsrAuth", platform::kRegBinary, stored.data(), stored.size());
        }
        UsrAuthTable table;
        std::memset(table.data(), 0x7E, sizeof(table));
        store.GetAllUserAuth(table);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(table.data());
        for (std::size_t i = 0; i < kUsrAuthBytes; ++i)
            ASSERT_EQ(bytes[i], i < c.expectNewBytes ? 0x41 : 0x7E) << c.what << ", byte " << i;
    }
}

TEST(CTavoxUsrAuthTest, WithoutWriteAccessEveryOperationFailsWithItsLine)
{
    ServerKeyStore server;
    const std::vector<std::uint8_t> before(88, 0x41);
    server.setRaw("UsrAuth", platform::kRegBinary, before.data(), before.size());
    server.makeReadOnly();
    const CTavoxUsrAuth store;
    platform::ScopedDebugCapture debug;

    UsrAuthTable table;
    std::memset(table.data(), 0x7E, sizeof(table));
    store.GetAllUserAuth(table);
    EXPECT_EQ(std::memcmp(table.data(), UsrAuthTable {}.data(), sizeof(table)), 0) << "table is zeroed";
    EXPECT_FALSE(store.SetAllUserAuth(table));
    EXPECT_FALSE(store.SetRootAuth(u"pw"));
    EXPECT_EQ(debug.text(),
              "TavoxUsrAuth: GetAllUserAuth: RegOpenKeyEx failed.\n"
              "TavoxUsrAuth: SetAllUserAuth: RegOpenKeyEx failed.\n"
              "TavoxUsrAuth: SetRootAuth: RegOpenKeyEx failed.\n");
    EXPECT_EQ(server.raw("UsrAuth"), before);
}

TEST(CTavoxUsrAuthTest, RootDigestIsStoredWithoutTerminator)
{
    ServerKeyStore server;
    const CTavoxUsrAuth store;
    const struct {
        std::u16string password;
        std::string stored;
    } cases[] = {
        {u"secret", "2ebe3349ecd7e7f71eab8547d3a5ee54"},
        {u"", "d90d1cd41f77b379e4177441ecf1938e"},
        {u"\u00E9t\u00E9", "87b75e6718627c1c9fc6f06e890184f6"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(store.SetRootAuth(c.password));
        std::uint32_t type = 0;
        const auto bytes = server.raw("RootAuth", &type);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(type, platform::kRegBinary);
        EXPECT_EQ(std::string(bytes->begin(), bytes->end()), c.stored);
    }

    platform::ScopedDebugCapture debug;
    EXPECT_FALSE(store.SetRootAuth(u"\u0391\u0392"));
    const auto kept = server.raw("RootAuth");
    ASSERT_TRUE(kept);
    EXPECT_EQ(std::string(kept->begin(), kept->end()), "87b75e6718627c1c9fc6f06e890184f6");
    EXPECT_TRUE(debug.contains("TavoxUsrAuth: SetRootAuth failed."));
}

} // namespace
