#include "nodeconfig/AlarmLimitInput.h"

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/SettingsBlock.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <system_error>

namespace nodeconfig {
namespace {

bool allowsPoint(int typeCode)
{
    return typeCode == static_cast<int>(AlarmDataType::Float) || typeCode == static_cast<int>(AlarmDataType::Double);
}

bool isUnsigned(int typeCode)
{
    return typeCode == static_cast<int>(AlarmDataType::UInt16) || typeCode == static_cast<int>(AlarmDataType::UInt32)
        || typeCode == static_cast<int>(AlarmDataType::UInt64);
}

bool endsWithSignOrPoint(const std::string& text)
{
    return !text.empty() && (text.back() == '-' || text.back() == '.');
}

template <typename T> std::optional<T> numberOf(const std::string& text)
{
    T value {};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

template <typename T> bool outOfOrder(const AlarmLimits& limits)
{
    std::optional<T> above;
    for (const std::string* text : { &limits.highHigh, &limits.high, &limits.low, &limits.lowLow }) {
        const std::optional<T> value = numberOf<T>(*text);
        if (!value)
            continue;
        if (above && *above < *value)
            return true;
        above = value;
    }
    return false;
}

} // namespace

std::size_t alarmTextLimit(int typeCode)
{
    switch (static_cast<AlarmDataType>(typeCode)) {
    case AlarmDataType::Int16:
        return 6;
    case AlarmDataType::UInt16:
        return 5;
    case AlarmDataType::Int32:
        return 11;
    case AlarmDataType::UInt32:
        return 10;
    case AlarmDataType::Float:
        return 7;
    case AlarmDataType::Double:
        return 15;
    case AlarmDataType::Int64:
    case AlarmDataType::UInt64:
    case AlarmDataType::Boolean:
    case AlarmDataType::Others:
        break;
    }
    return 20;
}

bool AcceptsTypedCharacter(int typeCode, std::u16string_view text, std::size_t caret, char16_t character)
{
    if ((character >= u'0' && character <= u'9') || character == u'\b')
        return true;
    if (character == u'.') {
        return allowsPoint(typeCode) && caret != 0 && text.find(u'.') == std::u16string_view::npos
            && !text.ends_with(u'-');
    }
    if (character == u'-')
        return !isUnsigned(typeCode) && caret == 0 && text.find(u'-') == std::u16string_view::npos;
    return false;
}

bool acceptsTypedOverSelection(int typeCode,
    std::u16string_view text,
    std::size_t caret,
    std::size_t selectionStart,
    std::size_t selectionEnd,
    char16_t character)
{
    if (!AcceptsTypedCharacter(typeCode, text, caret, character))
        return false;
    if (selectionStart >= selectionEnd)
        return true;
    const LimitEditText replaced
        = insertAsTyped(typeCode, text, selectionStart, selectionEnd, std::u16string_view(&character, 1), text.size());
    return replaced.caret == std::min(selectionStart, text.size()) + 1;
}

LimitEditText insertAsTyped(int typeCode,
    std::u16string_view text,
    std::size_t selectionStart,
    std::size_t selectionEnd,
    std::u16string_view inserted,
    std::size_t maxLength)
{
    selectionEnd = std::min(selectionEnd, text.size());
    selectionStart = std::min(selectionStart, selectionEnd);
    LimitEditText result { std::u16string(text.substr(0, selectionStart)) + std::u16string(text.substr(selectionEnd)),
        selectionStart };
    for (const char16_t character : inserted) {
        if (result.text.size() >= maxLength)
            break;
        // Backspace is an edit of its own when typed; as inserted text it is no character.
        if (character == u'\b' || !AcceptsTypedCharacter(typeCode, result.text, result.caret, character))
            continue;
        result.text.insert(result.caret, 1, character);
        ++result.caret;
    }
    return result;
}

bool canBeTyped(int typeCode, std::u16string_view text)
{
    return insertAsTyped(typeCode, u"", 0, 0, text, alarmTextLimit(typeCode)).text == text;
}

AlarmLimitsReview reviewAlarmLimits(int typeCode, const AlarmLimits& limits)
{
    AlarmLimitsReview review;
    review.problem = checkAlarmCondition(limits);
    review.outOfOrder = review.problem == AlarmConditionProblem::None && areLimitsOutOfOrder(typeCode, limits);
    return review;
}

AlarmConditionProblem checkAlarmCondition(const AlarmLimits& limits)
{
    for (const std::string* limit : { &limits.highHigh, &limits.high, &limits.low, &limits.lowLow }) {
        if (!fitsOnALine(*limit))
            return AlarmConditionProblem::LineBreak;
    }
    if (endsWithSignOrPoint(limits.highHigh))
        return AlarmConditionProblem::HighHighInput;
    if (limits.highHigh.empty() && limits.high.empty() && limits.low.empty() && limits.lowLow.empty())
        return AlarmConditionProblem::NoCondition;
    if (endsWithSignOrPoint(limits.high))
        return AlarmConditionProblem::HighInput;
    if (endsWithSignOrPoint(limits.low))
        return AlarmConditionProblem::LowInput;
    if (endsWithSignOrPoint(limits.lowLow))
        return AlarmConditionProblem::LowLowInput;
    return AlarmConditionProblem::None;
}

std::string_view alarmConditionMessage(AlarmConditionProblem problem)
{
    switch (problem) {
    case AlarmConditionProblem::LineBreak:
        return "An alarm limit holds a line break, which the node configuration file cannot keep. Please enter "
               "the limits again.";
    case AlarmConditionProblem::HighHighInput:
        return "High High Limit Input error...";
    case AlarmConditionProblem::NoCondition:
        return "Alarm Condition Input Error...";
    case AlarmConditionProblem::HighInput:
        return "High Limit Input error...";
    case AlarmConditionProblem::LowInput:
        return "Low Limit Input error...";
    case AlarmConditionProblem::LowLowInput:
        return "Low Low Limit Input error...";
    case AlarmConditionProblem::None:
        break;
    }
    return {};
}

bool areLimitsOutOfOrder(int typeCode, const AlarmLimits& limits)
{
    if (allowsPoint(typeCode))
        return outOfOrder<double>(limits);
    if (isUnsigned(typeCode))
        return outOfOrder<std::uint64_t>(limits);
    return outOfOrder<std::int64_t>(limits);
}

} // namespace nodeconfig
