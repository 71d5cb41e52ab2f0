#pragma once

#include "history/HistorySettings.h"

#include <string>
#include <string_view>

/// ODBC connection strings for the history database, shared by the ODBC Database page and the
/// server daemon. A value that holds ";", "{" or "}" is enclosed in braces with every "}"
/// doubled, so that it cannot end early and set other attributes; other values stand as
/// they are. The driver name always stands in braces. A value ends at its first NUL, which
/// would otherwise end the whole string.
namespace history::connection_string {

/// `value` as an attribute value: braced and escaped when it must be, unchanged otherwise.
std::u16string attributeValue(std::u16string_view value);

/// "DRIVER={driver}": what the server browse starts from.
std::u16string forServerBrowse(std::u16string_view driver);

/// "DRIVER={driver};SERVER=server;PORT=port;UID=user;PWD=password;": the MySQL connection of
/// the database browse.
std::u16string forMySqlDatabases(const HistorySettings& settings);

/// "DRIVER={driver};SERVER=server;UID=user;PWD=password;Trusted_Connection=yes": the MSSQL
/// browse of the databases.
std::u16string forMsSqlDatabaseBrowse(const HistorySettings& settings);

/// The server's connection to the history database: the MySQL form with
/// "DATABASE=database;" added; "PORT" is left out when the port is empty.
std::u16string forHistoryDatabase(const HistorySettings& settings);

} // namespace history::connection_string
