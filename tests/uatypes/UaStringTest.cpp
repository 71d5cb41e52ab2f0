#include "uatypes/UaString.h"

#include "UaTestPrinters.h"
#include "uatypes/UaWideString.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

TEST(UaStringTest, NullAndEmptyReadAsEmptyText)
{
    const UaString fromNull(static_cast<const char*>(nullptr));
    const UaString byDefault;
    ASSERT_NE(fromNull.toUtf8(), nullptr);
    EXPECT_STREQ(fromNull.toUtf8(), "");
    EXPECT_EQ(byDefault.length(), 0u);
    EXPECT_EQ(fromNull, byDefault);
    EXPECT_EQ(UaString(""), byDefault);
}

TEST(UaStringTest, OrdersShorterFirstThenByBytes)
{
    // As the keys of a map, which is how the alarm settings of a variable iterate.
    const std::vector<std::string> expected = {
        "",
        "Zz",
        "a\x7F",
        "a\x80",
        "Aaa",
        "Alarm",
        "AlarmLimit_H",
        "AlarmLimit_L",
        "AlarmLimit_HH",
        "AlarmLimit_LL",
    };
    std::map<UaString, int> keys;
    for (auto it = expected.rbegin(); it != expected.rend(); ++it)
        keys[UaString(*it)] = 0;
    std::vector<std::string> order;
    for (const auto& entry : keys)
        order.push_back(entry.first.toStdString());
    EXPECT_EQ(order, expected);
}

TEST(UaStringTest, EqualityIsCaseSensitiveAndCountsEveryByte)
{
    EXPECT_NE(UaString("Alarm"), UaString("alarm"));
    EXPECT_NE(UaString("a\0b", 3), UaString("a"));
    EXPECT_EQ(UaString("a\0b", 3).length(), 3u);
}

TEST(UaStringTest, ArgReplacesTheLowestPlaceholder)
{
    const struct {
        const char* text;
        const char* value;
        const char* expected;
    } cases[] = {
        { "%1|%2", "a", "a|%2" },
        { "%2|%1|%1", "a", "%2|a|a" },
        { "%2|%3", "a", "a|%3" },
        { "%10 %9", "a", "%10 a" },
        { "%99%", "a", "a%" },
        { "%100", "a", "a0" }, // two digits at most
        { "%0 %", "a", "%0 %" },
        { "no placeholder", "a", "no placeholder" },
        { "", "a", "" },
        { "%1", "%1", "%1" }, // the inserted text is not searched again by the same call
        { "100%1", "", "100" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(UaString(c.text).arg(UaString(c.value)).toStdString(), c.expected) << c.text;
}

TEST(UaStringTest, ArgCallsApplyOneAfterTheOther)
{
    EXPECT_EQ(UaString("ns=%1|%2").arg(0).arg(UaString("Temperature")), UaString("ns=0|Temperature"));
    EXPECT_EQ(UaString("%1-%2-%3").arg(-5).arg(4294967295u).arg(UaString("x")), UaString("-5-4294967295-x"));
}

TEST(UaStringTest, EncodesEveryUtf16CodeUnitOnItsOwn)
{
    const struct {
        std::u16string units;
        std::string expected;
    } cases[] = {
        { u"A", "A" },
        { u"\u007F", "\x7F" },
        { u"\u0080", "\xC2\x80" },
        { u"\u00E9", "\xC3\xA9" },
        { u"\u07FF", "\xDF\xBF" },
        { u"\u0800", "\xE0\xA0\x80" },
        { u"\u20AC", "\xE2\x82\xAC" },
        { u"\uFFFF", "\xEF\xBF\xBF" },
        // A surrogate pair is two three-byte sequences, not one four-byte sequence.
        { u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80" },
        { std::u16string(1, u'\0') + u"x", std::string(1, '\0') + "x" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(UaString(UaWideString(c.units)).toStdString(), c.expected) << c.expected;
}

} // namespace
