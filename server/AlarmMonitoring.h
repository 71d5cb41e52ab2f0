#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace UaBase {
class NodeMap;
}

namespace tavoxserver {

/// What the server would monitor, as log lines: one per alarm of the settings block, and one
/// warning per alarm it skips because a limit is not a number of the variable's type (a
/// hand-edited file) or the variable's type has no level limits.
struct AlarmPlan {
    std::vector<std::string> alarms;   ///< "alarm on ns=2;s=Tank.Level: high-high 95, high 90, ..."
    std::vector<std::string> warnings; ///< "alarm on ns=2;s=X skipped: limit \"7O\" is not ..."
};

/// Reads the alarm list and limits of the node configuration's settings block, with the same
/// code as the Node Config page, for the nodes read from it.
AlarmPlan planAlarms(const UaBase::NodeMap& nodes, std::string_view nodeConfigText);

} // namespace tavoxserver
