#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace support {

/// The file system calls of the file helpers, one virtual function each with the call's own
/// arguments, results and errno, so that a test can make any step fail.
class SystemCalls {
public:
    virtual ~SystemCalls() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t read(int fd, void* buffer, std::size_t size);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int fstat(int fd, struct stat* info);
    virtual int stat(const char* path, struct stat* info);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
};

/// The calls as the system makes them.
SystemCalls& realSystemCalls();

} // namespace support
