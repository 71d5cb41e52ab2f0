#include "users/LoginDigest.h"

#include "config/UserProfile.h"
#include "support/TempStores.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(LoginDigestTest, HashesTheFirstLengthBytesOfTheUtf16Text)
{
    struct Case {
        std::u16string password;
        const char* digest;
    };
    const Case cases[] = {
        {u"", "d41d8cd98f00b204e9800998ecf8427e"},         // no bytes at all
        {u"a", "0cc175b9c0f1b6a831c399e269772661"},        // "a"
        {u"ab", "4144e195f46de78a3623da7364d04f11"},       // "a", 0
        {u"abcd", "aa3a791e273bce9cf4a2a7caa9028b36"},     // "a", 0, "b", 0
        {u"abXY", "aa3a791e273bce9cf4a2a7caa9028b36"},     // the same bytes: interchangeable
        {u"secret", "2c0d7ee4567f7e08bfd9175b516a183c"},   // "s", 0, "e", 0, "c", 0
        {u"tavox", "ce266a4e7d811e376d8a347aa2c50d08"},    // odd length ends inside a character
        {u"\u00e9", "3406877694691ddd1dfb0aca54681407"},   // low byte of U+00E9 only
        {u"\u00fc\u20ac", "ea7ab2b5c07650badab30790d0c9b63e"}, // U+00FC, nothing of the euro sign
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeLoginDigest(c.password), c.digest) << std::string(c.password.begin(), c.password.end());
}

TEST(LoginDigestTest, MatchesExactlyAndCaseSensitively)
{
    const std::string digest = MakeLoginDigest(u"secret");
    std::string upper = digest;
    for (char& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    struct Case {
        std::string expected;
        std::u16string typed;
        bool matches;
    };
    const Case cases[] = {
        {digest, u"secret", true},
        {digest, u"Secret", false},
        {upper, u"secret", false},
        {"", u"", false},  // an empty stored digest opens nothing
        {std::string(kDefaultLoginDigest), u"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoginDigestMatches(c.expected, c.typed), c.matches) << c.expected;
}

TEST(LoginDigestTest, ReadsTheStoredDigestOrTheDefault)
{
    TempDir dir;
    TempStores stores(dir);
    const UserProfile profile = UserProfile::utility(stores.userStore());
    EXPECT_EQ(ReadLoginDigest(profile), kDefaultLoginDigest);

    ASSERT_TRUE(profile.writeString("Setting", "Pwd", u""));
    EXPECT_EQ(ReadLoginDigest(profile), "") << "an existing empty entry is not replaced by the default";

    ASSERT_TRUE(WriteLoginDigest(profile, MakeLoginDigest(u"secret")));
    EXPECT_EQ(ReadLoginDigest(profile), MakeLoginDigest(u"secret"));
    EXPECT_FALSE(WriteLoginDigest(profile, ""));
    EXPECT_EQ(ReadLoginDigest(profile), MakeLoginDigest(u"secret"));
}

TEST(LoginDigestTest, ChangeChecksOldThenConfirmationAndStoresOnlyOnSuccess)
{
    TempDir dir;
    TempStores stores(dir);
    const UserProfile profile = UserProfile::utility(stores.userStore());
    ASSERT_TRUE(WriteLoginDigest(profile, MakeLoginDigest(u"old")));
    const std::string stored = ReadLoginDigest(profile);

    struct Case {
        std::u16string oldPassword, newPassword, confirmation;
        LoginPasswordChange result;
    };
    const Case refused[] = {
        {u"wrong", u"new", u"new", LoginPasswordChange::WrongOldPassword},
        {u"wrong", u"new", u"other", LoginPasswordChange::WrongOldPassword}, // the old password is checked first
        {u"old", u"new", u"New", LoginPasswordChange::NotConfirmed},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(ChangeLoginPassword(profile, stored, c.oldPassword, c.newPassword, c.confirmation), c.result);
        EXPECT_EQ(ReadLoginDigest(profile), stored);
    }

    EXPECT_EQ(ChangeLoginPassword(profile, stored, u"old", u"", u""), LoginPasswordChange::Changed);
    EXPECT_EQ(ReadLoginDigest(profile), "d41d8cd98f00b204e9800998ecf8427e") << "an empty password is accepted";

    std::filesystem::permissions(stores.user(), std::filesystem::perms::owner_read);
    EXPECT_EQ(ChangeLoginPassword(profile, ReadLoginDigest(profile), u"", u"x", u"x"), LoginPasswordChange::NotStored);
}

} // namespace
