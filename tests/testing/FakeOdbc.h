#pragma once

#include "platform/Odbc.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

/// A driver manager for tests: a list of installed drivers, scripted browse replies, and one
/// "server" that a test can take down and bring back. It records every connection string it
/// is given. Safe to use from a second thread.
class FakeOdbc final : public platform::OdbcDriverManager {
public:
    std::vector<std::u16string> drivers;
    /// The reply of every SQLBrowseConnect.
    platform::OdbcBrowseReply browseReply;
    /// The rows of every statement while the server is up.
    std::vector<std::u16string> rows { u"history", u"mysql" };
    std::atomic<bool> serverUp { true };
    std::atomic<bool> environmentFails { false };
    /// Open environments and connections right now.
    std::atomic<int> environments { 0 };
    std::atomic<int> connections { 0 };

    std::vector<std::u16string> connectionStrings() const
    {
        std::lock_guard lock(m_mutex);
        return m_connectionStrings;
    }

    std::vector<std::u16string> installedDrivers() override { return drivers; }

    std::unique_ptr<platform::OdbcEnvironment> openEnvironment() override
    {
        if (environmentFails)
            return nullptr;
        return std::make_unique<Environment>(*this);
    }

private:
    void record(std::u16string_view text)
    {
        std::lock_guard lock(m_mutex);
        m_connectionStrings.emplace_back(text);
    }

    class Connection final : public platform::OdbcConnection {
    public:
        explicit Connection(FakeOdbc& odbc)
            : m_odbc(odbc)
        {
            ++m_odbc.connections;
        }
        ~Connection() override { --m_odbc.connections; }
        std::optional<std::vector<std::u16string>> firstColumn(std::u16string_view) override
        {
            if (!m_odbc.serverUp)
                return std::nullopt;
            return m_odbc.rows;
        }
        // The fake server holds no tables: statements other than the probe fail.
        bool execute(std::u16string_view) override { return false; }
        std::unique_ptr<platform::OdbcStatement> prepare(std::u16string_view, std::vector<platform::OdbcType>) override
        {
            return nullptr;
        }
        bool setAutoCommit(bool) override { return m_odbc.serverUp; }
        bool commit() override { return m_odbc.serverUp; }
        bool rollback() override { return m_odbc.serverUp; }
        std::string lastDiagnostic() const override { return "[08S01] server has gone away"; }

    private:
        FakeOdbc& m_odbc;
    };

    class Environment final : public platform::OdbcEnvironment {
    public:
        explicit Environment(FakeOdbc& odbc)
            : m_odbc(odbc)
        {
            ++m_odbc.environments;
        }
        ~Environment() override { --m_odbc.environments; }
        platform::OdbcBrowseReply browseConnect(std::u16string_view connectionString) override
        {
            m_odbc.record(connectionString);
            return m_odbc.browseReply;
        }
        std::unique_ptr<platform::OdbcConnection> driverConnect(std::u16string_view connectionString,
            platform::OdbcCompletion,
            unsigned,
            std::string& diagnostic) override
        {
            m_odbc.record(connectionString);
            if (!m_odbc.serverUp) {
                diagnostic = "[HY000] Can't connect to server";
                return nullptr;
            }
            return std::make_unique<Connection>(m_odbc);
        }

    private:
        FakeOdbc& m_odbc;
    };

    mutable std::mutex m_mutex;
    std::vector<std::u16string> m_connectionStrings;
};
