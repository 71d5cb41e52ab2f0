#pragma once

#include "nodeconfig/AlarmHistoryEntry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class UaString;

namespace UaBase {
class NodeMap;
}

namespace tavoxserver {

/// A variable as the engine finds it: by namespace URI and identifier, since the engine
/// numbers the namespaces its own way.
struct NodeRef {
    std::string nodeId; ///< as in the file: "ns=1;s=Boiler.Temperature"
    std::string namespaceUri; ///< the URI that the file's namespace index stands for
    std::string identifier; ///< without the namespace: "s=Boiler.Temperature"
};

/// A limit as a number of the variable's type.
using AlarmLimitValue = std::variant<std::int64_t, std::uint64_t, double>;

/// An alarm of the settings block, resolved for the engine.
struct PlannedAlarm {
    NodeRef variable;
    nodeconfig::AlarmDataType dataType = nodeconfig::AlarmDataType::Others;
    /// High-high, high, low and low-low; a limit that is not set is empty. Boolean alarms have none.
    std::array<std::optional<AlarmLimitValue>, 4> limits;
    std::string description; ///< the log line: "alarm on ns=2;s=Tank.Level: high-high 95, high 90, ..."
};

/// What the server monitors: the alarms of the settings block, one warning per alarm it skips
/// because a limit is not a number of the variable's type (a hand-edited file) or the type has
/// no level limits, and the variables marked for historical logging.
struct AlarmPlan {
    std::vector<PlannedAlarm> alarms;
    std::vector<std::string> warnings; ///< "alarm on ns=2;s=X skipped: limit \"7O\" is not ..."
    std::vector<NodeRef> historized;
};

/// Reads the alarm list and limits of the node configuration's settings block, with the same
/// code as the Node Config page, for the nodes read from it; `namespaceUris` are those of the
/// file's NamespaceUris (index 1 first).
AlarmPlan
planAlarms(const UaBase::NodeMap& nodes, const std::vector<UaString>& namespaceUris, std::string_view nodeConfigText);

} // namespace tavoxserver
