#include "HistoryMessages.h"

#include "support/TextCodec.h"
#include "uareader/XmlDateTime.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace tavoxserver {
namespace {

using nlohmann::json;

enum class ValueKind { Boolean, Integer, LongInteger, Real, Text, Json };

struct TypeRule {
    std::string_view name;
    ValueKind kind;
    std::int64_t min = 0;
    std::uint64_t max = 0;
};

constexpr std::array kTypeRules = {
    TypeRule { "Boolean", ValueKind::Boolean },
    TypeRule { "SByte", ValueKind::Integer, -128, 127 },
    TypeRule { "Byte", ValueKind::Integer, 0, 255 },
    TypeRule { "Int16", ValueKind::Integer, -32768, 32767 },
    TypeRule { "UInt16", ValueKind::Integer, 0, 65535 },
    TypeRule { "Int32", ValueKind::Integer, std::numeric_limits<std::int32_t>::min(), 2147483647 },
    TypeRule { "UInt32", ValueKind::Integer, 0, 4294967295u },
    TypeRule { "StatusCode", ValueKind::Integer, 0, 4294967295u },
    TypeRule { "Int64",
        ValueKind::LongInteger,
        std::numeric_limits<std::int64_t>::min(),
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) },
    TypeRule { "UInt64", ValueKind::LongInteger, 0, std::numeric_limits<std::uint64_t>::max() },
    TypeRule { "Float", ValueKind::Real },
    TypeRule { "Double", ValueKind::Real },
    TypeRule { "String", ValueKind::Text },
    TypeRule { "LocalizedText", ValueKind::Text },
    TypeRule { "DateTime", ValueKind::Text },
    TypeRule { "ByteString", ValueKind::Text },
    TypeRule { "Guid", ValueKind::Text },
    TypeRule { "NodeId", ValueKind::Text },
    TypeRule { "ExpandedNodeId", ValueKind::Text },
    TypeRule { "XmlElement", ValueKind::Text },
    TypeRule { "QualifiedName", ValueKind::Text },
};

// A type name fits the table's column with "[]" after it.
constexpr std::size_t kMaxTypeNameLength = 38;
// One value's stored text; larger ones are refused rather than held in memory and the spool.
constexpr std::size_t kMaxValueBytes = std::size_t { 1 } << 20;
constexpr std::string_view kArraySuffix = "[]";
constexpr std::array<std::string_view, 3> kRealWords = { "NaN", "Infinity", "-Infinity" };

TypeRule ruleOf(std::string_view name)
{
    for (const TypeRule& rule : kTypeRules) {
        if (rule.name == name)
            return rule;
    }
    return { name, ValueKind::Json };
}

bool isTypeName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxTypeNameLength)
        return false;
    for (char c : name) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool isRealWord(std::string_view text)
{
    for (std::string_view word : kRealWords) {
        if (text == word)
            return true;
    }
    return false;
}

bool inRange(const TypeRule& rule, const json& value)
{
    if (value.is_number_unsigned())
        return value.get<std::uint64_t>() <= rule.max;
    if (!value.is_number_integer())
        return false;
    const auto number = value.get<std::int64_t>();
    return number >= rule.min && (number < 0 || static_cast<std::uint64_t>(number) <= rule.max);
}

// The decimal text of a long integer given as a string or a JSON integer, within the type's range.
std::optional<std::string> longIntegerText(const TypeRule& rule, const json& value)
{
    if (value.is_number_integer())
        return inRange(rule, value) ? std::optional(value.dump()) : std::nullopt;
    if (!value.is_string())
        return std::nullopt;
    const std::string& text = value.get_ref<const std::string&>();
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (rule.min < 0) {
        std::int64_t number = 0;
        const auto parsed = std::from_chars(begin, end, number);
        if (parsed.ec != std::errc() || parsed.ptr != end)
            return std::nullopt;
        return std::to_string(number);
    }
    std::uint64_t number = 0;
    const auto parsed = std::from_chars(begin, end, number);
    if (parsed.ec != std::errc() || parsed.ptr != end)
        return std::nullopt;
    return std::to_string(number);
}

