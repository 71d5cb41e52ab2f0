#include "PasswordInput.h"

#include <iostream>

#include <termios.h>
#include <unistd.h>

namespace admin {
namespace {

std::string withoutLineEnd(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

bool TerminalPasswordInput::isTerminal() const { return ::isatty(STDIN_FILENO) == 1; }

std::optional<std::string> TerminalPasswordInput::readHidden(std::string_view prompt)
{
    std::cerr << prompt << std::flush;
    termios saved {};
    const bool haveTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    auto line = readLine();
    if (haveTerminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    return line;
}

std::optional<std::string> TerminalPasswordInput::readLine()
{
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    return line;
}

support::Result<NewPassword> readNewPassword(PasswordInput& input, bool fromStdin, std::string_view prompt)
{
    if (fromStdin) {
        const auto line = input.readLine();
        if (!line)
            return support::Error::invalidInput("no password on standard input");
        const std::string password = withoutLineEnd(*line);
        return NewPassword { password, password };
    }
    if (!input.isTerminal())
        return support::Error::invalidInput(
            "standard input is not a terminal: give the password on standard input with --password-stdin");
    std::string confirm = "Confirm " + std::string(prompt) + ": ";
    if (confirm.size() > 8 && confirm[8] >= 'A' && confirm[8] <= 'Z')
        confirm[8] = static_cast<char>(confirm[8] - 'A' + 'a');
    const auto first = input.readHidden(std::string(prompt) + ": ");
    const auto second = first ? input.readHidden(confirm) : std::nullopt;
    if (!first || !second)
        return support::Error::invalidInput("no password was typed");
    return NewPassword { withoutLineEnd(*first), withoutLineEnd(*second) };
}

} // namespace admin
