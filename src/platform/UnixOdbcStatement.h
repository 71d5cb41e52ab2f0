#pragma once

#include "platform/Odbc.h"

#include <sql.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::unixodbc {

/// Prepares `statement` on the connection `dbc` (SQLPrepareW). Null when it cannot be prepared;
/// `diagnostic` then says why.
std::unique_ptr<OdbcStatement> prepareStatement(SQLHDBC dbc,
    std::u16string_view statement,
    std::vector<OdbcType> parameterTypes,
    std::string& diagnostic);

} // namespace platform::unixodbc
