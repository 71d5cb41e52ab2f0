#pragma once

#include "support/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <string>

/// The real system calls, except that, once armed, the `occurrence`-th call of one kind ("open",
/// "write", "fsync", ...) fails with `error`, as a full disk or a failing device would make it.
class FailingSystemCalls : public support::SystemCalls {
public:
    /// Makes the `occurrence`-th call of `call` from now on fail; an empty name lets all run.
    void failAt(std::string call, int occurrence = 1, int error = EIO)
    {
        m_failing = std::move(call);
        m_occurrence = occurrence;
        m_error = error;
        m_seen.clear();
        m_failed = false;
    }
    /// Whether the armed call was reached and failed.
    bool failed() const { return m_failed; }
    /// Writes at most `bytes` a call, as a pipe or a signal may make them: writers must carry on.
    void limitWritesTo(std::size_t bytes) { m_writeLimit = bytes; }

    int open(const char* path, int flags, mode_t mode) override
    {
        return step("open") ? SystemCalls::open(path, flags, mode) : -1;
    }
    ssize_t write(int fd, const void* data, std::size_t size) override
    {
        return step("write") ? SystemCalls::write(fd, data, std::min(size, m_writeLimit)) : -1;
    }
    int stat(const char* path, struct stat* info) override { return step("stat") ? SystemCalls::stat(path, info) : -1; }
    int fchmod(int fd, mode_t mode) override { return step("fchmod") ? SystemCalls::fchmod(fd, mode) : -1; }
    int fchown(int fd, uid_t owner, gid_t group) override
    {
        return step("fchown") ? SystemCalls::fchown(fd, owner, group) : -1;
    }
    int fsync(int fd) override { return step("fsync") ? SystemCalls::fsync(fd) : -1; }
    int close(int fd) override
    {
        // A failed close still releases the descriptor, as on Linux.
        const bool ok = step("close");
        SystemCalls::close(fd);
        return ok ? 0 : -1;
    }
    int rename(const char* from, const char* to) override
    {
        return step("rename") ? SystemCalls::rename(from, to) : -1;
    }

protected:
    /// Runs before every call, to look at the files between the steps of a writer.
    virtual void beforeEachCall() {}

private:
    bool step(const std::string& name)
    {
        beforeEachCall();
        if (name != m_failing || ++m_seen[name] != m_occurrence)
            return true;
        m_failed = true;
        errno = m_error;
        return false;
    }

    std::string m_failing;
    int m_occurrence = 0;
    int m_error = EIO;
    std::map<std::string, int> m_seen;
    bool m_failed = false;
    std::size_t m_writeLimit = std::numeric_limits<std::size_t>::max();
};
