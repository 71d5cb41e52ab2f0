#pragma once

#include "AdminTool.h"
#include "PasswordInput.h"

#include "users/LoginDigest.h"

#include <cstdint>

namespace admin {

/// `set-login-password [--stdin]`: stores the salted digest (of `iterations` rounds) of a new
/// login password of the utility as "Setting"/"Pwd" in the per-user store `user`. The password
/// is typed twice on the terminal, or read as one line of standard input with --stdin. An
/// empty password is refused.
int setLoginPassword(Arguments args,
    PasswordInput& input,
    const Streams& io,
    const platform::SettingsStore& user,
    std::uint32_t iterations = kLoginDigestIterations);

} // namespace admin