/// A value of `rule`'s kind normalised for the channel (long integers as strings), or null
/// when it is of another kind.
std::optional<json> checkedScalar(const TypeRule& rule, const json& value)
{
    switch (rule.kind) {
    case ValueKind::Boolean:
        return value.is_boolean() ? std::optional(value) : std::nullopt;
    case ValueKind::Integer:
        return inRange(rule, value) ? std::optional(value) : std::nullopt;
    case ValueKind::LongInteger:
        if (auto text = longIntegerText(rule, value))
            return json(*text);
        return std::nullopt;
    case ValueKind::Real:
        if (value.is_number() || (value.is_string() && isRealWord(value.get_ref<const std::string&>())))
            return value;
        return std::nullopt;
    case ValueKind::Text:
        return value.is_string() ? std::optional(value) : std::nullopt;
    case ValueKind::Json:
        return value;
    }
    return std::nullopt;
}

std::optional<json> checkedArray(const TypeRule& rule, const json& array)
{
    json out = json::array();
    for (const json& element : array) {
        std::optional<json> checked = element.is_array() ? checkedArray(rule, element) : checkedScalar(rule, element);
        if (!checked)
            return std::nullopt;
        out.push_back(std::move(*checked));
    }
    return out;
}

std::string scalarText(const TypeRule& rule, const json& value)
{
    if (value.is_string() && rule.kind != ValueKind::Json)
        return value.get<std::string>();
    return value.dump();
}

json scalarFromText(const TypeRule& rule, const std::string& text)
{
    switch (rule.kind) {
    case ValueKind::Text:
    case ValueKind::LongInteger:
        return text;
    case ValueKind::Real:
        if (isRealWord(text))
            return text;
        break;
    case ValueKind::Boolean:
    case ValueKind::Integer:
    case ValueKind::Json:
        break;
    }
    json parsed = json::parse(text, nullptr, false);
    return parsed.is_discarded() ? json(text) : parsed;
}

json channelValue(const HistoryValue& value)
{
    if (!value.value)
        return nullptr;
    std::string_view type = value.dataType;
    if (type.ends_with(kArraySuffix)) {
        json parsed = json::parse(*value.value, nullptr, false);
        return parsed.is_discarded() ? json(*value.value) : parsed;
    }
    return scalarFromText(ruleOf(type), *value.value);
}

support::Error refused(const std::string& what) { return support::Error::invalidInput(what); }

/// A JSON integer from 0 to `max`, whether it came signed or unsigned.
std::optional<std::uint64_t> unsignedOf(const json& value, std::uint64_t max)
{
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= max)
        return value.get<std::uint64_t>();
    if (value.is_number_integer() && value.get<std::int64_t>() >= 0
        && static_cast<std::uint64_t>(value.get<std::int64_t>()) <= max)
        return static_cast<std::uint64_t>(value.get<std::int64_t>());
    return std::nullopt;
}

const json* member(const json& message, const char* name)
{
    const auto it = message.find(name);
    return it == message.end() || it->is_null() ? nullptr : &*it;
}

/// A time member in ticks: none when missing, null or the minimum date; an error for a text
/// that is no date and time.
support::Result<std::optional<std::int64_t>> timeMember(const json& message, const char* name)
{
    const json* field = member(message, name);
    if (!field)
        return std::optional<std::int64_t>();
    const support::Result<std::int64_t> ticks = field->is_string()
        ? UaBase::XmlDateTime::toTicks(field->get_ref<const std::string&>())
        : support::Error::invalidInput("not a text");
    if (!ticks)
        return refused(std::string("\"") + name + "\" is not a date and time: " + field->dump());
    if (*ticks <= 0)
        return std::optional<std::int64_t>();
    return std::optional<std::int64_t>(*ticks);
}

support::Result<std::string> nodeMember(const json& message)
{
    const json* uri = member(message, "namespaceUri");
    const json* identifier = member(message, "identifier");
    if (!uri || !uri->is_string() || uri->get_ref<const std::string&>().empty())
        return refused("\"namespaceUri\" is missing or not a text");
    if (!identifier || !identifier->is_string())
        return refused("\"identifier\" is missing or not a text");
    const std::string& id = identifier->get_ref<const std::string&>();
    if (id.size() < 3 || id[1] != '=' || std::string_view("isgb").find(id[0]) == std::string_view::npos)
        return refused("\"identifier\" is not of the form i=, s=, g= or b=: " + identifier->dump());
    std::string node = historyNode(uri->get_ref<const std::string&>(), id);
    if (support::utf8ToUtf16(node).size() > kMaxHistoryNodeUnits)
        return refused("the node id is longer than " + std::to_string(kMaxHistoryNodeUnits) + " characters");
    return node;
}

} // namespace

