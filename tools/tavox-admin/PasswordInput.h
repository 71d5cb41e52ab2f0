#pragma once

#include "AdminTool.h"

#include <optional>
#include <string>
#include <string_view>

namespace admin {

/// Where a password comes from. Passwords are never arguments: they are typed on the terminal
/// without echo, or given as one line of standard input.
class PasswordInput {
public:
    virtual ~PasswordInput() = default;
    /// Standard input is a terminal, so the password can be asked for without echo.
    virtual bool isTerminal() const = 0;
    /// Shows `prompt` and reads one line without echoing it; none at the end of the input.
    virtual std::optional<std::string> readHidden(std::string_view prompt) = 0;
    /// Reads one line of standard input as it is; none at the end of the input.
    virtual std::optional<std::string> readLine() = 0;
};

/// The process's standard input, with the prompts on standard error.
class TerminalPasswordInput final : public PasswordInput {
public:
    bool isTerminal() const override;
    std::optional<std::string> readHidden(std::string_view prompt) override;
    std::optional<std::string> readLine() override;
};

/// A new password with its confirmation, as a dialog takes them.
struct NewPassword {
    std::string password;
    std::string confirmation;
};

/// Reads a new password: once from standard input (a line, its line end dropped) when
/// `fromStdin`, else typed twice on the terminal after "<prompt>: " and "Confirm <prompt>: "
/// ("New password for alice" asks "Confirm new password for alice: "). The two
/// typed texts are handed back as they are, so that the caller's checks compare them. Fails
/// when standard input is not a terminal (without `fromStdin`) or the input ends.
support::Result<NewPassword> readNewPassword(PasswordInput& input, bool fromStdin, std::string_view prompt);

} // namespace admin
