#pragma once

#include "AdminTool.h"
#include "support/Result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace admin {

/// The switches of the reg commands, written /x or -x in any case.
struct RegOptions {
    std::optional<std::string> valueName; ///< /v NAME, or "" for /ve
    std::optional<std::string> type; ///< /t TYPE
    std::optional<std::string> data; ///< /d DATA
    bool force = false; ///< /f: no question asked
    bool overwrite = false; ///< /y: an existing file is replaced
    std::vector<std::string> positional; ///< everything that is not a switch
};

/// Parses the switches of `allowed` (e.g. "v ve t d f"); anything else is an error.
support::Result<RegOptions> parseRegOptions(Arguments args, std::string_view allowed);

} // namespace admin
