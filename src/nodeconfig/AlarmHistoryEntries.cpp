#include "nodeconfig/AlarmHistoryEntries.h"

#include "uanodes/NodeMap.h"
#include "uanodes/Variable.h"
#include "uatypes/UaString.h"

#include <algorithm>
#include <cstdio>

namespace nodeconfig {
namespace {

UaBase::Variable* asVariable(UaBase::BaseNode* node)
{
    return node && node->nodeClass() == UaBase::NodeClass::Variable ? static_cast<UaBase::Variable*>(node) : nullptr;
}

std::unique_ptr<AlarmHistoryEntry> newEntry(UaBase::Variable& variable, std::uint16_t flags)
{
    auto entry = std::make_unique<AlarmHistoryEntry>();
    entry->node = &variable;
    entry->flags = flags;
    return entry;
}

bool isHistorised(const UaBase::Variable& variable)
{
    return (variable.accessLevel() & UaBase::kAccessLevelHistoryRead) != 0;
}

std::string setting(const UaBase::AlarmSettings& settings, const char* name)
{
    const auto found = settings.find(UaString(name));
    return found == settings.end() ? std::string() : found->second.toStdString();
}

std::string identifierOf(const UaNodeId& nodeId) { return nodeId.identifierString().toStdString(); }

} // namespace

EntryList entriesFromBlock(const UaBase::NodeMap& nodes, AlarmSourceNodes listed)
{
    EntryList entries;
    for (const auto& [nodeId, node] : nodes) {
        UaBase::Variable* variable = asVariable(node.get());
        if (!variable)
            continue;
        if (!listed.identifiers.empty()) {
            const std::string identifier = identifierOf(nodeId);
            const auto match = std::find(listed.identifiers.begin(), listed.identifiers.end(), identifier);
            if (match != listed.identifiers.end()) {
                auto alarm = newEntry(*variable, kEntryAlarm);
                // Boolean and other types have no limits: their pool lines stay for others.
                if (isNumeric(alarmDataTypeOf(variable->dataType()))) {
                    AlarmLimits limits = TakeAlarmLimits(identifier, listed.pool);
                    alarm->highHighLimit = std::move(limits.highHigh);
                    alarm->highLimit = std::move(limits.high);
                    alarm->lowLimit = std::move(limits.low);
                    alarm->lowLowLimit = std::move(limits.lowLow);
                }
                listed.identifiers.erase(match);
                entries.push_back(std::move(alarm));
            }
        }
        if (isHistorised(*variable))
            entries.push_back(newEntry(*variable, kEntryHistory));
    }
    return entries;
}

EntryList entriesFromNodes(const UaBase::NodeMap& nodes)
{
    EntryList entries;
    for (const auto& [nodeId, node] : nodes) {
        UaBase::Variable* variable = asVariable(node.get());
        if (!variable)
            continue;
        if (variable->alarmEnabled()) {
            auto alarm = newEntry(*variable, kEntryAlarm);
            const UaBase::AlarmSettings settings = variable->alarmSettings();
            alarm->highHighLimit = setting(settings, "AlarmLimit_HH");
            alarm->highLimit = setting(settings, "AlarmLimit_H");
            alarm->lowLimit = setting(settings, "AlarmLimit_L");
            alarm->lowLowLimit = setting(settings, "AlarmLimit_LL");
            entries.push_back(std::move(alarm));
        }
        if (isHistorised(*variable))
            entries.push_back(newEntry(*variable, kEntryHistory));
    }
    return entries;
}

std::optional<std::vector<EntryDetail>> entryDetails(const AlarmHistoryEntry* entry)
{
    const UaBase::Variable* variable = entry ? asVariable(entry->node) : nullptr;
    if (!variable)
        return std::nullopt;
    UaNodeId parent;
    UaNodeId referenceType;
    variable->getParent(parent, referenceType);
    std::vector<EntryDetail> details = {
        { "NodeIdentifier", identifierOf(variable->nodeId()) },
        { "DataType", std::string(dataTypeName(alarmDataTypeOf(variable->dataType()))) },
        { "NodePath", identifierOf(parent) },
    };
    if (entry->isAlarm()) {
        details.push_back({ "HighHighLimit", entry->highHighLimit });
        details.push_back({ "HighLimit", entry->highLimit });
        details.push_back({ "LowLimit", entry->lowLimit });
        details.push_back({ "LowLowLimit", entry->lowLowLimit });
    }
    return details;
}

std::string rowNumberText(std::size_t row)
{
    char text[24];
    std::snprintf(text, sizeof text, "%02zu", row + 1);
    return text;
}

NodeIcon rowIcon(const AlarmHistoryEntry& entry)
{
    return entry.isAlarm() ? NodeIcon::AlarmItem : NodeIcon::HistoryItem;
}

} // namespace nodeconfig
