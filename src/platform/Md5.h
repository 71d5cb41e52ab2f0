#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform {

using Md5Digest = std::array<std::uint8_t, 16>;

/// MD5 of a byte range through OpenSSL's EVP interface; empty when the hash cannot be made.
std::optional<Md5Digest> md5(const void* data, std::size_t size);

} // namespace platform
