#pragma once

#include "uatypes/UaBuiltInType.h"

#include <cstdint>
#include <string>
#include <string_view>

class UaNodeId;

namespace UaBase {
class BaseNode;
}

namespace nodeconfig {

/// Flags of an entry: an alarm on the variable, or its historical logging.
inline constexpr std::uint16_t kEntryAlarm = 0x0001;
inline constexpr std::uint16_t kEntryHistory = 0x0010;

/// One alarm or history setting of a variable: a row of the Node Config page's list, and an
/// item of the Alarms & Historical Data tree. The limit texts are kept as typed or as read
/// from the file, whole: a 64-bit limit of twenty characters survives a load and a write.
struct AlarmHistoryEntry {
    UaBase::BaseNode* node = nullptr; ///< not owned: the node map owns it
    std::string highHighLimit;
    std::string highLimit;
    std::string lowLimit;
    std::string lowLowLimit;
    std::uint16_t flags = 0;
    std::int32_t image = 0; ///< icon of the tree item (NodeIcon)

    bool isAlarm() const { return (flags & kEntryAlarm) != 0; }
    bool isHistory() const { return (flags & kEntryHistory) != 0; }
};

/// The icons of the strip shared by the page's list and the dialog's tree, by index.
enum class NodeIcon : std::int32_t {
    Folder = 0,
    Object = 1,
    Variable = 2,
    Method = 3,
    ObjectType = 4,
    VariableType = 5,
    ReferenceType = 6,
    DataType = 7,
    View = 8,
    AlarmItem = 9,
    HistoryItem = 10,
    VariableWithAlarm = 11,
    VariableWithHistory = 12,
    VariableWithAlarmAndHistory = 13,
};
inline constexpr int kNodeIconCount = 14;

/// The data types an alarm distinguishes; the values are the type codes of the alarm limit
/// dialog, which are the built-in types' numbers (0 for every other type).
enum class AlarmDataType : int {
    Others = 0,
    Boolean = static_cast<int>(UaBuiltInType::Boolean),
    Int16 = static_cast<int>(UaBuiltInType::Int16),
    UInt16 = static_cast<int>(UaBuiltInType::UInt16),
    Int32 = static_cast<int>(UaBuiltInType::Int32),
    UInt32 = static_cast<int>(UaBuiltInType::UInt32),
    Int64 = static_cast<int>(UaBuiltInType::Int64),
    UInt64 = static_cast<int>(UaBuiltInType::UInt64),
    Float = static_cast<int>(UaBuiltInType::Float),
    Double = static_cast<int>(UaBuiltInType::Double),
};

/// The alarm data type of a variable's data type identifier ("i=1", "i=4" to "i=11").
AlarmDataType alarmDataTypeOf(const UaNodeId& dataType);
/// "Boolean", "Int16", ..., "Double", or "Others".
std::string_view dataTypeName(AlarmDataType type);
/// Int16 to Double: the types whose alarms have four limits.
bool isNumeric(AlarmDataType type);
/// Whether `text` is a number of the type: an optional "-" (signed and floating types only)
/// and digits within the type's range; Float and Double also take a decimal point and an
/// exponent. An empty text is not a number.
bool isNumberOfType(AlarmDataType type, std::string_view text);

} // namespace nodeconfig
