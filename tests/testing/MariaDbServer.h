#pragma once

#include "support/AtomicFile.h"
#include "testing/ChildProcess.h"
#include "testing/TempDir.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

/// A MariaDB server of a test's own (Debian's mariadb-server): a data directory made by
/// mariadb-install-db in a temporary folder, mariadbd on a free loopback port and a socket of
/// its own, stopped when the object goes. Debian's MariaDB ODBC driver (odbc-mariadb) is
/// registered under kDriverName, beside two decoys that the ODBC page must not offer, in the
/// odbcinst.ini of the folder that ODBCSYSINI names. The test's environment names that folder
/// (CTest sets it for the test programs that use this server; a test never sets it itself, as
/// setting the environment while other threads read it is undefined). Set up before the
/// process makes its first ODBC call: the driver manager reads ODBCSYSINI and its files once.
///
/// When something is missing, ready() is false and problem() says what, so that the test
/// fails with that message.
class MariaDbServer {
public:
    /// Contains "MySQL" and "ODBC", so the ODBC page offers it for MySQL.
    static constexpr const char* kDriverName = "MariaDB MySQL ODBC Test Driver";
    /// Excluded by name.
    static constexpr const char* kExcludedDriver = "MySQL ODBC 8.0 Unicode Driver";
    /// Lacks "ODBC".
    static constexpr const char* kNameWithoutOdbc = "MySQL Native Test Driver";

    MariaDbServer() { m_problem = setUp(); }
    ~MariaDbServer() { stop(); }
    MariaDbServer(const MariaDbServer&) = delete;
    MariaDbServer& operator=(const MariaDbServer&) = delete;

    bool ready() const { return m_problem.empty(); }
    const std::string& problem() const { return m_problem; }
    std::uint16_t port() const { return m_port; }
    std::string portText() const { return std::to_string(m_port); }
    /// What a program started by the test needs to find the driver, for ChildProcess.
    std::vector<std::string> environment() const { return { "ODBCSYSINI=" + m_odbcDir.string() }; }

    /// Starts mariadbd on the server's port and waits until it takes connections.
    bool start()
    {
        if (m_server)
            return true;
        const std::string socket = (m_dir / "mysqld.sock").string();
        std::vector<std::string> argv = { m_mariadbd,
            "--no-defaults",
            "--datadir=" + m_data.string(),
            "--socket=" + socket,
            "--port=" + std::to_string(m_port),
            "--bind-address=127.0.0.1",
            "--pid-file=" + (m_dir / "mysqld.pid").string(),
            "--log-error=" + (m_dir / "error.log").string(),
            "--skip-name-resolve",
            "--skip-log-bin",
            "--innodb-buffer-pool-size=16M",
            "--innodb-log-file-size=4M",
            "--tmpdir=" + m_tmp.string() };
        // Tests run as root in CI; mariadbd refuses that unless told whom to run as.
        if (const std::string user = currentUser(); ::geteuid() == 0)
            argv.push_back("--user=" + user);
        m_server = std::make_unique<ChildProcess>(argv, ChildProcess::Stderr::Discard);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (takesConnections())
                return true;
            if (const auto ended = m_server->wait(std::chrono::milliseconds(100))) {
                m_server.reset();
                m_problem = "mariadbd ended at start: " + tail(m_dir / "error.log");
                return false;
            }
        }
        m_problem = "mariadbd did not take connections within a minute: " + tail(m_dir / "error.log");
        return false;
    }

    /// Stops mariadbd and waits until it has ended.
    void stop()
    {
        if (!m_server)
            return;
        m_server->signal(SIGTERM);
        if (!m_server->wait(std::chrono::seconds(60)))
            m_server->terminate();
        m_server.reset();
    }

    bool isRunning() const { return m_server != nullptr; }

    /// A loopback port that nothing listens on at the moment.
    static std::uint16_t freeLoopbackPort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        std::uint16_t port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        ::close(fd);
        return port;
    }

    /// Runs statements as the server's root user over its socket; the client's output on
    /// failure, empty on success.
    std::string sql(const std::string& statements) const
    {
        std::vector<std::string> output;
        if (runClient({ "--batch", "-e", statements }, output))
            return {};
        std::string text;
        for (const std::string& line : output)
            text += line + "\n";
        return text.empty() ? std::string("mariadb client failed") : text;
    }

    /// The rows of a query run the same way, each as its columns joined by tabs; one row
    /// "query failed: ..." when it fails.
    std::vector<std::string> rows(const std::string& query) const
    {
        std::vector<std::string> output;
        if (runClient({ "--batch", "--skip-column-names", "--raw", "-e", query }, output))
            return output;
        std::string text = "query failed:";
        for (const std::string& line : output)
            text += " " + line;
        return { text };
    }

