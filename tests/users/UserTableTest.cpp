#include "users/UserTable.h"

#include "platform/SettingsStore.h"
#include "users/CTavoxUsrAuth.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The cases never open a store.
const platform::SettingsStore kNoStore("/nonexistent/tavox-test/registry.db", platform::RegHive::LocalMachine);

support::Result<platform::Md5Digest> failingMd5(const void*, std::size_t) { return support::Error {}; }

TEST(UserTableTest, RowsListUsedSlotsWithRightsByTheirMasks)
{
    const CTavoxUsrAuth store(kNoStore);
    UserTable users(store);
    const struct {
        std::size_t slot;
        std::uint32_t rights;
        bool read, write, executable;
    } cases[] = {
        { 1, 0x20F, true, true, true },
        { 4, 0x204, false, true, true },
        { 5, 0x00B, true, false, false },
        { 9, 0x004, false, false, true },
        { 30, 0x203, false, false, false },
    };
    for (const auto& c : cases)
        users.place(c.slot, *users.makeEntry(u"u", u"", c.rights));
    UsrAuthEntry unterminated {};
    std::memset(&unterminated, 'n', 80);
    users.place(31, unterminated);

    const std::vector<UserRow> rows = users.rows();
    ASSERT_EQ(rows.size(), 6u);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(rows[i].number, (std::u16string { u'0', static_cast<char16_t>(u'1' + i) }));
        EXPECT_EQ(rows[i].slot, cases[i].slot);
        EXPECT_EQ(rows[i].read, cases[i].read) << std::hex << cases[i].rights;
        EXPECT_EQ(rows[i].write, cases[i].write) << std::hex << cases[i].rights;
        EXPECT_EQ(rows[i].executable, cases[i].executable) << std::hex << cases[i].rights;
    }
    EXPECT_EQ(rows[5].name, std::u16string(32, u'n')) << "a name without NUL ends with its field";
}

TEST(UserTableTest, EntriesHoldOneBytePerCharacter)
{
    const CTavoxUsrAuth store(kNoStore);
    UserTable users(store);
    const auto longest = users.makeEntry(std::u16string(30, u'n') + u"\u00E9", u"abc", kRightWrite);
    ASSERT_TRUE(longest);
    EXPECT_EQ(std::string(longest->name, 32), std::string(30, 'n') + "\xE9" + '\0');
    EXPECT_EQ(std::string(longest->password, 48), "477027416cd39fb7d5456f8d31e08f83" + std::string(16, '\0'));
    EXPECT_FALSE(users.makeEntry(u"\u0416", u"pw", 0));
    EXPECT_FALSE(users.makeEntry(u"a", u"\u20AC", 0));
    EXPECT_FALSE(UserTable(CTavoxUsrAuth(kNoStore, &failingMd5)).makeEntry(u"a", u"pw", 0));

    users.place(0, *longest);
    EXPECT_FALSE(users.changePassword(0, u"\u20AC"));
    EXPECT_STREQ(users.entry(0).password, "477027416cd39fb7d5456f8d31e08f83") << "a failed change keeps the digest";
}

} // namespace
