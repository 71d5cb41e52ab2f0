#include "users/UserTable.h"

#include "support/ServerKeyStore.h"
#include "users/CTavoxUsrAuth.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::optional<platform::Md5Digest> failingMd5(const void*, std::size_t) { return std::nullopt; }

UsrAuthEntry named(const std::string& name, std::uint32_t rights = 0)
{
    UsrAuthEntry e {};
    std::memcpy(e.name, name.data(), std::min<std::size_t>(name.size(), 31));
    e.rights = rights;
    return e;
}

TEST(UserTableTest, RowsShowRightsByTheirMasks)
{
    const struct {
        std::uint32_t rights;
        bool read, write, executable;
    } cases[] = {
        {0x20F, true, true, true},
        {0x204, false, true, true},
        {0x00B, true, false, false},
        {0x004, false, false, true},
        {0x200, false, false, false},
        {0x003, false, false, false},
        {0x000, false, false, false},
    };
    const CTavoxUsrAuth store;
    for (const auto& c : cases) {
        UserTable users(store);
        users.place(0, named("u", c.rights));
        const auto rows = users.rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].read, c.read) << std::hex << c.rights;
        EXPECT_EQ(rows[0].write, c.write) << std::hex << c.rights;
        EXPECT_EQ(rows[0].executable, c.executable) << std::hex << c.rights;
    }
}

TEST(UserTableTest, RowsSkipFreeSlotsAndNumberFromOne)
{
    const CTavoxUsrAuth store;
    UserTable users(store);
    for (std::size_t slot : {1u, 4u, 5u, 31u})
        users.place(slot, named("user" + std::to_string(slot)));
    UsrAuthEntry noTerminator {};
    std::memset(noTerminator.name, 'n', sizeof(noTerminator.name));
    std::memset(noTerminator.password, 'p', sizeof(noTerminator.password));
    users.place(9, noTerminator);

    const auto rows = users.rows();
    ASSERT_EQ(rows.size(), 5u);
    const std::pair<std::size_t, std::u16string> expected[] = {
        {1, u"01"}, {4, u"02"}, {5, u"03"}, {9, u"04"}, {31, u"05"}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].slot, expected[i].first);
        EXPECT_EQ(rows[i].number, expected[i].second);
    }
    EXPECT_EQ(rows[3].name, std::u16string(32, u'n')) << "a name without NUL ends at its field";
    EXPECT_EQ(users.userCount(), 5u);
}

TEST(UserTableTest, AddTargetIsTheSameNameElseTheFirstFreeSlot)
{
    const CTavoxUsrAuth store;
    UserTable users(store);
    users.place(0, named("alice"));
    users.place(2, named("root"));
    users.place(3, named("bob"));
    const struct {
        std::string name;
        std::size_t slot;
        bool replaces;
    } cases[] = {
        {"bob", 3, true},
        {"alice", 0, true},
        {"Bob", 1, false},
        {"bob ", 1, false},
        {"", 1, false},
    };
    for (const auto& c : cases) {
        const auto target = users.findAddTarget(c.name);
        ASSERT_TRUE(target) << c.name;
        EXPECT_EQ(target->slot, c.slot) << c.name;
        EXPECT_EQ(target->replacesUser, c.replaces) << c.name;
    }

    for (std::size_t slot = 0; slot < kUsrAuthSlots; ++slot)
        users.place(slot, named("u" + std::to_string(slot)));
    EXPECT_FALSE(users.findAddTarget("new")) << "a full table has no room";
    EXPECT_EQ(users.findAddTarget("u7")->slot, 7u);
}

TEST(UserTableTest, NewEntriesHoldNameDigestAndRights)
{
    const CTavoxUsrAuth store;
    const UserTable users(store);

    const auto longest = users.makeEntry(std::u16string(31, u'n'), u"secret", kRightWrite);
    ASSERT_TRUE(longest);
    EXPECT_EQ(std::string(longest->name, 31), std::string(31, 'n'));
    EXPECT_EQ(longest->name[31], '\0');
    EXPECT_STREQ(longest->password, "2ebe3349ecd7e7f71eab8547d3a5ee54");
    EXPECT_EQ(std::string(longest->password + 32, 16), std::string(16, '\0'));
    EXPECT_EQ(longest->rights, 0x204u);
    EXPECT_EQ(longest->index, 0u);

    const auto latin = users.makeEntry(u"Jos\u00E9", u"", 0);
    ASSERT_TRUE(latin);
    EXPECT_STREQ(latin->name, "Jos\xE9");
    EXPECT_STREQ(latin->password, "d90d1cd41f77b379e4177441ecf1938e");

    EXPECT_FALSE(users.makeEntry(u"\u0416", u"pw", 0)) << "a name beyond one byte per character";
    EXPECT_FALSE(users.makeEntry(u"a", u"\u20AC", 0)) << "a password beyond one byte per character";
    const CTavoxUsrAuth broken(&failingMd5);
    EXPECT_FALSE(UserTable(broken).makeEntry(u"a", u"pw", 0));
}

TEST(UserTableTest, FailedPasswordChangeKeepsTheOldDigest)
{
    const CTavoxUsrAuth store;
    UserTable users(store);
    users.place(0, *users.makeEntry(u"alice", u"abc", kRightRead));
    ASSERT_TRUE(users.changePassword(0, u"secret"));
    EXPECT_STREQ(users.entry(0).password, "2ebe3349ecd7e7f71eab8547d3a5ee54");
    EXPECT_FALSE(users.changePassword(0, u"\u20AC"));
    EXPECT_STREQ(users.entry(0).password, "2ebe3349ecd7e7f71eab8547d3a5ee54");
    users.changeRights(0, kRightExecutable);
    EXPECT_EQ(users.entry(0).rights, kRightExecutable);

    const CTavoxUsrAuth broken(&failingMd5);
    UserTable brokenUsers(broken);
    brokenUsers.place(0, users.entry(0));
    EXPECT_FALSE(brokenUsers.changePassword(0, u"other"));
    EXPECT_STREQ(brokenUsers.entry(0).password, "2ebe3349ecd7e7f71eab8547d3a5ee54");
}

} // namespace
