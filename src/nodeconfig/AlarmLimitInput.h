#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nodeconfig {

struct AlarmLimits;

/// The most characters a limit edit of the alarm limit dialog takes for a type code
/// (AlarmDataType): the longest decimal text of each integer type with its sign, 7 for Float,
/// 15 for Double, and 20 (the longest text of any integer type) for every other code.
std::size_t alarmTextLimit(int typeCode);

/// Whether `character`, typed with the caret at `caret` into a limit edit that holds `text`,
/// goes in. Digits and backspace always do. "." only for Float and Double, and not at the
/// start, not a second one, and not after a text that ends with "-". "-" never for the unsigned
/// types, otherwise only at the start of a text that has none. Every other character, control
/// characters included, is dropped.
bool AcceptsTypedCharacter(int typeCode, std::u16string_view text, std::size_t caret, char16_t character);

/// Whether `character`, typed with the caret at `caret` into a limit edit that holds `text` with
/// [selectionStart, selectionEnd) selected, goes in: it must be accepted by the text as it stands
/// (AcceptsTypedCharacter) and where it lands in place of the selection. A refused character
/// leaves the text, the selection included, as it was.
bool acceptsTypedOverSelection(int typeCode,
    std::u16string_view text,
    std::size_t caret,
    std::size_t selectionStart,
    std::size_t selectionEnd,
    char16_t character);

/// A limit edit's text and caret after an insertion.
struct LimitEditText {
    std::u16string text;
    std::size_t caret = 0;
};

/// Text put into a limit edit other than by typing (pasted, dropped, composed): the selection
/// [selectionStart, selectionEnd) is removed and the characters of `inserted` go in one by one
/// at the caret as if they were typed, each under AcceptsTypedCharacter; refused ones are
/// dropped, and nothing more goes in once the text holds `maxLength` characters.
LimitEditText insertAsTyped(int typeCode,
    std::u16string_view text,
    std::size_t selectionStart,
    std::size_t selectionEnd,
    std::u16string_view inserted,
    std::size_t maxLength);

/// Whether `text` goes into a limit edit of the type whole when typed character by character
/// into an empty edit: the texts an administrator can enter there.
bool canBeTyped(int typeCode, std::u16string_view text);

/// The first check of the alarm limit dialog's OK that the four limits fail, in check order.
enum class AlarmConditionProblem {
    None,
    LineBreak, ///< a limit holds a line break (one read from a file), which the block cannot hold
    HighHighInput, ///< the high-high limit ends with "-" or "."
    NoCondition, ///< all four limits are empty
    HighInput,
    LowInput,
    LowLowInput,
};

AlarmConditionProblem checkAlarmCondition(const AlarmLimits& limits);
/// The message of a failed check (caption "Error"); empty for None.
std::string_view alarmConditionMessage(AlarmConditionProblem problem);

/// Whether the limits that are present and read as numbers are out of order: each must be at
/// least the next one present, from high-high down to low-low. Integer types compare exactly.
bool areLimitsOutOfOrder(int typeCode, const AlarmLimits& limits);

/// What the alarm limit dialog's OK makes of the four limits: the first check they fail, and
/// otherwise whether the order question must be asked before they are kept.
struct AlarmLimitsReview {
    AlarmConditionProblem problem = AlarmConditionProblem::None;
    bool outOfOrder = false;
};
AlarmLimitsReview reviewAlarmLimits(int typeCode, const AlarmLimits& limits);

/// The question OK asks before it keeps limits out of order (caption "Warning", Yes and No).
inline constexpr std::string_view kLimitOrderQuestion
    = "The alarm limits are not in order: the High High Limit should not be below the High Limit, the High "
      "Limit not below the Low Limit, and the Low Limit not below the Low Low Limit.\n\n"
      "Do you want to keep these limits?";

} // namespace nodeconfig
