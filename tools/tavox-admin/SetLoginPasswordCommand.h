#pragma once

#include "AdminTool.h"

#include "users/LoginDigest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace admin {

/// Where a new login password comes from.
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

/// `set-login-password [--stdin]`: stores the salted digest (of `iterations` rounds) of a new
/// login password of the utility as "Setting"/"Pwd" in the per-user store `user`. The password
/// is typed twice on the terminal, or read as one line of standard input with --stdin. An
/// empty password is refused.
int setLoginPassword(Arguments args,
                     PasswordInput& input,
                     const Streams& io,
                     const platform::SettingsStore& user,
                     std::uint32_t iterations = kLoginDigestIterations);

/// The same on the process's standard input.
int runSetLoginPassword(Arguments args, const Streams& io, const platform::SettingsStores& stores);

} // namespace admin
