#include "AlarmMonitoring.h"

#include "nodeconfig/AlarmHistoryEntries.h"
#include "nodeconfig/SettingsBlock.h"
#include "uanodes/NodeMap.h"
#include "uatypes/UaString.h"
#include "uanodes/Variable.h"

namespace tavoxserver {
namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string describe(const nodeconfig::AlarmHistoryEntry& alarm, nodeconfig::AlarmDataType type, std::string& problem)
{
    using nodeconfig::AlarmDataType;
    if (type == AlarmDataType::Boolean)
        return "when true";
    if (!nodeconfig::isNumeric(type)) {
        problem = "a variable of this data type has no level limits";
        return {};
    }
    const std::pair<const char*, const std::string*> limits[] = {
        {"high-high", &alarm.highHighLimit},
        {"high", &alarm.highLimit},
        {"low", &alarm.lowLimit},
        {"low-low", &alarm.lowLowLimit},
    };
    std::string description;
    std::vector<std::string> bad;
    for (const auto& [kind, text] : limits) {
        if (text->empty())
            continue;
        if (!nodeconfig::isNumberOfType(type, *text))
            bad.push_back(quoted(*text));
        description += (description.empty() ? "" : ", ") + std::string(kind) + " " + *text;
    }
    if (!bad.empty()) {
        std::string texts;
        for (const std::string& text : bad)
            texts += (texts.empty() ? "" : ", ") + text;
        problem = (bad.size() == 1 ? "limit " + texts + " is not a number" : "limits " + texts + " are not numbers")
            + " of type " + std::string(nodeconfig::dataTypeName(type));
        return {};
    }
    return description.empty() ? "no limits set" : description;
}

} // namespace

AlarmPlan planAlarms(const UaBase::NodeMap& nodes, std::string_view nodeConfigText)
{
    AlarmPlan plan;
    const nodeconfig::EntryList entries
        = nodeconfig::EntriesFromBlock(nodes, nodeconfig::ReadAlarmSourceNodesText(nodeConfigText));
    for (const auto& entry : entries) {
        if (!entry->isAlarm())
            continue;
        const auto* variable = static_cast<const UaBase::Variable*>(entry->node);
        const std::string name = variable->nodeId().toString().toStdString();
        std::string problem;
        const std::string description = describe(*entry, nodeconfig::alarmDataTypeOf(variable->dataType()), problem);
        if (problem.empty())
            plan.alarms.push_back("alarm on " + name + ": " + description);
        else
            plan.warnings.push_back("alarm on " + name + " skipped: " + problem);
    }
    return plan;
}

} // namespace tavoxserver