private:
    /// Runs the client as root over the socket with `arguments`; its lines, and whether it succeeded.
    bool runClient(const std::vector<std::string>& arguments, std::vector<std::string>& output) const
    {
        std::vector<std::string> argv
            = { m_client, "--no-defaults", "--socket=" + (m_dir / "mysqld.sock").string(), "--user=root" };
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ChildProcess client(argv, ChildProcess::Stderr::Capture);
        while (const auto line = client.readLine(std::chrono::seconds(30)))
            output.push_back(*line);
        const auto status = client.wait(std::chrono::seconds(30));
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    }

    std::string setUp()
    {
        m_mariadbd = findProgram("mariadbd", { "/usr/sbin", "/usr/bin" });
        const std::string installDb = findProgram("mariadb-install-db", { "/usr/bin", "/usr/sbin" });
        m_client = findProgram("mariadb", { "/usr/bin" });
        if (m_mariadbd.empty() || installDb.empty() || m_client.empty())
            return "the MariaDB server is not installed (Debian package mariadb-server; "
                   "scripts/install-deps.sh installs it)";
        const std::string driver = mariaDbOdbcDriver();
        if (driver.empty())
            return "the MariaDB ODBC driver is not installed (Debian package odbc-mariadb; "
                   "scripts/install-deps.sh installs it)";
        if (std::string problem = registerDrivers(driver); !problem.empty())
            return problem;

        std::error_code ec;
        std::filesystem::create_directories(m_tmp, ec);
        std::vector<std::string> install = { installDb,
            "--no-defaults",
            "--datadir=" + m_data.string(),
            "--auth-root-authentication-method=normal",
            "--skip-test-db",
            "--skip-name-resolve",
            "--innodb-log-file-size=4M",
            "--innodb-buffer-pool-size=16M",
            "--skip-log-bin",
            // A temporary folder of its own: servers of tests that run at once share no file names.
            "--tmpdir=" + m_tmp.string() };
        if (::geteuid() == 0)
            install.push_back("--user=" + currentUser());
        ChildProcess installer(install, ChildProcess::Stderr::Capture);
        std::string output;
        while (const auto line = installer.readLine(std::chrono::seconds(120)))
            output += *line + "\n";
        const auto status = installer.wait(std::chrono::seconds(120));
        if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0)
            return "mariadb-install-db failed: " + output;

        // Another test may take the port between the look and the bind; a new one is tried.
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_port = freeLoopbackPort();
            m_problem.clear();
            if (start())
                return {};
        }
        return m_problem;
    }

    /// Writes the drivers into the folder ODBCSYSINI names; what went wrong, or nothing. Test
    /// programs running at the same time may share the folder: each writes the same content,
    /// whole.
    std::string registerDrivers(const std::string& library)
    {
        const char* folder = std::getenv("ODBCSYSINI");
        if (!folder || !*folder)
            return "ODBCSYSINI names no folder for the test's ODBC drivers (run the test through ctest, "
                   "which sets it)";
        m_odbcDir = folder;
        std::error_code ec;
        std::filesystem::create_directories(m_odbcDir, ec);
        std::string drivers;
        for (const char* name : { kExcludedDriver, kDriverName, kNameWithoutOdbc })
            drivers.append("[")
                .append(name)
                .append("]\nDescription=")
                .append(name)
                .append("\nDriver=")
                .append(library)
                .append("\n\n");
        for (const auto& [file, content] :
            { std::pair { "odbcinst.ini", drivers }, std::pair { "odbc.ini", std::string() } }) {
            if (const auto written = support::writeFileAtomically(m_odbcDir / file, content); !written)
                return written.error().message;
        }
        return {};
    }

    bool takesConnections() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_port);
        const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return connected;
    }

    static std::string findProgram(const std::string& name, const std::vector<std::string>& dirs)
    {
        for (const std::string& dir : dirs) {
            const std::filesystem::path path = std::filesystem::path(dir) / name;
            if (::access(path.c_str(), X_OK) == 0)
                return path.string();
        }
        return {};
    }

    /// The driver library that the package odbc-mariadb installed.
    static std::string mariaDbOdbcDriver()
    {
        ChildProcess dpkg({ "dpkg", "-L", "odbc-mariadb" }, ChildProcess::Stderr::Discard);
        std::string found;
        while (const auto line = dpkg.readLine(std::chrono::seconds(30))) {
            if (line->size() > 12 && line->ends_with("/libmaodbc.so") && ::access(line->c_str(), R_OK) == 0)
                found = *line;
        }
        dpkg.wait();
        return found;
    }

    static std::string currentUser()
    {
        const passwd* entry = ::getpwuid(::geteuid());
        return entry ? entry->pw_name : "root";
    }

    static std::string tail(const std::filesystem::path& file)
    {
        std::ifstream in(file);
        std::string line;
        std::vector<std::string> lines;
        while (std::getline(in, line))
            lines.push_back(line);
        std::string text;
        for (std::size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i)
            text += lines[i] + "\n";
        return text;
    }

    TempDir m_dir;
    std::filesystem::path m_data = m_dir / "data";
    std::filesystem::path m_tmp = m_dir / "tmp";
    std::string m_mariadbd;
    std::string m_client;
    std::uint16_t m_port = 0;
    std::unique_ptr<ChildProcess> m_server;
    std::string m_problem;
    std::filesystem::path m_odbcDir;
};
