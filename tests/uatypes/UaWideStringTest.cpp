#include "uatypes/UaWideString.h"

#include "UaTestPrinters.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UaWideStringTest, DecodesUtf8ByItsOwnRules)
{
    const struct {
        std::string utf8;
        std::u16string expected;
    } cases[] = {
        { "abc", u"abc" },
        { "\xC3\xA9", u"\u00E9" },
        { "\xE2\x82\xAC", u"\u20AC" },
        { "\xEF\xBF\xBF", u"\uFFFF" },
        // Four-, five- and six-byte sequences become one "?".
        { "a\xF0\x9F\x98\x80"
          "b",
            u"a?b" },
        { "\xF8\x88\x80\x80\x80", u"?" },
        { "\xFC\x84\x80\x80\x80\x80", u"?" },
        // Bytes that cannot start a sequence are dropped.
        { "a\x80"
          "b",
            u"ab" },
        { "\xBF\xFE\xFF"
          "c",
            u"c" },
        // Continuation bytes are taken as they come.
        { "\xC3"
          "A",
            std::u16string(1, static_cast<char16_t>(0xC1)) },
        { "\xE2"
          "AB",
            std::u16string(1, static_cast<char16_t>(0x2042)) },
        // A sequence cut short by the end of the text is dropped; nothing past the end is read.
        { "ab\xC3", u"ab" },
        { "ab\xE2\x82", u"ab" },
        { "\xF0\x9F\x98", u"" },
        { std::string("a\0b", 3), std::u16string(u"a\0b", 3) },
        { "", u"" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(UaWideString(UaString(c.utf8)), UaWideString(c.expected)) << c.utf8;
}

TEST(UaWideStringTest, NullPointerGivesEmptyValue)
{
    const UaWideString wide(static_cast<const char*>(nullptr));
    EXPECT_EQ(wide.length(), 0u);
    ASSERT_NE(wide.data(), nullptr);
    EXPECT_EQ(wide.data()[0], u'\0');
    EXPECT_EQ(wide, UaWideString());
}

TEST(UaWideStringTest, OrdersByLengthThenRawBytes)
{
    EXPECT_LT(UaWideString(u"zz"), UaWideString(u"aaa"));
    // Raw bytes of little-endian code units: 0x0100 is stored 00 01 and sorts before 0x0001.
    EXPECT_LT(UaWideString(u"\u0100"), UaWideString(u"\u0001"));
    EXPECT_EQ(UaWideString("HasComponent"), UaWideString(u"HasComponent"));
}

TEST(UaWideStringTest, CharacterOutsideBasicPlaneInNodeIdBecomesQuestionMark)
{
    // The reader converts the attribute text to UTF-16 and back before reading it.
    const UaWideString attribute("ns=2;s=Tank\xF0\x9F\x92\xA7Level");
    const UaNodeId id = UaNodeId::fromXmlString(UaString(attribute));
    EXPECT_EQ(id, UaNodeId(UaString("Tank?Level"), 2));
}

} // namespace
