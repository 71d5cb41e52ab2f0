#include "tavox-admin/SetLoginPasswordCommand.h"

#include "config/UserProfile.h"
#include "testing/TempStores.h"
#include "users/LoginDigest.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>

using namespace admin;

namespace {

constexpr std::uint32_t kFewRounds = 1000;

class ScriptedInput final : public PasswordInput {
public:
    ScriptedInput(bool terminal, std::deque<std::string> lines)
        : m_terminal(terminal)
        , m_lines(std::move(lines))
    {
    }
    bool isTerminal() const override { return m_terminal; }
    std::optional<std::string> readHidden(std::string_view prompt) override
    {
        prompts.emplace_back(prompt);
        return readLine();
    }
    std::optional<std::string> readLine() override
    {
        if (m_lines.empty())
            return std::nullopt;
        std::string line = m_lines.front();
        m_lines.pop_front();
        return line;
    }
    std::vector<std::string> prompts;

private:
    bool m_terminal;
    std::deque<std::string> m_lines;
};

TEST(SetLoginPasswordTest, StoresTheDigestOfAConfirmedPasswordOnly)
{
    struct Case {
        const char* what;
        std::vector<std::string> args;
        bool terminal;
        std::deque<std::string> lines;
        int code;
        std::u16string stored; // empty: nothing stored
    };
    const Case cases[] = {
        { "typed twice", {}, true, { "s3cret", "s3cret" }, kExitSuccess, u"s3cret" },
        { "typed differently", {}, true, { "s3cret", "s3creT" }, kExitFailure, u"" },
        { "input ends", {}, true, { "s3cret" }, kExitFailure, u"" },
        { "not a terminal", {}, false, { "s3cret", "s3cret" }, kExitUsage, u"" },
        { "standard input", { "--stdin" }, false, { "from a pipe\r" }, kExitSuccess, u"from a pipe" },
        { "UTF-8 text",
            { "--stdin" },
            false,
            { "gr\xC3\xBC\xC3\x9F"
              "e" },
            kExitSuccess,
            u"gr\u00FC\u00DFe" },
        { "empty line", { "--stdin" }, false, { "" }, kExitFailure, u"" },
        { "no input", { "--stdin" }, false, {}, kExitFailure, u"" },
        { "unknown option", { "--echo" }, true, {}, kExitUsage, u"" },
    };
    for (const Case& c : cases) {
        TempDir dir;
        TempStores stores(dir);
        ScriptedInput input(c.terminal, c.lines);
        std::ostringstream out, err;
        EXPECT_EQ(setLoginPassword(c.args, input, { out, err }, stores.userStore(), kFewRounds), c.code)
            << c.what << ": " << err.str();
        const std::string stored = readLoginDigest(UserProfile::utility(stores.userStore()));
        if (c.stored.empty()) {
            EXPECT_EQ(stored, kDefaultLoginDigest) << c.what;
            EXPECT_NE(err.str().find("ERROR: "), std::string::npos) << c.what;
        } else {
            EXPECT_TRUE(stored.starts_with("pbkdf2-sha256$1000$")) << c.what << ": " << stored;
            EXPECT_TRUE(loginDigestMatches(stored, c.stored)) << c.what;
        }
    }
}

TEST(SetLoginPasswordTest, AsksTwiceWithoutEchoOnATerminal)
{
    TempDir dir;
    TempStores stores(dir);
    ScriptedInput input(true, { "pw", "pw" });
    std::ostringstream out, err;
    EXPECT_EQ(setLoginPassword({}, input, { out, err }, stores.userStore(), kFewRounds), kExitSuccess);
    EXPECT_EQ(input.prompts, (std::vector<std::string> { "New login password: ", "Confirm login password: " }));
    EXPECT_NE(out.str().find(stores.user().string()), std::string::npos) << out.str();
}

TEST(SetLoginPasswordTest, AStoredPasswordOpensWithNothingButItself)
{
    TempDir dir;
    TempStores stores(dir);
    ScriptedInput input(false, { "abcdefghijkl" });
    std::ostringstream out, err;
    const std::vector<std::string> args = { "--stdin" };
    ASSERT_EQ(setLoginPassword(args, input, { out, err }, stores.userStore(), kFewRounds), kExitSuccess) << err.str();
    const std::string stored = readLoginDigest(UserProfile::utility(stores.userStore()));
    EXPECT_TRUE(loginDigestMatches(stored, u"abcdefghijkl"));
    EXPECT_FALSE(loginDigestMatches(stored, u"abcdefXXXXXX")) << "the half of a password opened the utility";
    EXPECT_EQ(std::filesystem::status(stores.user()).permissions(),
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
        << "nobody else reads the digest";
}

} // namespace
