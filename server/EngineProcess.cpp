#include "EngineProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace tavoxserver {
namespace {

constexpr std::string_view kCutMark = " [line cut]";

// Where `cmake --install` puts the engine; the build defines it.
#ifndef TAVOX_ENGINE_DIR
#define TAVOX_ENGINE_DIR "/usr/libexec/tavox-server/engine"
#endif

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A write that reports a reader gone as EPIPE instead of ending the daemon with SIGPIPE.
ssize_t writeWithoutSigpipe(int fd, const char* data, std::size_t size)
{
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const ssize_t written = ::write(fd, data, size);
    const int error = errno;
    if (written < 0 && error == EPIPE && !sigismember(&previous, SIGPIPE)) {
        const timespec now {};
        while (sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {}
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

// The daemon's environment without what only the daemon may use.
std::vector<std::string> engineEnvironment()
{
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "NOTIFY_SOCKET=", 14) != 0)
            variables.emplace_back(*entry);
    }
    return variables;
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

EngineCommand EngineCommand::fromEnvironment()
{
    EngineCommand command;
    if (const char* node = std::getenv("TAVOX_NODE"); node && *node)
        command.node = node;
    const char* folder = std::getenv("TAVOX_ENGINE");
    command.folder = folder && *folder ? folder : TAVOX_ENGINE_DIR;
    return command;
}

EngineProcess::~EngineProcess()
{
    if (isRunning()) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {}
    }
    closeAll();
}

support::Result<void> EngineProcess::spawn(const EngineCommand& command)
{
    const std::string script = command.script().string();
    struct stat info {};
    if (::stat(script.c_str(), &info) != 0)
        return support::Error::fromErrno(errno, "the engine is not there: " + script);
    if (!S_ISREG(info.st_mode))
        return support::Error { support::ErrorKind::NotRegularFile,
            "the engine is not there: " + script + " is not a file" };

    std::array<int, 2> input { -1, -1 };
    std::array<int, 2> output { -1, -1 };
    std::array<int, 2> log { -1, -1 };
    const auto closePipes = [&] {
        for (auto* pipe : { &input, &output, &log }) {
            closeFd((*pipe)[0]);
            closeFd((*pipe)[1]);
        }
    };
    if (::pipe2(input.data(), O_CLOEXEC) != 0 || ::pipe2(output.data(), O_CLOEXEC) != 0
        || ::pipe2(log.data(), O_CLOEXEC) != 0) {
        const int error = errno;
        closePipes();
        return support::Error::fromErrno(error, "cannot make the engine's pipes");
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, log[1], STDERR_FILENO);
    // The daemon blocks the signals it takes through its signal descriptor; the engine must
    // see them. Its own process group keeps a terminal's Ctrl+C for the daemon to forward.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int number : { SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD })
        sigaddset(&defaults, number);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<std::string> variables = engineEnvironment();
    std::vector<char*> environment;
    for (std::string& variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    std::string node = command.node;
    std::string scriptArgument = script;
    char* arguments[] = { node.data(), scriptArgument.data(), nullptr };

    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, node.c_str(), &actions, &attributes, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeFd(input[0]);
    closeFd(output[1]);
    closeFd(log[1]);
    if (spawned != 0) {
        closePipes();
        return support::Error::fromErrno(spawned, "cannot run the engine with " + command.node);
    }

    // The C library's wrapper lacks C linkage in its header here; the call itself is plain.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd < 0 || !setNonBlocking(input[1]) || !setNonBlocking(output[0]) || !setNonBlocking(log[0])) {
        const int error = errno;
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        if (pidFd >= 0)
            ::close(pidFd);
        closePipes();
        return support::Error::fromErrno(error, "cannot watch the engine");
    }
    closeAll();
    m_pid = pid;
    m_pidFd = pidFd;
    m_input = input[1];
    m_output = output[0];
    m_log = log[0];
    m_pendingInput.clear();
    m_outputLines = {};
    m_logLines = {};
    m_waitStatus.reset();
    return {};
}

void EngineProcess::send(std::string_view line)
{
    if (m_input < 0)
        return;
    m_pendingInput.append(line);
    if (line.empty() || line.back() != '\n')
        m_pendingInput.push_back('\n');
}

void EngineProcess::addPollFds(std::vector<pollfd>& fds) const
{
    if (!isRunning())
        return;
    fds.push_back({ m_pidFd, POLLIN, 0 });
    for (int fd : { m_output, m_log })
        if (fd >= 0)
            fds.push_back({ fd, POLLIN, 0 });
    if (m_input >= 0 && !m_pendingInput.empty())
        fds.push_back({ m_input, POLLOUT, 0 });
}

EngineProcess::Lines EngineProcess::pump()
{
    Lines lines;
    if (!isRunning())
        return lines;
    writeInput();
    read(m_output, m_outputLines, lines.output);
    read(m_log, m_logLines, lines.log);
    pollfd ended { m_pidFd, POLLIN, 0 };
    if (::poll(&ended, 1, 0) > 0)
        reap(lines);
    return lines;
}

void EngineProcess::signal(int signal) const
{
    if (isRunning())
        ::kill(m_pid, signal);
}

void EngineProcess::writeInput()
{
    while (m_input >= 0 && !m_pendingInput.empty()) {
        const ssize_t written = writeWithoutSigpipe(m_input, m_pendingInput.data(), m_pendingInput.size());
        if (written > 0) {
            m_pendingInput.erase(0, static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && (errno == EINTR))
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // The engine no longer reads: what it was to be told is moot.
        m_pendingInput.clear();
        closeFd(m_input);
    }
}

void EngineProcess::read(int& fd, LineBuffer& buffer, std::vector<std::string>& lines)
{
    char chunk[16384];
    while (fd >= 0) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0) {
            buffer.feed(std::string_view(chunk, static_cast<std::size_t>(got)), lines);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        } else {
            buffer.finish(lines);
            closeFd(fd);
        }
    }
}

