#include "support/SystemCalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace support {

int SystemCalls::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

ssize_t SystemCalls::read(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }

ssize_t SystemCalls::write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

int SystemCalls::fstat(int fd, struct stat* info) { return ::fstat(fd, info); }

int SystemCalls::stat(const char* path, struct stat* info) { return ::stat(path, info); }

int SystemCalls::fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }

int SystemCalls::fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }

int SystemCalls::fsync(int fd) { return ::fsync(fd); }

int SystemCalls::close(int fd) { return ::close(fd); }

int SystemCalls::rename(const char* from, const char* to) { return std::rename(from, to); }

int SystemCalls::unlink(const char* path) { return ::unlink(path); }

SystemCalls& realSystemCalls()
{
    static SystemCalls calls;
    return calls;
}

} // namespace support
