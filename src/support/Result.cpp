#include "support/Result.h"

#include <cerrno>
#include <cstring>

namespace support {

Error Error::fromErrno(int error, const std::string& what)
{
    ErrorKind kind = ErrorKind::System;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        kind = ErrorKind::NotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        kind = ErrorKind::AccessDenied;
        break;
    case EISDIR:
        kind = ErrorKind::NotRegularFile;
        break;
    case EFBIG:
        kind = ErrorKind::TooLarge;
        break;
    case EADDRINUSE:
    case EBUSY:
        kind = ErrorKind::InUse;
        break;
    default:
        break;
    }
    return { kind, what + ": " + std::strerror(error) };
}

std::string Error::sentence() const
{
    std::string text = message;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}

} // namespace support
