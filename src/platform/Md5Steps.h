#pragma once

#include "platform/Md5.h"

#include <cstddef>
#include <optional>

namespace platform {

/// The steps of an MD5 computation, so that a caller can say which one failed: getting the
/// MD5 implementation from the crypto provider, starting the hash, hashing the data, and
/// reading the hash value.
enum class Md5Step { Acquire, Create, Hash, Read };

struct Md5Outcome {
    std::optional<Md5Digest> digest; ///< empty on failure
    Md5Step failedStep = Md5Step::Acquire; ///< meaningful only on failure
};

/// MD5 of a byte range through OpenSSL's EVP interface, step by step.
Md5Outcome md5Steps(const void* data, std::size_t size);

} // namespace platform
