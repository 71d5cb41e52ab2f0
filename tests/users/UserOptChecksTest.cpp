#include "users/UserOptChecks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Mode = UserOptMode;
using Problem = UserOptProblem;

TEST(UserOptChecksTest, ChecksApplyByModeInTheirOrder)
{
    const std::u16string n31(31, u'n'), n32(32, u'n'), p31(31, u'p'), p32(32, u'p');
    const struct {
        Mode mode;
        std::u16string name, password, confirmation;
        Problem expected;
    } cases[] = {
        {Mode::Add, u"root", u"", u"x", Problem::NameIsRoot},
        {Mode::Add, u"Root", u"pw", u"pw", Problem::None},
        {Mode::Add, n32, u"", u"", Problem::PasswordEmpty},
        {Mode::Add, n32, p32, u"", Problem::NameTooLong},
        {Mode::Add, n31, p32, u"", Problem::PasswordTooLong},
        {Mode::Add, n31, p31, u"", Problem::PasswordsDiffer},
        {Mode::Add, n31, p31, p31, Problem::None},
        {Mode::Add, u"", u"pw", u"pw", Problem::None},
        {Mode::Add, u"\u0416", u"\u20AC", u"x", Problem::PasswordsDiffer},
        {Mode::Add, u"\u0416", u"\u20AC", u"\u20AC", Problem::NameNotStorable},
        {Mode::Add, u"J\u00F6rg", u"\u20AC", u"\u20AC", Problem::PasswordNotStorable},
        {Mode::Add, u"J\u00F6rg", u"\u00FF", u"\u00FF", Problem::None},
        {Mode::RootPassword, u"root", u"", u"", Problem::None},
        {Mode::RootPassword, u"root", p32, p32, Problem::PasswordTooLong},
        {Mode::RootPassword, u"root", u"a", u"A", Problem::PasswordsDiffer},
        {Mode::RootPassword, u"root", u"\u20AC", u"\u20AC", Problem::PasswordNotStorable},
        {Mode::ChangePassword, n32, u"", u"", Problem::None},
        {Mode::ChangePassword, u"\u0416", u"pw", u"pw", Problem::None},
        {Mode::ChangePassword, u"root", p32, p32, Problem::PasswordTooLong},
        {Mode::ChangePassword, u"u", u"pw", u"pW", Problem::PasswordsDiffer},
        {Mode::ChangeAccessRight, u"root", p32, u"", Problem::None},
    };
    int line = 0;
    for (const auto& c : cases) {
        ++line;
        EXPECT_EQ(checkUserOpt(c.mode, c.name, c.password, c.confirmation), c.expected) << "case " << line;
    }
}

} // namespace
