#pragma once

#include "support/Result.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

using Md5Digest = std::array<std::uint8_t, 16>;

/// MD5 of a byte range through OpenSSL's EVP interface. A failure (System) names the step of
/// the hash provider that the failing step stands for, as the server's diagnostics do:
/// "CryptAcquireContext failed" (no MD5 in the crypto provider, as under a FIPS-only
/// configuration), "CryptCreateHash failed", "CryptHashData failed" or "CryptGetHashParam failed".
support::Result<Md5Digest> md5(const void* data, std::size_t size);

} // namespace platform
