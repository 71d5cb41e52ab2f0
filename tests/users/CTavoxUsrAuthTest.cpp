#include "users/CTavoxUsrAuth.h"

#include "support/DebugOutput.h"
#include "testing/ServerKeyStore.h"
#include "users/UserTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr const char* kMd5Steps[] = { "CryptAcquireContext", "CryptCreateHash", "CryptHashData", "CryptGetHashParam" };
template <int Step> support::Result<platform::Md5Digest> failingAt(const void*, std::size_t)
{
    return support::Error { support::ErrorKind::System, std::string(kMd5Steps[Step]) + " failed" };
}

// For the cases that never open a store.
const platform::SettingsStore kNoStore("/nonexistent/tavox-test/registry.db", platform::RegHive::LocalMachine);

std::string text(const std::optional<std::vector<std::uint8_t>>& bytes)
{
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(missing)";
}

TEST(CTavoxUsrAuthTest, DigestIsMd5HexThroughTheDigitTable)
{
    const CTavoxUsrAuth store(kNoStore);
    const struct {
        std::string password, md5, stored;
    } cases[] = {
        { "", "d41d8cd98f00b204e9800998ecf8427e", "d90d1cd41f77b379e4177441ecf1938e" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72", "477027416cd39fb7d5456f8d31e08f83" },
        { "\xE9t\xE9", "70b06e3087350c8c4fc3f13e741879f3", "87b75e6718627c1c9fc6f06e890184f6" },
        { std::string(31, 'a'), "3b0845db57c200be6052466f87b2198a", "6b7192db28c377be5723955f18b3041a" },
    };
    for (const auto& c : cases) {
        char buffer[CTavoxUsrAuth::kDigestBufferSize] = {};
        c.password.copy(buffer, 32);
        ASSERT_TRUE(store.EncryptMd5(buffer, buffer)) << "the output may be the input";
        EXPECT_EQ(std::string(buffer), c.md5);
        ASSERT_TRUE(CTavoxUsrAuth::SubstituteDigits(buffer));
        EXPECT_EQ(std::string(buffer), c.stored);
    }
    char digits[] = "0123456789abcdef";
    ASSERT_TRUE(CTavoxUsrAuth::SubstituteDigits(digits));
    EXPECT_STREQ(digits, "7036925814abcdef");
}

// A user "operator" with every right in slot 3 of an otherwise empty table.
TEST(CTavoxUsrAuthTest, SavedTableHasTheServersByteLayout)
{
    ServerKeyStore server;
    const CTavoxUsrAuth store(server.machineStore());
    UserTable users(store);
    users.place(2, *users.makeEntry(u"operator", u"abc", rightsFrom(true, true, true)));
    ASSERT_TRUE(users.save());

    std::vector<std::uint8_t> expected(2816, 0);
    for (std::uint8_t slot = 0; slot < 32; ++slot)
        expected[88u * slot + 80] = static_cast<std::uint8_t>(slot + 1);
    std::memcpy(&expected[176], "operator", 8);
    std::memcpy(&expected[208], "477027416cd39fb7d5456f8d31e08f83", 32);
    expected[260] = 0x0F;
    expected[261] = 0x02;
    EXPECT_EQ(server.raw("UsrAuth"), expected);
}

TEST(CTavoxUsrAuthTest, ReadCopiesAtMostOneTableOverWhatIsHeld)
{
    for (const auto& [storedSize, copied] :
        { std::pair<std::size_t, std::size_t> { 0, 0 }, { 100, 100 }, { 2816, 2816 }, { 3000, 2816 } }) {
        ServerKeyStore server;
        const CTavoxUsrAuth store(server.machineStore());
        if (storedSize)
            server.set("UsrAuth", platform::kRegBinary, std::vector<std::uint8_t>(storedSize, 0x41));
        UsrAuthTable table;
        std::memset(table.data(), 0x7E, sizeof(table));
        store.GetAllUserAuth(table);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(table.data());
        for (std::size_t i = 0; i < kUsrAuthBytes; ++i)
            ASSERT_EQ(bytes[i], i < copied ? 0x41 : 0x7E) << storedSize << " stored, byte " << i;
    }
}

TEST(CTavoxUsrAuthTest, FailuresStoreNothingAndWriteTheirLines)
{
    ServerKeyStore server;
    ASSERT_TRUE(CTavoxUsrAuth(server.machineStore()).SetRootAuth(u"\u00E9t\u00E9"));
    EXPECT_EQ(text(server.raw("RootAuth")), "87b75e6718627c1c9fc6f06e890184f6") << "32 bytes, no terminator";
    server.set("UsrAuth", platform::kRegBinary, std::vector<std::uint8_t>(88, 0x41));

    support::ScopedDebugCapture debug;
    EXPECT_FALSE(CTavoxUsrAuth(server.machineStore()).SetRootAuth(u"\u0391")) << "beyond one byte per character";
    EXPECT_FALSE(CTavoxUsrAuth(server.machineStore(), &failingAt<2>).SetRootAuth(u"abc"));
    for (const CTavoxUsrAuth::Md5Function failing : { &failingAt<0>, &failingAt<1>, &failingAt<2>, &failingAt<3> }) {
        char out[CTavoxUsrAuth::kDigestBufferSize] = "unchanged";
        EXPECT_FALSE(CTavoxUsrAuth(server.machineStore(), failing).EncryptMd5("abc", out));
        EXPECT_STREQ(out, "unchanged");
    }

    server.makeReadOnly();
    const CTavoxUsrAuth store(server.machineStore());
    UsrAuthTable table;
    std::memset(table.data(), 0x7E, sizeof(table));
    store.GetAllUserAuth(table);
    EXPECT_EQ(std::memcmp(table.data(), UsrAuthTable {}.data(), sizeof(table)), 0) << "the table is emptied";
    EXPECT_FALSE(store.SetAllUserAuth(table));
    EXPECT_FALSE(store.SetRootAuth(u"pw"));
    EXPECT_EQ(debug.text(),
        "TavoxUsrAuth: SetRootAuth failed. The password has characters beyond U+00FF.\n"
        "CTavoxUsrAuth: EncryptMd5: CryptHashData failed.\n"
        "CTavoxUsrAuth: EncryptMd5: CryptAcquireContext failed.\n"
        "CTavoxUsrAuth: EncryptMd5: CryptCreateHash failed.\n"
        "CTavoxUsrAuth: EncryptMd5: CryptHashData failed.\n"
        "CTavoxUsrAuth: EncryptMd5: CryptGetHashParam failed.\n"
        "TavoxUsrAuth: GetAllUserAuth: RegOpenKeyEx failed.\n"
        "TavoxUsrAuth: SetAllUserAuth: RegOpenKeyEx failed.\n"
        "TavoxUsrAuth: SetRootAuth: RegOpenKeyEx failed.\n");
    EXPECT_EQ(text(server.raw("RootAuth")), "87b75e6718627c1c9fc6f06e890184f6");
    EXPECT_EQ(server.raw("UsrAuth"), std::vector<std::uint8_t>(88, 0x41));
}

} // namespace
