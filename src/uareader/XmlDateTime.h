#pragma once

#include "support/Result.h"

#include <cstdint>
#include <string_view>

namespace UaBase {

/// The DateTime text of nodeset values: YYYY-MM-DDThh:mm:ss, an optional fraction (kept to the
/// millisecond) and an optional zone ("Z", or a sign and two hour digits from -12 to +12 with
/// optional ":mm" minutes), 20 to 50 characters in all, converted to UTC.
class XmlDateTime {
public:
    /// 100-nanosecond intervals since 1601-01-01 00:00 UTC, the OPC UA DateTime.
    /// Fails (InvalidInput) for a text that does not have the form; instants before 1601 give 0.
    static support::Result<std::int64_t> toTicks(std::string_view text);
};

} // namespace UaBase