void EngineProcess::reap(Lines& lines)
{
    int status = 0;
    pid_t reaped;
    while ((reaped = ::waitpid(m_pid, &status, WNOHANG)) < 0 && errno == EINTR) {}
    if (reaped != m_pid)
        return;
    // What it wrote before it ended is in the pipes; a process it left behind is not heard.
    read(m_output, m_outputLines, lines.output);
    read(m_log, m_logLines, lines.log);
    m_outputLines.finish(lines.output);
    m_logLines.finish(lines.log);
    m_waitStatus = status;
    closeAll();
}

void EngineProcess::closeAll()
{
    closeFd(m_pidFd);
    closeFd(m_input);
    closeFd(m_output);
    closeFd(m_log);
}

void EngineProcess::LineBuffer::feed(std::string_view data, std::vector<std::string>& lines)
{
    while (!data.empty()) {
        const std::size_t end = data.find('\n');
        const std::string_view piece = data.substr(0, end);
        if (!m_cut) {
            const std::size_t room = kMaxLine - m_partial.size();
            if (piece.size() > room) {
                // The rest of an over-long line is dropped up to its end.
                m_partial.append(piece.substr(0, room));
                lines.push_back(std::move(m_partial) + std::string(kCutMark));
                m_partial.clear();
                m_cut = true;
            } else {
                m_partial.append(piece);
            }
        }
        if (end == std::string_view::npos)
            return;
        if (!m_cut)
            lines.push_back(std::move(m_partial));
        m_partial.clear();
        m_cut = false;
        data.remove_prefix(end + 1);
    }
}

void EngineProcess::LineBuffer::finish(std::vector<std::string>& lines)
{
    if (!m_cut && !m_partial.empty())
        lines.push_back(std::move(m_partial));
    m_partial.clear();
    m_cut = false;
}

std::string describeWaitStatus(int status)
{
    if (WIFEXITED(status))
        return "ended with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "was killed by signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) + ")";
    return "ended";
}

} // namespace tavoxserver
