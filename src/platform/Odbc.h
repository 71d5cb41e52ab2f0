#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

/// What SQLBrowseConnectW answered, in the terms its callers use.
enum class OdbcBrowseStatus {
    NeedData, ///< SQL_NEED_DATA: the output lists the attributes still wanted
    Connected, ///< SQL_SUCCESS or SQL_SUCCESS_WITH_INFO
    Failed, ///< any other return, or no connection handle
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

/// A date and time as SQL_TIMESTAMP_STRUCT holds it; `fraction` in nanoseconds.
struct OdbcTimestamp {
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    std::uint32_t fraction = 0;

    friend bool operator==(const OdbcTimestamp&, const OdbcTimestamp&) = default;
};

/// The kinds of value that statements take and give: 64-bit integers, doubles, UTF-16 text and
/// timestamps to the millisecond.
enum class OdbcType { Integer, Double, Text, Timestamp };

/// A parameter or column value: std::monostate is NULL, any other alternative matches its
/// OdbcType (std::int64_t, double, std::u16string, OdbcTimestamp, in that order).
using OdbcValue = std::variant<std::monostate, std::int64_t, double, std::u16string, OdbcTimestamp>;

/// What a fetch found.
enum class OdbcFetch { Row, End, Failed };

/// A prepared statement of a connection; freed when destroyed. It must not outlive the
/// connection that prepared it.
class OdbcStatement {
public:
    virtual ~OdbcStatement() = default;
    /// Runs the statement once for every row of `rows`, in order, as parameter arrays where the
    /// driver takes them. Each row holds one value per parameter marker, of the marker's type or
    /// NULL; a timestamp's fraction beyond the millisecond must be zero. False at the first
    /// failure; rows before it may have been applied (a transaction undoes them).
    virtual bool execute(const std::vector<std::vector<OdbcValue>>& rows) = 0;
    /// The next row of what the last execute yielded.
    virtual OdbcFetch fetch() = 0;
    /// Column `index` (from 1) of the current row as `type`: NULL, or a failed read, gives
    /// std::monostate. Columns are read in increasing order, each once.
    virtual OdbcValue column(unsigned index, OdbcType type) = 0;
    /// The first diagnostic record of the last failure, for logs.
    virtual std::string lastDiagnostic() const = 0;
};

/// An open connection; disconnected and freed when destroyed. It must not outlive the
/// environment that opened it.
class OdbcConnection {
public:
    virtual ~OdbcConnection() = default;
    /// Runs `statement` (SQLExecDirectW) and returns the text of the first column of every row
    /// it yields, in order (a NULL gives an empty text); nothing when the statement fails.
    virtual std::optional<std::vector<std::u16string>> firstColumn(std::u16string_view statement) = 0;
    /// Runs a statement that yields no rows (SQLExecDirectW); false when it fails.
    virtual bool execute(std::u16string_view statement) = 0;
    /// Prepares `statement`, whose parameter markers take values of `parameterTypes` in order.
    /// Null when the driver refuses it.
    virtual std::unique_ptr<OdbcStatement> prepare(std::u16string_view statement, std::vector<OdbcType> parameterTypes)
        = 0;
    /// Commits every statement at once (on, the driver's default) or only at commit().
    virtual bool setAutoCommit(bool on) = 0;
    /// Ends the transaction of a connection without automatic commit (SQLEndTran).
    virtual bool commit() = 0;
    virtual bool rollback() = 0;
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
