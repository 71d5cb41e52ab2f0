#include "users/UserOptChecks.h"

#include "users/Latin1Text.h"

namespace {

constexpr std::size_t kMaxTextLength = 31;

} // namespace

UserOptProblem
checkUserOpt(UserOptMode mode, std::u16string_view name, std::u16string_view password, std::u16string_view confirmation)
{
    if (mode == UserOptMode::ChangeAccessRight)
        return UserOptProblem::None;
    const bool adding = mode == UserOptMode::Add;
    if (adding && name == u"root")
        return UserOptProblem::NameIsRoot;
    if (adding && password.empty())
        return UserOptProblem::PasswordEmpty;
    if (adding && name.size() > kMaxTextLength)
        return UserOptProblem::NameTooLong;
    if (password.size() > kMaxTextLength)
        return UserOptProblem::PasswordTooLong;
    if (password != confirmation)
        return UserOptProblem::PasswordsDiffer;
    // Stored names and passwords hold one byte per character; anything else would be stored
    // as something other than what was typed.
    if (adding && !latin1::isStorable(name))
        return UserOptProblem::NameNotStorable;
    if (!latin1::isStorable(password))
        return UserOptProblem::PasswordNotStorable;
    return UserOptProblem::None;
}
