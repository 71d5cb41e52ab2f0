#include "users/LoginDigest.h"

#include "config/UserProfile.h"
#include "testing/TempStores.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

namespace {

// Few rounds: the tests check the form and the matching, not the cost.
constexpr std::uint32_t kFewRounds = 1000;

TEST(LoginDigestTest, HashesTheFirstLengthBytesOfTheUtf16Text)
{
    struct Case {
        std::u16string password;
        const char* digest;
    };
    const Case cases[] = {
        { u"", "d41d8cd98f00b204e9800998ecf8427e" }, // no bytes at all
        { u"a", "0cc175b9c0f1b6a831c399e269772661" }, // "a"
        { u"ab", "4144e195f46de78a3623da7364d04f11" }, // "a", 0
        { u"abcd", "aa3a791e273bce9cf4a2a7caa9028b36" }, // "a", 0, "b", 0
        { u"abXY", "aa3a791e273bce9cf4a2a7caa9028b36" }, // the same bytes: interchangeable
        { u"secret", "2c0d7ee4567f7e08bfd9175b516a183c" }, // "s", 0, "e", 0, "c", 0
        { u"tavox", "ce266a4e7d811e376d8a347aa2c50d08" }, // odd length ends inside a character
        { u"\u00e9", "3406877694691ddd1dfb0aca54681407" }, // low byte of U+00E9 only
        { u"\u00fc\u20ac", "ea7ab2b5c07650badab30790d0c9b63e" }, // U+00FC, nothing of the euro sign
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeLoginDigest(c.password), c.digest) << std::string(c.password.begin(), c.password.end());
}

TEST(LoginDigestTest, SaltedDigestsCoverTheWholePassword)
{
    const std::u16string password = u"abcdefghijkl";
    const std::string digest = makeSaltedLoginDigest(password, kFewRounds);
    EXPECT_TRUE(std::regex_match(digest, std::regex("pbkdf2-sha256\\$1000\\$[0-9a-f]{32}\\$[0-9a-f]{64}"))) << digest;
    EXPECT_TRUE(isSaltedLoginDigest(digest));
    EXPECT_TRUE(loginDigestMatches(digest, password));
    // The old digest took only the first half of the characters: "abcdefXXXXXX" opened too.
    EXPECT_EQ(MakeLoginDigest(u"abcdefXXXXXX"), MakeLoginDigest(password));
    EXPECT_FALSE(loginDigestMatches(digest, u"abcdefXXXXXX"));
    for (std::size_t i = 0; i < password.size(); ++i) {
        std::u16string changed = password;
        changed[i] = u'X';
        EXPECT_FALSE(loginDigestMatches(digest, changed)) << i;
    }
    for (const std::u16string other : { u"abcdefghijk", u"abcdefghijklm", u"", u"ABCDEFGHIJKL" })
        EXPECT_FALSE(loginDigestMatches(digest, other));
    EXPECT_NE(makeSaltedLoginDigest(password, kFewRounds), digest) << "every digest has its own salt";
    EXPECT_TRUE(loginDigestMatches(makeSaltedLoginDigest(u"", kFewRounds), u""));
    EXPECT_TRUE(loginDigestMatches(makeSaltedLoginDigest(u"gr\u00fc\u00dfe \u20ac", 1), u"gr\u00fc\u00dfe \u20ac"));
    EXPECT_EQ(makeSaltedLoginDigest(password, 0), "");
    EXPECT_EQ(makeSaltedLoginDigest(password, kMaxLoginDigestIterations + 1), "");
}

TEST(LoginDigestTest, MalformedSaltedDigestsNeverMatch)
{
    const std::string good = makeSaltedLoginDigest(u"pw", 2);
    ASSERT_TRUE(loginDigestMatches(good, u"pw"));
    const std::string salt = good.substr(good.find('$', 14) + 1, 32);
    const std::string hash = good.substr(good.rfind('$') + 1);
    std::string upper = hash;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string cases[] = {
        "pbkdf2-sha256$2$" + salt, // no hash
        "pbkdf2-sha256$$" + salt + "$" + hash, // no rounds
        "pbkdf2-sha256$02$" + salt + "$" + hash, // a leading zero
        "pbkdf2-sha256$0$" + salt + "$" + hash, // no rounds at all
        "pbkdf2-sha256$-2$" + salt + "$" + hash,
        "pbkdf2-sha256$2x$" + salt + "$" + hash,
        "pbkdf2-sha256$99999999999$" + salt + "$" + hash, // beyond any count
        "pbkdf2-sha256$2$" + salt + "$" + upper, // digits as written, lowercase
        "pbkdf2-sha256$2$" + salt + "$" + hash.substr(2),
        "pbkdf2-sha256$2$" + salt + "$" + hash + "00",
        "pbkdf2-sha256$2$$" + hash, // no salt
        "pbkdf2-sha256$2$" + salt.substr(1) + "$" + hash,
        "pbkdf2-sha256$2$" + salt + "$" + hash + "$",
        "pbkdf2-sha1$2$" + salt + "$" + hash,
        "pbkdf2-sha256$3$" + salt + "$" + hash, // another count gives another hash
    };
    for (const std::string& digest : cases)
        EXPECT_FALSE(loginDigestMatches(digest, u"pw")) << digest;
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
        { digest, u"secret", true },
        { digest, u"Secret", false },
        { upper, u"secret", false },
        { "", u"", false }, // an empty stored digest opens nothing
        { std::string(kDefaultLoginDigest), u"", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(loginDigestMatches(c.expected, c.typed), c.matches) << c.expected;
}

TEST(LoginDigestTest, ReadsTheStoredDigestOrTheDefault)
{
    TempDir dir;
    TempStores stores(dir);
    const UserProfile profile = UserProfile::utility(stores.userStore());
    EXPECT_EQ(readLoginDigest(profile), kDefaultLoginDigest);

    ASSERT_TRUE(profile.writeString("Setting", "Pwd", u""));
    EXPECT_EQ(readLoginDigest(profile), "") << "an existing empty entry is not replaced by the default";

    ASSERT_TRUE(writeLoginDigest(profile, MakeLoginDigest(u"secret")));
    EXPECT_EQ(readLoginDigest(profile), MakeLoginDigest(u"secret"));
    EXPECT_FALSE(writeLoginDigest(profile, ""));
    EXPECT_EQ(readLoginDigest(profile), MakeLoginDigest(u"secret"));
}

TEST(LoginDigestTest, ChangeChecksOldThenConfirmationAndStoresOnlyOnSuccess)
{
    TempDir dir;
    TempStores stores(dir);
    const UserProfile profile = UserProfile::utility(stores.userStore());
    ASSERT_TRUE(writeLoginDigest(profile, MakeLoginDigest(u"old")));
    const std::string stored = readLoginDigest(profile);

    struct Case {
        std::u16string oldPassword, newPassword, confirmation;
        LoginPasswordChange result;
    };
    const Case refused[] = {
        { u"wrong", u"new", u"new", LoginPasswordChange::WrongOldPassword },
        { u"wrong", u"new", u"other", LoginPasswordChange::WrongOldPassword }, // the old password is checked first
        { u"old", u"new", u"New", LoginPasswordChange::NotConfirmed },
    };
    for (const Case& c : refused) {
        EXPECT_EQ(changeLoginPassword(profile, stored, c.oldPassword, c.newPassword, c.confirmation), c.result);
        EXPECT_EQ(readLoginDigest(profile), stored);
    }

    EXPECT_EQ(changeLoginPassword(profile, stored, u"old", u"", u"", kFewRounds), LoginPasswordChange::Changed);
    const std::string empty = readLoginDigest(profile);
    EXPECT_TRUE(isSaltedLoginDigest(empty)) << empty;
    EXPECT_TRUE(loginDigestMatches(empty, u"")) << "an empty password is accepted";

    std::filesystem::permissions(stores.user(), std::filesystem::perms::owner_read);
    EXPECT_EQ(changeLoginPassword(profile, empty, u"", u"x", u"x", kFewRounds), LoginPasswordChange::NotStored);
}

TEST(LoginDigestTest, AnOldDigestOpensOnceTheOldWayAndIsStoredSaltedThen)
{
    TempDir dir;
    TempStores stores(dir);
    const UserProfile profile = UserProfile::utility(stores.userStore());
    ASSERT_TRUE(writeLoginDigest(profile, MakeLoginDigest(u"abcdefghijkl")));
    const std::string old = readLoginDigest(profile);

    // A refused login changes nothing.
    EXPECT_FALSE(checkLoginPassword(profile, old, u"Xbcdefghijkl", kFewRounds));
    EXPECT_EQ(readLoginDigest(profile), old);

    EXPECT_TRUE(checkLoginPassword(profile, old, u"abcdefghijkl", kFewRounds));
    const std::string salted = readLoginDigest(profile);
    EXPECT_TRUE(salted.starts_with("pbkdf2-sha256$1000$")) << salted;
    EXPECT_TRUE(checkLoginPassword(profile, salted, u"abcdefghijkl", kFewRounds));
    EXPECT_EQ(readLoginDigest(profile), salted) << "a salted digest stays as it is";
    EXPECT_FALSE(checkLoginPassword(profile, salted, u"abcdefXXXXXX", kFewRounds));

    // Without a stored digest the default one applies, and stays the default.
    TempDir other;
    TempStores fresh(other);
    const UserProfile freshProfile = UserProfile::utility(fresh.userStore());
    const std::string standIn = MakeLoginDigest(u"default");
    EXPECT_TRUE(checkLoginPassword(freshProfile, standIn, u"default", kFewRounds));
    EXPECT_EQ(readLoginDigest(freshProfile), kDefaultLoginDigest);
    EXPECT_FALSE(std::filesystem::exists(fresh.user())) << "nothing is written";
}

} // namespace
