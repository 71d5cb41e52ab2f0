#pragma once

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/SettingsBlock.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace UaBase {
class NodeMap;
}

namespace nodeconfig {

using EntryList = std::vector<std::unique_ptr<AlarmHistoryEntry>>;

/// The entries of a freshly loaded file: its variables in node map order, each listed one
/// taking the first equal identifier of "[AlarmSourceNodes]" (so one listed identifier serves
/// one variable) with its limits from the pool when its type is numeric, and every variable
/// with the HistoryRead access bit a history entry after its alarm. Identifiers and pool lines
/// that no variable takes are dropped.
EntryList entriesFromBlock(const UaBase::NodeMap& nodes, AlarmSourceNodes listed);

/// The entries after the document was edited: variables whose `Tavox_Alarm` element enables
/// the alarm (limits from its attributes) and variables with the HistoryRead access bit.
EntryList entriesFromNodes(const UaBase::NodeMap& nodes);

/// One row of the attribute list.
struct EntryDetail {
    std::string attribute;
    std::string value;
};

/// "NodeIdentifier", "DataType", "NodePath" and, for an alarm, the four limits; empty when the
/// entry is missing or not of a variable.
std::optional<std::vector<EntryDetail>> entryDetails(const AlarmHistoryEntry* entry);

/// The "#" text of a row: its 1-based number with at least two digits.
std::string rowNumberText(std::size_t row);
/// The icon of an entry's row: the alarm light or the document with a pen.
NodeIcon rowIcon(const AlarmHistoryEntry& entry);

} // namespace nodeconfig