support::Result<HistoryValue> historyValueFromMessage(const json& message, std::int64_t receivedAt)
{
    if (!message.is_object())
        return refused("the message is not an object");
    support::Result<std::string> node = nodeMember(message);
    if (!node)
        return node.error();
    HistoryValue value;
    value.node = std::move(*node);

    auto sourceTime = timeMember(message, "sourceTime");
    if (!sourceTime)
        return sourceTime.error();
    auto serverTime = timeMember(message, "serverTime");
    if (!serverTime)
        return serverTime.error();
    value.serverTime = *serverTime;
    value.sourceTime = sourceTime->value_or(serverTime->value_or(receivedAt));

    if (const json* status = member(message, "status")) {
        const auto code = unsignedOf(*status, 0xFFFFFFFFu);
        if (!code)
            return refused("\"status\" is not a status code: " + status->dump());
        value.status = static_cast<std::uint32_t>(*code);
    }

    const json* dataType = member(message, "dataType");
    if (!dataType || !dataType->is_string() || !isTypeName(dataType->get_ref<const std::string&>()))
        return refused("\"dataType\" is missing or not a type name");
    const TypeRule rule = ruleOf(dataType->get_ref<const std::string&>());
    value.dataType = dataType->get<std::string>();

    if (const json* content = member(message, "value")) {
        std::optional<json> checked
            = content->is_array() ? checkedArray(rule, *content) : checkedScalar(rule, *content);
        if (!checked)
            return refused("the value " + content->dump() + " is not of the type " + value.dataType);
        if (content->is_array()) {
            value.dataType += kArraySuffix;
            value.value = checked->dump();
        } else {
            value.value = scalarText(rule, *checked);
        }
        if (value.value->size() > kMaxValueBytes)
            return refused("the value takes more than " + std::to_string(kMaxValueBytes) + " bytes");
    }
    return value;
}

support::Result<HistoryReadRequest> historyReadFromMessage(const json& message)
{
    if (!message.is_object())
        return refused("the message is not an object");
    HistoryReadRequest request;
    const json* id = member(message, "id");
    if (!id || !id->is_number_integer())
        return refused("\"id\" is missing or not a number");
    request.id = id->get<std::int64_t>();
    support::Result<std::string> node = nodeMember(message);
    if (!node)
        return node.error();
    request.node = std::move(*node);
    auto start = timeMember(message, "start");
    if (!start)
        return start.error();
    auto end = timeMember(message, "end");
    if (!end)
        return end.error();
    request.start = *start;
    request.end = *end;
    if (const json* maxValues = member(message, "maxValues")) {
        const auto count = unsignedOf(*maxValues, 0xFFFFFFFFu);
        if (!count)
            return refused("\"maxValues\" is not a count: " + maxValues->dump());
        request.maxValues = static_cast<std::uint32_t>(*count);
    }
    if (const json* continuation = member(message, "continuation")) {
        if (!continuation->is_string())
            return refused("\"continuation\" is not a text");
        request.continuation = continuation->get<std::string>();
    }
    return request;
}

json historyDataMessage(const HistoryReadResult& result)
{
    json values = json::array();
    for (const HistoryValue& value : result.values) {
        std::string_view type = value.dataType;
        if (type.ends_with(kArraySuffix))
            type.remove_suffix(kArraySuffix.size());
        values.push_back({
            { "sourceTime", historyTimeText(value.sourceTime) },
            { "serverTime", value.serverTime ? json(historyTimeText(*value.serverTime)) : json(nullptr) },
            { "status", value.status },
            { "dataType", type },
            { "value", channelValue(value) },
        });
    }
    return {
        { "type", "historyData" },
        { "id", result.id },
        { "status", historyReadStatusName(result.status) },
        { "values", std::move(values) },
        { "continuation", result.continuation ? json(*result.continuation) : json(nullptr) },
    };
}

} // namespace tavoxserver
