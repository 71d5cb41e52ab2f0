#include "AlarmMonitoring.h"

#include "nodeconfig/AlarmHistoryEntries.h"
#include "nodeconfig/SettingsBlock.h"
#include "uanodes/NodeMap.h"
#include "uanodes/Variable.h"
#include "uatypes/UaString.h"

#include <charconv>
#include <cmath>

namespace tavoxserver {
namespace {

constexpr std::string_view kStandardNamespace = "http://opcfoundation.org/UA/";

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// The number of a limit that isNumberOfType accepted.
std::optional<AlarmLimitValue> limitValue(nodeconfig::AlarmDataType type, const std::string& text)
{
    using nodeconfig::AlarmDataType;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (type == AlarmDataType::Float || type == AlarmDataType::Double) {
        double value = 0;
        const auto [stop, error] = std::from_chars(begin, end, value);
        if (error != std::errc() || stop != end || !std::isfinite(value))
            return std::nullopt;
        return value;
    }
    if (type == AlarmDataType::UInt64) {
        std::uint64_t value = 0;
        const auto [stop, error] = std::from_chars(begin, end, value);
        return error == std::errc() && stop == end ? std::optional<AlarmLimitValue>(value) : std::nullopt;
    }
    std::int64_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    return error == std::errc() && stop == end ? std::optional<AlarmLimitValue>(value) : std::nullopt;
}

// The description of the alarm, and its limits into `alarm`; empty with `problem` set when it is skipped.
std::string describe(const nodeconfig::AlarmHistoryEntry& entry, PlannedAlarm& alarm, std::string& problem)
{
    using nodeconfig::AlarmDataType;
    if (alarm.dataType == AlarmDataType::Boolean)
        return "when true";
    if (!nodeconfig::isNumeric(alarm.dataType)) {
        problem = "a variable of this data type has no level limits";
        return {};
    }
    const std::pair<const char*, const std::string*> limits[] = {
        { "high-high", &entry.highHighLimit },
        { "high", &entry.highLimit },
        { "low", &entry.lowLimit },
        { "low-low", &entry.lowLowLimit },
    };
    std::string description;
    std::vector<std::string> bad;
    for (std::size_t i = 0; i < alarm.limits.size(); ++i) {
        const auto& [kind, text] = limits[i];
        if (text->empty())
            continue;
        alarm.limits[i]
            = nodeconfig::isNumberOfType(alarm.dataType, *text) ? limitValue(alarm.dataType, *text) : std::nullopt;
        if (!alarm.limits[i])
            bad.push_back(quoted(*text));
        description += (description.empty() ? "" : ", ") + std::string(kind) + " " + *text;
    }
    if (!bad.empty()) {
        std::string texts;
        for (const std::string& text : bad)
            texts += (texts.empty() ? "" : ", ") + text;
        problem = (bad.size() == 1 ? "limit " + texts + " is not a number" : "limits " + texts + " are not numbers")
            + " of type " + std::string(nodeconfig::dataTypeName(alarm.dataType));
        return {};
    }
    return description.empty() ? "no limits set" : description;
}

// The variable by namespace URI; empty with `problem` set when the file names no URI for its index.
std::optional<NodeRef>
refer(const UaBase::BaseNode& node, const std::vector<UaString>& namespaceUris, std::string& problem)
{
    const UaNodeId& id = node.nodeId();
    NodeRef ref;
    ref.nodeId = id.toString().toStdString();
    const std::uint16_t index = id.namespaceIndex();
    if (index == 0) {
        ref.namespaceUri = kStandardNamespace;
    } else if (index <= namespaceUris.size()) {
        ref.namespaceUri = namespaceUris[index - 1u].toStdString();
    } else {
        problem = "the file's NamespaceUris name no namespace " + std::to_string(index);
        return std::nullopt;
    }
    // The text form is cut at 256 bytes; a long string identifier is taken whole.
    if (id.identifierType() == UaIdentifierType::String) {
        ref.identifier = "s=" + id.identifierText().toStdString();
    } else {
        const std::size_t prefix = ref.nodeId.rfind("ns=", 0) == 0 ? ref.nodeId.find(';') + 1 : 0;
        ref.identifier = ref.nodeId.substr(prefix);
    }
    return ref;
}

} // namespace

AlarmPlan
planAlarms(const UaBase::NodeMap& nodes, const std::vector<UaString>& namespaceUris, std::string_view nodeConfigText)
{
    AlarmPlan plan;
    const nodeconfig::EntryList entries
        = nodeconfig::entriesFromBlock(nodes, nodeconfig::readAlarmSourceNodesText(nodeConfigText));
    for (const auto& entry : entries) {
        const auto* variable = static_cast<const UaBase::Variable*>(entry->node);
        const std::string name = variable->nodeId().toString().toStdString();
        std::string problem;
        const std::optional<NodeRef> ref = refer(*variable, namespaceUris, problem);
        if (entry->isHistory()) {
            if (ref)
                plan.historized.push_back(*ref);
            else
                plan.warnings.push_back("historical logging of " + name + " skipped: " + problem);
            continue;
        }
        PlannedAlarm alarm;
        alarm.dataType = nodeconfig::alarmDataTypeOf(variable->dataType());
        const std::string description = ref ? describe(*entry, alarm, problem) : std::string();
        if (!problem.empty()) {
            plan.warnings.push_back("alarm on " + name + " skipped: " + problem);
            continue;
        }
        alarm.variable = *ref;
        alarm.description = "alarm on " + name + ": " + description;
        plan.alarms.push_back(std::move(alarm));
    }
    return plan;
}

} // namespace tavoxserver
