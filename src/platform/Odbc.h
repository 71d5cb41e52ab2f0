#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// What SQLBrowseConnectW answered, in the terms its callers use.
enum class OdbcBrowseStatus {
    NeedData,  ///< SQL_NEED_DATA: the output lists the attributes still wanted
    Connected, ///< SQL_SUCCESS or SQL_SUCCESS_WITH_INFO
    Failed,    ///< any other return, or no connection handle
};

struct OdbcBrowseReply {
    OdbcBrowseStatus status = OdbcBrowseStatus::Failed;
    /// The output connection string (at most 1023 characters).
    std::u16string text;
    /// The driver manager's or driver's first diagnostic record when the browse failed.
    std::string diagnostic;
};

/// How SQLDriverConnectW may complete a connection string.
enum class OdbcCompletion {
    Complete, ///< SQL_DRIVER_COMPLETE (no window is given, so nothing is asked)
    NoPrompt, ///< SQL_DRIVER_NOPROMPT
};

/// An open connection; disconnected and freed when destroyed. It must not outlive the
/// environment that opened it.
class OdbcConnection {
public:
    virtual ~OdbcConnection() = default;
    /// Runs `statement` (SQLExecDirectW) and returns the text of the first column of every row
    /// it yields, in order (a NULL gives an empty text); nothing when the statement fails.
    virtual std::optional<std::vector<std::u16string>> firstColumn(std::u16string_view statement) = 0;
    /// The first diagnostic record of the last failure, for logs.
    virtual std::string lastDiagnostic() const = 0;
};

/// An ODBC 3 environment (SQL_ATTR_ODBC_VERSION set to SQL_OV_ODBC3); freed when destroyed.
class OdbcEnvironment {
public:
    virtual ~OdbcEnvironment() = default;
    /// SQLBrowseConnectW on a new connection handle with an output buffer of 1024 characters.
    /// The connection is disconnected and freed before the call returns.
    virtual OdbcBrowseReply browseConnect(std::u16string_view connectionString) = 0;
    /// SQLDriverConnectW without a window. A login timeout of 0 leaves the driver's own.
    /// Null when the connection cannot be made; `diagnostic` then says why.
    virtual std::unique_ptr<OdbcConnection> driverConnect(std::u16string_view connectionString,
        OdbcCompletion completion,
        unsigned loginTimeoutSeconds,
        std::string& diagnostic)
        = 0;
};

/// The ODBC driver manager: its list of installed drivers and new environments.
class OdbcDriverManager {
public:
    virtual ~OdbcDriverManager() = default;
    /// The descriptions (names) of the installed drivers, in the driver manager's order
    /// (SQLDriversW). Empty when there are none or the list cannot be read.
    virtual std::vector<std::u16string> installedDrivers() = 0;
    /// A new environment; null when it cannot be allocated or set to ODBC 3.
    virtual std::unique_ptr<OdbcEnvironment> openEnvironment() = 0;
};

} // namespace platform
