#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

/// A program started by a test, with its standard output (and optionally its standard
/// error) on a pipe; terminated and reaped when the object goes.
class ChildProcess {
public:
    enum class Stderr { Inherit, Capture, Discard };

    /// Starts `argv` with the test's environment and the "NAME=value" entries of `environment`
    /// (which replace variables of the same name, for the child only); standard error goes to
    /// the test's, to the pipe, or nowhere.
    explicit ChildProcess(const std::vector<std::string>& argv,
        Stderr stderrTo = Stderr::Inherit,
        const std::vector<std::string>& environment = {})
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (stderrTo == Stderr::Capture)
            posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        else if (stderrTo == Stderr::Discard)
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<std::string> variables = environment;
        for (char** entry = environ; *entry; ++entry) {
            const std::string_view name(*entry, std::strcspn(*entry, "="));
            const bool replaced = std::any_of(variables.begin(), variables.end(), [&](const std::string& v) {
                return v.size() > name.size() && v.compare(0, name.size(), name) == 0 && v[name.size()] == '=';
            });
            if (!replaced)
                variables.emplace_back(*entry);
        }
        std::vector<char*> env;
        for (std::string& v : variables)
            env.push_back(v.data());
        env.push_back(nullptr);
        if (::posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), env.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~ChildProcess()
    {
        terminate();
        if (m_out >= 0)
            ::close(m_out);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    /// The next line of output without its line end; nothing when the output ends or the
    /// time runs out first.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return line;
            }
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || m_out < 0)
                return std::nullopt;
            pollfd pfd { m_out, POLLIN, 0 };
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char chunk[512];
            const ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    /// Reads lines until one contains `text`; false when the output ends or the time runs out.
    bool waitForLine(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            const auto line = readLine(left);
            if (!line)
                return false;
            m_seen += *line + "\n";
            if (line->find(text) != std::string::npos)
                return true;
        }
        return false;
    }

    /// Every line read so far by waitForLine.
    const std::string& seen() const { return m_seen; }

    void signal(int sig) const
    {
        if (m_pid > 0)
            ::kill(m_pid, sig);
    }

    /// Waits for the process to end; its wait status, or nothing when it did not end in time.
    std::optional<int> wait(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        if (m_pid <= 0)
            return m_status;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_pid = -1;
                m_status = status;
                return status;
            }
            if (r < 0 || std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    /// SIGTERM, then SIGKILL when it does not end within five seconds.
    void terminate()
    {
        if (m_pid <= 0)
            return;
        signal(SIGTERM);
        if (!wait(std::chrono::seconds(5))) {
            signal(SIGKILL);
            wait();
        }
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffer;
    std::string m_seen;
    std::optional<int> m_status;
};

/// A dbus-daemon of its own for one test: a private bus that stands for the system bus of the
/// code handed its address.
class PrivateBus {
public:
    PrivateBus()
        // Quiet: as root it complains that it cannot raise its file limit.
        : m_daemon({ "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1" },
            ChildProcess::Stderr::Discard)
    {
        if (const auto address = m_daemon.readLine())
            m_address = *address;
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool ready() const { return !m_address.empty(); }
    const std::string& address() const { return m_address; }

private:
    ChildProcess m_daemon;
    std::string m_address;
};
