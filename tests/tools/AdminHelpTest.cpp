// The command table is the one source of --help, the manual page and the bash completion.
#include "AdminHarness.h"

#include "tavox-admin/CommandHelp.h"

#include "testing/TempDir.h"
#include "testing/TempStores.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace admin;

namespace {

class AdminHelpTest : public ::testing::Test {
protected:
    TempDir m_dir;
    TempStores m_stores { m_dir };
    AdminHarness m_admin { m_stores.stores() };
};

TEST_F(AdminHelpTest, EveryCommandHasItsHelpInEveryForm)
{
    const AdminOutcome overview = m_admin.run({ "--help" });
    const AdminOutcome man = m_admin.run({ "--man" });
    const AdminOutcome completion = m_admin.run({ "--bash-completion" });
    for (const Subcommand& command : subcommands()) {
        const std::string name(command.name);
        ASSERT_NE(command.family, nullptr) << name;
        EXPECT_NE(overview.out.find("\n  " + name + " "), std::string::npos) << name;
        const AdminOutcome help = m_admin.run({ name, "--help" });
        EXPECT_EQ(help.code, kExitSuccess) << name;
        for (const CommandForm& form : command.family->forms) {
            const std::string usage = synopsis(name, form);
            EXPECT_NE(help.out.find("  tavox-admin " + usage + "\n"), std::string::npos) << name;
            EXPECT_EQ(usage.substr(0, name.size() + 1), name + " ") << "a synopsis starts with its command";
        }
        std::string roffName;
        for (char c : name)
            roffName += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(man.out.find(".SS " + roffName + "\n"), std::string::npos) << name;
        EXPECT_NE(completion.out.find(" " + name), std::string::npos) << name;
    }
    EXPECT_EQ(m_admin.run({ "--version" }).out.rfind("tavox-admin (Tavox Utility, Version ", 0), 0u);
}

TEST_F(AdminHelpTest, TheCompletionOffersFormsOptionsAndValuesFromTheTable)
{
    const std::filesystem::path script = m_dir / "tavox-admin.bash";
    std::ofstream(script) << m_admin.run({ "--bash-completion" }).out;
    // Completes a command line in a shell that has sourced the script; one word per line.
    const auto complete = [&](const std::string& line) {
        const std::filesystem::path out = m_dir / "out.txt";
        const std::string command = "bash -c 'source \"" + script.string() + "\"; COMP_WORDS=(" + line
            + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tavox_admin; printf \"%s\\n\" \"${COMPREPLY[@]}\"' > \""
            + out.string() + "\"";
        EXPECT_EQ(std::system(command.c_str()), 0) << line;
        std::ifstream in(out);
        std::string words, word;
        while (std::getline(in, word))
            words += (words.empty() ? "" : " ") + word;
        return words;
    };
    EXPECT_EQ(complete("tavox-admin end"), "endpoints");
    EXPECT_EQ(complete("tavox-admin endpoints \"\""), "set show --help");
    EXPECT_EQ(complete("tavox-admin endpoints set --h"), "--help --https --https-port");
    EXPECT_EQ(complete("tavox-admin endpoints set --https \"\""), "on off");
    EXPECT_EQ(complete("tavox-admin service \"\""), "restart start stop --help");
    EXPECT_EQ(complete("tavox-admin users add bob --r"), "--replace --rights");
}

TEST_F(AdminHelpTest, TheManualPageIsCleanRoff)
{
    const std::string man = m_admin.run({ "--man" }).out;
    EXPECT_EQ(man.rfind(".\\\" ", 0), 0u);
    EXPECT_NE(man.find(".TH TAVOX-ADMIN 8 "), std::string::npos);
    EXPECT_NE(man.find(".B tavox\\-admin endpoints set [\\-\\-port N]"), std::string::npos);
    // No line may start with a character that roff would take for a request by mistake.
    std::size_t start = 0;
    while (start < man.size()) {
        const std::size_t end = man.find('\n', start);
        const std::string line = man.substr(start, end - start);
        if (!line.empty() && line[0] == '\'')
            ADD_FAILURE() << line;
        start = end == std::string::npos ? man.size() : end + 1;
    }
}

} // namespace
