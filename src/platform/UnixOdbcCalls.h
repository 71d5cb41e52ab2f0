#pragma once

// Helpers shared by the unixODBC adapter's files; nothing outside the adapter includes this.

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::unixodbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's wide characters are UTF-16 units");

inline SQLWCHAR* wide(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

inline std::u16string fromWide(const SQLWCHAR* text, std::size_t length)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

/// The length of a NUL-terminated wide text inside a buffer of `capacity` units.
std::size_t terminatedLength(const SQLWCHAR* text, std::size_t capacity);

/// The first diagnostic record of a handle, as "[SQLSTATE] message".
std::string diagnosticOf(SQLSMALLINT type, SQLHANDLE handle);

/// Column `column` of the current row as text, whole, read in pieces of `pieceBytes`; empty for
/// NULL. False when the read fails.
bool readTextColumn(SQLHSTMT stmt, SQLUSMALLINT column, SQLLEN pieceBytes, std::u16string& text, bool& isNull);

} // namespace platform::unixodbc
