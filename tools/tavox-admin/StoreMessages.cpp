#include "StoreMessages.h"

#include <unistd.h>

#include <cerrno>

namespace admin {

std::string storeFailureMessage(platform::RegStatus status, const std::filesystem::path& store)
{
    switch (status) {
    case platform::RegStatus::NotFound:
        return "The system was unable to find the specified registry key or value.";
    case platform::RegStatus::AccessDenied:
        // Not even readable: the file, or a folder on its way, is closed to this user.
        if (::access(store.c_str(), R_OK) != 0 && errno == EACCES)
            return "Access is denied: this user may not open the settings store " + store.string() + ".";
        return "Access is denied: the settings store " + store.string() + " is not writable.";
    case platform::RegStatus::InvalidName:
        return "The name is not allowed: key names have at most 255 characters a level and 512 levels, value names at "
               "most 16383 characters, and no name holds a NUL character.";
    case platform::RegStatus::MoreData:
    case platform::RegStatus::InvalidHandle:
    case platform::RegStatus::Failed:
    case platform::RegStatus::Success:
        break;
    }
    return "The settings store " + store.string() + " cannot be used: it is corrupt, locked or not a settings store.";
}

} // namespace admin
