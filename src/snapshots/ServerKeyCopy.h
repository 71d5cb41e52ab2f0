#pragma once

#include "platform/Registry.h"
#include "support/Result.h"

#include <filesystem>
#include <vector>

/// The server key of a settings store with its subkeys and values, byte for byte and in the
/// store's order, as the changes that create it again.
struct ServerKeyCopy {
    bool exists = false;
    /// A CreateKey change for every key (the server key first, then its subkeys depth first),
    /// each followed by a Set change for every value of that key.
    std::vector<platform::RegistryKey::Change> changes;
};

/// Reads the server key of the store file `store`; a missing store or key gives a copy that
/// does not exist.
support::Result<ServerKeyCopy> readServerKey(const std::filesystem::path& store);

/// Writes `copy` into a new settings store file `file`, which must not exist yet.
support::Result<void> writeServerKeyCopy(const std::filesystem::path& file, const ServerKeyCopy& copy);

/// Makes the server key of `store` exactly `wanted` in one transaction: every value of
/// `current` (what the store holds now) is removed, then every value of `wanted` stored, so that
/// names, types, bytes and order are those of `wanted`. A key that was created since stays, empty.
support::Result<void>
replaceServerKey(const std::filesystem::path& store, const ServerKeyCopy& current, const ServerKeyCopy& wanted);
