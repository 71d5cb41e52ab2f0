#include "users/UserOptChecks.h"

#include "users/Latin1Text.h"

namespace {

constexpr std::size_t kMaxTextLength = 31;

std::string_view problemText(UserOptProblem problem)
{
    switch (problem) {
    case UserOptProblem::NameIsRoot:
        return "User name can't be 'root'. Please change your name.";
    case UserOptProblem::PasswordEmpty:
        return "Password can't be empty. Please input your password.";
    case UserOptProblem::NameTooLong:
        return "User name is too long. Please input your name again.";
    case UserOptProblem::PasswordTooLong:
        return "Password is too long. Please input your password again.";
    case UserOptProblem::PasswordsDiffer:
        return "Password is not the same. Please confirm it again.";
    case UserOptProblem::NameNotStorable:
        return "User name can only contain Western European (Latin-1) characters. Please input your name again.";
    case UserOptProblem::PasswordNotStorable:
        return "Password can only contain Western European (Latin-1) characters. Please input your password again.";
    case UserOptProblem::None:
        break;
    }
    return {};
}

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

UserMessage userOptMessage(UserOptProblem problem)
{
    if (problem == UserOptProblem::None)
        return {};
    return { std::string(problemText(problem)), "Warning" };
}
