#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {
class SettingsStore;
} // namespace platform

namespace tavoxserver {

/// A user of the table with the rights the Users page shows for it.
struct ServerUser {
    std::string name; ///< UTF-8
    std::string digest; ///< the stored digest: 32 hexadecimal digits, after the digit substitution
    bool read = false;
    bool write = false;
    bool execute = false;
};

/// The users the server accepts, as the Users page stores them ("UsrAuth", "RootAuth").
struct ServerUsers {
    std::vector<ServerUser> users;
    std::optional<std::string> rootDigest; ///< empty when no root password is stored
    std::vector<std::string> warnings; ///< one per stored entry that cannot be used, naming no digest
};

/// Reads the user table and the root digest of the machine store. A slot whose name fills the
/// whole field (no terminator) or whose digest is not 32 hexadecimal digits is skipped with a
/// warning: nobody could log on with it.
ServerUsers readServerUsers(const platform::SettingsStore& machine);

} // namespace tavoxserver
