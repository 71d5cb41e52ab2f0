#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

/// PBKDF2 with HMAC-SHA256 (OpenSSL) of `password` and `salt` over `iterations` rounds, `length`
/// bytes long; nothing when OpenSSL fails or an argument is out of its range.
std::optional<std::vector<std::uint8_t>> pbkdf2Sha256(std::string_view password,
    const std::vector<std::uint8_t>& salt,
    std::uint32_t iterations,
    std::size_t length);

/// `count` bytes from OpenSSL's cryptographic random generator; nothing when it has none to give.
std::optional<std::vector<std::uint8_t>> randomBytes(std::size_t count);

} // namespace platform
