#include "support/TextCodec.h"

#include <gtest/gtest.h>

namespace {

TEST(TextCodecTest, Utf8ToUtf16ReplacesEachMalformedSequenceOnce)
{
    struct Case {
        const char* utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        { "", u"" },
        { "abc", u"abc" },
        { "\xC3\xA9t\xC3\xA9", u"\u00e9t\u00e9" },
        { "\xE2\x82\xAC", u"\u20ac" },
        { "\xF0\x9F\x98\x80", u"\U0001F600" },
        { "\xF4\x8F\xBF\xBF", u"\U0010FFFF" },
        { "\x80x", u"\uFFFDx" }, // a stray continuation byte
        { "\xC0\xAF", u"\uFFFD\uFFFD" }, // C0 and C1 never start a sequence
        { "\xE0\x80\xAF", u"\uFFFD" }, // overlong
        { "\xED\xA0\x80", u"\uFFFD" }, // a surrogate half
        { "\xF4\x90\x80\x80", u"\uFFFD" }, // above U+10FFFF
        { "\xF5\x80", u"\uFFFD\uFFFD" },
        { "\xE2\x82x", u"\uFFFDx" }, // cut short
        { "\xF0\x9F\x98", u"\uFFFD" }, // cut by the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(support::utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
}

TEST(TextCodecTest, Utf16ToUtf8JoinsPairsAndReplacesLoneHalves)
{
    struct Case {
        std::u16string utf16;
        std::string utf8;
    };
    const Case cases[] = {
        { u"abc", "abc" },
        { u"\u00e9\u20ac\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" },
        { std::u16string(1, u'\xD83D') + u"x", "\xEF\xBF\xBDx" },
        { std::u16string(1, u'\xDE00'), "\xEF\xBF\xBD" },
        { std::u16string(1, u'\0'), std::string(1, '\0') },
    };
    for (const Case& c : cases)
        EXPECT_EQ(support::utf16ToUtf8(c.utf16), c.utf8);
}

TEST(TextCodecTest, DecodeUtf8TellsHowFarTheSequenceGoes)
{
    struct Case {
        const char* bytes;
        bool valid;
        char32_t codePoint;
        std::size_t length;
    };
    const Case cases[] = {
        { "a", true, U'a', 1 },
        { "\xC2\x80", true, 0x80, 2 },
        { "\xEF\xBF\xBF", true, 0xFFFF, 3 },
        { "\xF0\x90\x80\x80", true, 0x10000, 4 },
        { "\xBF", false, 0, 1 },
        { "\xC1\xBF", false, 0, 1 },
        { "\xE0\x9F\xBF", false, 0, 3 },
        { "\xE2\x28\xA1", false, 0, 1 },
    };
    for (const Case& c : cases) {
        const support::DecodedCodePoint decoded = support::decodeUtf8(c.bytes);
        EXPECT_EQ(decoded.isValid(), c.valid) << c.bytes;
        EXPECT_EQ(decoded.length, c.length) << c.bytes;
        if (c.valid) {
            EXPECT_EQ(decoded.codePoint, c.codePoint) << c.bytes;
        }
    }
}

} // namespace
