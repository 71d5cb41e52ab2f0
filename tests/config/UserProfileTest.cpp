#include "config/UserProfile.h"

#include "testing/TempStores.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(UserProfileTest, WritesCreateTheSectionAndReadsFallBack)
{
    TempDir dir;
    TempStores stores(dir);
    const UserProfile profile = UserProfile::utility(stores.userStore());
    EXPECT_EQ(profile.getString("Setting", "Pwd", u"default"), u"default");
    ASSERT_TRUE(profile.writeString("Setting", "Pwd", u"0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(profile.getString("setting", "PWD", u"default"), u"0123456789abcdef0123456789abcdef");
    EXPECT_EQ(profile.getString("Setting", "Other", u""), u"");

    std::filesystem::permissions(stores.user(), std::filesystem::perms::owner_read);
    EXPECT_FALSE(profile.writeString("Setting", "Pwd", u"x"));
    EXPECT_EQ(profile.getString("Setting", "Pwd", u""), u"0123456789abcdef0123456789abcdef");
}

} // namespace
