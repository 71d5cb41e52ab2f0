#include "nodeconfig/AlarmLimitInput.h"

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/SettingsBlock.h"

#include <gtest/gtest.h>

#include <tuple>

#include <string>

namespace {

using namespace nodeconfig;

constexpr int kInt16 = static_cast<int>(AlarmDataType::Int16);
constexpr int kUInt32 = static_cast<int>(AlarmDataType::UInt32);
constexpr int kInt64 = static_cast<int>(AlarmDataType::Int64);
constexpr int kFloat = static_cast<int>(AlarmDataType::Float);
constexpr int kDouble = static_cast<int>(AlarmDataType::Double);
constexpr int kOthers = static_cast<int>(AlarmDataType::Others);

/// What an edit of the type holds after `keys` are typed one by one at the end of the text, the
/// caret moved to the start by "<" (Home); the text limit stops typing as the edit would.
std::u16string typed(int typeCode, std::u16string_view keys)
{
    std::u16string text;
    std::size_t caret = 0;
    for (const char16_t key : keys) {
        if (key == u'<') {
            caret = 0;
            continue;
        }
        if (text.size() >= alarmTextLimit(typeCode) || !AcceptsTypedCharacter(typeCode, text, caret, key))
            continue;
        text.insert(caret++, 1, key);
    }
    return text;
}

TEST(AlarmLimitInputTest, TextLimitsAreTheLongestNumbersOfEachType)
{
    const std::pair<AlarmDataType, std::size_t> cases[] = {
        { AlarmDataType::Int16, 6 },
        { AlarmDataType::UInt16, 5 },
        { AlarmDataType::Int32, 11 },
        { AlarmDataType::UInt32, 10 },
        { AlarmDataType::Int64, 20 },
        { AlarmDataType::UInt64, 20 },
        { AlarmDataType::Float, 7 },
        { AlarmDataType::Double, 15 },
        { AlarmDataType::Others, 20 },
    };
    for (const auto& [type, limit] : cases)
        EXPECT_EQ(alarmTextLimit(static_cast<int>(type)), limit) << dataTypeName(type);
    EXPECT_EQ(alarmTextLimit(12), 20u);
}

TEST(AlarmLimitInputTest, TypedCharactersFollowTheRulesOfTheType)
{
    struct Case {
        int type;
        std::u16string_view keys;
        std::u16string_view text;
    };
    const Case cases[] = {
        // Int16: a sign and five digits; the seventh character is beyond the limit.
        { kInt16, u"-327689", u"-32768" },
        { kInt16, u"12-", u"12" },
        { kInt16, u"12<-", u"-12" },
        { kInt16, u"-1<-", u"-1" },
        { kInt16, u"1.5", u"15" },
        // UInt32: never a sign.
        { kUInt32, u"-42", u"42" },
        { kUInt32, u"42<-", u"42" },
        { kUInt32, u"4294967295", u"4294967295" },
        // Double: one point between digits; not first, not a second, not after a leading sign.
        { kDouble, u"12.5", u"12.5" },
        { kDouble, u".5", u"5" },
        { kDouble, u"1.2.3", u"1.23" },
        { kDouble, u"-.5", u"-5" },
        { kDouble, u"-1.5", u"-1.5" },
        { kDouble, u"1.5<-", u"-1.5" },
        { kDouble, u"12.", u"12." },
        { kFloat, u"1.2345678", u"1.23456" },
        // Letters, blanks, "+" and the exponent never go in.
        { kDouble, u"1e5 +x", u"15" },
        // A type outside the table takes a sign and digits.
        { kOthers, u"-12.3", u"-123" },
        { kInt64, u"-9223372036854775808", u"-9223372036854775808" },
    };
    for (const Case& c : cases) {
        const std::u16string result = typed(c.type, c.keys);
        EXPECT_EQ(std::string(result.begin(), result.end()), std::string(c.text.begin(), c.text.end()))
            << "type " << c.type << " keys " << std::string(c.keys.begin(), c.keys.end());
    }
}

TEST(AlarmLimitInputTest, BackspaceAndDigitsAlwaysPassControlCharactersNever)
{
    EXPECT_TRUE(AcceptsTypedCharacter(kUInt32, u"12", 2, u'\b'));
    EXPECT_TRUE(AcceptsTypedCharacter(kUInt32, u"", 0, u'7'));
    for (const char16_t control : { u'\x03', u'\x16', u'\x18', u'\x1a', u'\r' })
        EXPECT_FALSE(AcceptsTypedCharacter(kDouble, u"1", 1, control)) << static_cast<int>(control);
    // A point after a digit that follows a sign is fine: only a text ending with "-" refuses it.
    EXPECT_TRUE(AcceptsTypedCharacter(kDouble, u"-1", 2, u'.'));
    EXPECT_FALSE(AcceptsTypedCharacter(kDouble, u"1-", 2, u'.'));
}

TEST(AlarmLimitInputTest, InsertedTextGoesInAsIfTyped)
{
    struct Case {
        int type;
        std::u16string_view text;
        std::size_t start, end;
        std::u16string_view pasted;
        std::u16string_view result;
        std::size_t caret;
    };
    const Case cases[] = {
        { kDouble, u"", 0, 0, u"abc", u"", 0 },
        { kDouble, u"", 0, 0, u"-12.5", u"-12.5", 5 },
        { kDouble, u"", 0, 0, u" 1,234.5e3 ", u"1234.53", 7 },
        { kDouble, u"7", 0, 0, u".5", u"57", 1 },
        { kDouble, u"1.5", 1, 1, u".", u"1.5", 1 },
        // The selection goes first: what replaces it is judged without it.
        { kDouble, u"-1.5", 0, 4, u"-2.25", u"-2.25", 5 },
        { kInt16, u"12", 1, 1, u"-34", u"1342", 3 },
        { kInt16, u"", 0, 0, u"-1234567", u"-12345", 6 },
        { kUInt32, u"", 0, 0, u"-4\t2\n", u"42", 2 },
        { kInt16, u"99", 2, 2, u"\b\b", u"99", 2 },
    };
    for (const Case& c : cases) {
        const LimitEditText result = insertAsTyped(c.type, c.text, c.start, c.end, c.pasted, alarmTextLimit(c.type));
        EXPECT_EQ(std::string(result.text.begin(), result.text.end()), std::string(c.result.begin(), c.result.end()))
            << std::string(c.pasted.begin(), c.pasted.end());
        EXPECT_EQ(result.caret, c.caret) << std::string(c.pasted.begin(), c.pasted.end());
    }
}

TEST(AlarmLimitInputTest, OkChecksStopAtTheFirstFailureInOrder)
{
    struct Case {
        AlarmLimits limits;
        AlarmConditionProblem problem;
    };
    const Case cases[] = {
        { { "", "", "", "" }, AlarmConditionProblem::NoCondition },
        { { "", "", "", "5" }, AlarmConditionProblem::None },
        { { "90.", "", "", "" }, AlarmConditionProblem::HighHighInput },
        { { "-", "80.", "", "" }, AlarmConditionProblem::HighHighInput },
        { { "", "80.", "", "" }, AlarmConditionProblem::HighInput },
        { { "", "", "-", "1." }, AlarmConditionProblem::LowInput },
        { { "90", "80", "20", "10." }, AlarmConditionProblem::LowLowInput },
        // Only the last character is checked: a text from elsewhere passes otherwise.
        { { "7O", "", "", "" }, AlarmConditionProblem::None },
        { { "1.5", "-2", "", "" }, AlarmConditionProblem::None },
        // A limit brought along by a file that the block could not hold comes before everything.
        { { "90.", "8\r0", "", "" }, AlarmConditionProblem::LineBreak },
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkAlarmCondition(c.limits), c.problem)
            << c.limits.highHigh << "|" << c.limits.high << "|" << c.limits.low << "|" << c.limits.lowLow;
    EXPECT_EQ(alarmConditionMessage(AlarmConditionProblem::HighHighInput), "High High Limit Input error...");
    EXPECT_EQ(alarmConditionMessage(AlarmConditionProblem::NoCondition), "Alarm Condition Input Error...");
    EXPECT_EQ(alarmConditionMessage(AlarmConditionProblem::HighInput), "High Limit Input error...");
    EXPECT_EQ(alarmConditionMessage(AlarmConditionProblem::LowInput), "Low Limit Input error...");
    EXPECT_EQ(alarmConditionMessage(AlarmConditionProblem::LowLowInput), "Low Low Limit Input error...");
    EXPECT_EQ(alarmConditionMessage(AlarmConditionProblem::None), "");
}

TEST(AlarmLimitInputTest, LimitsOutOfOrderCompareOnlyThePresentNumbers)
{
    struct Case {
        int type;
        AlarmLimits limits;
        bool outOfOrder;
    };
    const Case cases[] = {
        { kDouble, { "90", "80", "20", "10" }, false },
        { kDouble, { "90", "90", "10", "10" }, false },
        { kDouble, { "80", "90", "20", "10" }, true },
        { kDouble, { "90", "80", "85", "" }, true },
        { kDouble, { "", "", "10", "20" }, true },
        // A missing limit is skipped: high-high is compared with low.
        { kDouble, { "5", "", "10", "" }, true },
        { kDouble, { "5", "", "", "" }, false },
        { kDouble, { "-1.5", "", "-1.25", "" }, true },
        // Texts that are not numbers take no part.
        { kDouble, { "90", "7O", "95", "" }, true },
        { kDouble, { "7O", "", "95", "" }, false },
        // 64-bit integers are compared exactly, beyond a double's precision.
        { kInt64, { "9007199254740993", "9007199254740992", "", "" }, false },
        { kInt64, { "9007199254740992", "9007199254740993", "", "" }, true },
        { static_cast<int>(AlarmDataType::UInt64), { "18446744073709551614", "18446744073709551615", "", "" }, true },
        { kInt16, { "-5", "-10", "", "" }, false },
        { kOthers, { "1", "2", "", "" }, true },
    };
    for (const Case& c : cases)
        EXPECT_EQ(areLimitsOutOfOrder(c.type, c.limits), c.outOfOrder)
            << c.limits.highHigh << "|" << c.limits.high << "|" << c.limits.low << "|" << c.limits.lowLow;
}

TEST(AlarmLimitInputTest, WholeTextsAreTypableOnlyWhenEveryCharacterGoesIn)
{
    const std::tuple<int, std::u16string, bool> cases[] = {
        { kInt16, u"-32768", true },
        { kInt16, u"-327680", false }, // one more than the edit takes
        { kInt16, u"1-", false },
        { kDouble, u"-1.5", true },
        { kDouble, u"1.5.", false },
        { kDouble, u".5", false },
        { kDouble, u"1e3", false },
        { kUInt32, u"-1", false },
        { kDouble, u"", true },
    };
    for (const auto& [type, text, typable] : cases)
        EXPECT_EQ(canBeTyped(type, text), typable) << type;
}

TEST(AlarmLimitInputTest, TheReviewOfOkAsksAboutTheOrderOnlyOfLimitsThatPassTheChecks)
{
    const AlarmLimitsReview refused = reviewAlarmLimits(kDouble, { "1", "2.", "", "" });
    EXPECT_EQ(refused.problem, AlarmConditionProblem::HighInput);
    EXPECT_FALSE(refused.outOfOrder);
    const AlarmLimitsReview unordered = reviewAlarmLimits(kDouble, { "1", "2", "", "" });
    EXPECT_EQ(unordered.problem, AlarmConditionProblem::None);
    EXPECT_TRUE(unordered.outOfOrder);
}

} // namespace
