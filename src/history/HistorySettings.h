#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace history {

/// The section of the node configuration file's settings block that holds the history
/// database connection.
inline constexpr std::u16string_view kHistorySection = u"HistorizedtoODBCSQL";

/// The kinds of database, numbered as "ACTIVE" stores them: the position in the "SQL Type:"
/// list plus 1.
enum class SqlType { None = 0, MySql = 1, MsSql = 2 };

/// "MySQL", "MSSQL", or empty for none: the list's texts and the stored "SQLTYPE".
std::u16string_view sqlTypeName(SqlType type);
/// The type a stored "SQLTYPE" names (exact match), None for anything else.
SqlType sqlTypeFromName(std::u16string_view name);
/// What the names of the type's drivers contain: "MySQL", "SQL Server"; empty for none.
std::u16string_view driverKeyword(SqlType type);

/// The history database settings as the page shows them and stores them.
struct HistorySettings {
    bool active = false;
    SqlType type = SqlType::None;
    std::u16string driver;
    std::u16string server;
    std::u16string port;
    std::u16string user;
    std::u16string password;
    std::u16string database;
};

/// The keys as stored, each read with its default ("SQLTYPE" "N/A", "ACTIVE" "0,0", the
/// others empty) and cut to 259 characters as the profile read into 260 does.
struct StoredHistoryKeys {
    std::u16string sqlType;
    std::u16string driver;
    std::u16string server;
    std::u16string port;
    std::u16string uid;
    std::u16string pwd;
    std::u16string database;
    std::u16string active;

    /// The first character of "ACTIVE" read as a decimal number is 1.
    bool isActive() const;
};

StoredHistoryKeys readHistoryKeys(const std::filesystem::path& nodeCfgPath);

/// The label ("Server:", say) of the first field whose value cannot be stored in the history
/// section as it stands (it holds a line break); none when all can.
std::optional<std::u16string_view> UnwritableHistoryField(const HistorySettings& settings);

/// Writes "SQLTYPE", "DRIVER", "SERVER", "PORT", "UID", "PWD", "DATABASE", "DSN" and "ACTIVE",
/// in that order, into the history section, all in one replacement of the file. False, with
/// nothing written, when a value cannot be stored (UnwritableHistoryField) or the file cannot
/// be replaced.
[[nodiscard]] bool writeHistoryKeys(const std::filesystem::path& nodeCfgPath, const HistorySettings& settings);

/// Makes sure that the node configuration file's settings block holds the history section,
/// so that keys written afterwards land inside the block; false when the file could not be
/// read or changed. The settings block belongs to the Node Config subsystem, which provides
/// the operation; the ODBC Database page is handed it.
using EnsureHistorySectionFn = std::function<bool(const std::filesystem::path& nodeCfgPath)>;

} // namespace history
