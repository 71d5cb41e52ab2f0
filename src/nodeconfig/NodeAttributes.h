#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace UaBase {
class BaseNode;
}

namespace nodeconfig {

struct AlarmHistoryEntry;

/// One row of an attribute list: the attribute's label and its value.
struct AttributeRow {
    std::string attribute;
    std::string value;

    friend bool operator==(const AttributeRow&, const AttributeRow&) = default;
};

/// The attribute list of a node in the Alarms & Historical Data dialog: "NodeID" and its three
/// parts, "NodeClass", "BrowseName", a variable's "    DataType", "DisplayName", "Description",
/// "WriteMask" and "UserWriteMask".
std::vector<AttributeRow> nodeAttributeRows(const UaBase::BaseNode& node);

/// The alarm-condition list: the four limits of an item under the alarm root whose node is a
/// variable that is not Boolean, "---" for every other item.
std::vector<AttributeRow> alarmConditionRows(const AlarmHistoryEntry& entry, bool underAlarmRoot);

/// A two-part display form ("ns=2|Name", "en|Text") as the lists show it: `first , "second"`;
/// with an empty part, `"" , "other part"`; empty when both parts are.
std::string twoPartDisplay(std::string_view form);

} // namespace nodeconfig
