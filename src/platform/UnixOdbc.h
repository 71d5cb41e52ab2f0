#pragma once

#include "platform/Odbc.h"

namespace platform {

/// The ODBC driver manager of unixODBC over its wide (UTF-16) calls. The installed drivers
/// are those of its odbcinst.ini (ODBCSYSINI names another directory for it).
class UnixOdbc final : public OdbcDriverManager {
public:
    std::vector<std::u16string> installedDrivers() override;
    std::unique_ptr<OdbcEnvironment> openEnvironment() override;
};

} // namespace platform
