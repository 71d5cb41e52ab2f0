#include "nodeconfig/AlarmHistoryEntry.h"

#include "uatypes/UaNodeId.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <system_error>

namespace nodeconfig {
namespace {

template <typename T> bool isIntegerOf(std::string_view text)
{
    if (text.empty() || (!std::numeric_limits<T>::is_signed && text.front() == '-'))
        return false;
    // from_chars takes no "+" and no blanks: exactly what the limit dialog lets through.
    T value {};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

template <typename T> bool isFloatingOf(std::string_view text)
{
    if (text.empty())
        return false;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return false;
    return std::fabs(value) <= static_cast<double>(std::numeric_limits<T>::max());
}

} // namespace

AlarmDataType alarmDataTypeOf(const UaNodeId& dataType)
{
    if (dataType.namespaceIndex() != 0 || dataType.identifierType() != UaIdentifierType::Numeric)
        return AlarmDataType::Others;
    const std::uint32_t id = dataType.identifierNumeric();
    if (id == 1)
        return AlarmDataType::Boolean;
    if (id >= 4 && id <= 11)
        return static_cast<AlarmDataType>(id);
    return AlarmDataType::Others;
}

std::string_view dataTypeName(AlarmDataType type)
{
    // By type code; 2 and 3 (SByte and Byte) are no alarm data types.
    constexpr std::string_view kNames[] = { "Others",
        "Boolean",
        "Others",
        "Others",
        "Int16",
        "UInt16",
        "Int32",
        "UInt32",
        "Int64",
        "UInt64",
        "Float",
        "Double" };
    const auto code = static_cast<std::size_t>(type);
    return code < std::size(kNames) ? kNames[code] : "Others";
}

bool isNumeric(AlarmDataType type)
{
    const int code = static_cast<int>(type);
    return code >= static_cast<int>(AlarmDataType::Int16) && code <= static_cast<int>(AlarmDataType::Double);
}

bool isNumberOfType(AlarmDataType type, std::string_view text)
{
    switch (type) {
    case AlarmDataType::Int16:
        return isIntegerOf<std::int16_t>(text);
    case AlarmDataType::UInt16:
        return isIntegerOf<std::uint16_t>(text);
    case AlarmDataType::Int32:
        return isIntegerOf<std::int32_t>(text);
    case AlarmDataType::UInt32:
        return isIntegerOf<std::uint32_t>(text);
    case AlarmDataType::Int64:
        return isIntegerOf<std::int64_t>(text);
    case AlarmDataType::UInt64:
        return isIntegerOf<std::uint64_t>(text);
    case AlarmDataType::Float:
        return isFloatingOf<float>(text);
    case AlarmDataType::Double:
        return isFloatingOf<double>(text);
    case AlarmDataType::Boolean:
    case AlarmDataType::Others:
        break;
    }
    return false;
}

} // namespace nodeconfig
