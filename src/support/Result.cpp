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
    return {kind, what + ": " + std::strerror(error)};
}

} // namespace support
