#pragma once

#include "support/Result.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace platform {

/// PBKDF2 with HMAC-SHA256 (OpenSSL) of `password` and `salt` over `iterations` rounds, `length`
/// bytes long. Fails with InvalidInput when an argument is out of OpenSSL's range and with
/// System when OpenSSL fails.
support::Result<std::vector<std::uint8_t>> pbkdf2Sha256(std::string_view password,
    const std::vector<std::uint8_t>& salt,
    std::uint32_t iterations,
    std::size_t length);

/// `count` bytes from OpenSSL's cryptographic random generator; fails (System) when it has none
/// to give, (InvalidInput) when `count` is beyond its range.
support::Result<std::vector<std::uint8_t>> randomBytes(std::size_t count);

} // namespace platform
