#include "uatypes/UaByteString.h"

#include "UaTestPrinters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UaByteStringTest, NullAndEmptyDiffer)
{
    EXPECT_EQ(UaByteString().length(), -1);
    EXPECT_TRUE(UaByteString().isNull());
    EXPECT_EQ(UaByteString::empty().length(), 0);
    EXPECT_FALSE(UaByteString::empty().isNull());
    EXPECT_NE(UaByteString(), UaByteString::empty());
    EXPECT_LT(UaByteString(), UaByteString::empty());
    EXPECT_EQ(UaByteString(nullptr, -1), UaByteString());
    EXPECT_EQ(UaByteString(nullptr, 0), UaByteString::empty());
}

TEST(UaByteStringTest, EncodesBase64WithPadding)
{
    const struct {
        std::string bytes;
        const char* text;
    } cases[] = {
        { "", "" },
        { "f", "Zg==" },
        { "fo", "Zm8=" },
        { "foo", "Zm9v" },
        { "foob", "Zm9vYg==" },
        { "fooba", "Zm9vYmE=" },
        { "foobar", "Zm9vYmFy" },
        { std::string("\x00\xFB\xFF", 3), "APv/" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(UaByteString(c.bytes).toBase64(), UaString(c.text)) << c.text;
}

TEST(UaByteStringTest, DecodesBase64)
{
    const struct {
        const char* text;
        std::string bytes;
    } cases[] = {
        { "", "" },
        { "Zg==", "f" },
        { "Zm8=", "fo" },
        { "Zm9vYmFy", "foobar" },
        { "APv/", std::string("\x00\xFB\xFF", 3) },
        { "AQID", "\x01\x02\x03" },
        { "Zm9vYg==", "foob" },
        // Padding only has to stand at the end; how much of it is not checked.
        { "Zg======", "f" },
        { "A===", "" },
    };
    for (const auto& c : cases) {
        UaByteString decoded;
        ASSERT_EQ(decoded.fromBase64(UaString(c.text)), UaStatus(UaStatus::Good)) << c.text;
        EXPECT_EQ(decoded, UaByteString(c.bytes)) << c.text;
    }
    UaByteString empty;
    ASSERT_TRUE(empty.fromBase64(UaString("")).isGood());
    EXPECT_FALSE(empty.isNull());
}

TEST(UaByteStringTest, DecodesLongBase64BrokenIntoLines)
{
    // Every byte value, at lengths that end in each of the three group remainders, written
    // the way XML writers break base64 into lines.
    for (std::size_t length : { 3000u, 3001u, 3002u }) {
        std::string bytes;
        for (std::size_t i = 0; i < length; ++i)
            bytes.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
        const std::string text = UaByteString(bytes).toBase64().toStdString();
        std::string lines;
        for (std::size_t at = 0; at < text.size(); at += 76)
            lines += text.substr(at, 76) + (at % 152 == 0 ? "\r\n" : "\n  ");
        UaByteString decoded;
        ASSERT_TRUE(decoded.fromBase64(lines, true).isGood()) << length;
        EXPECT_EQ(decoded, UaByteString(bytes)) << length;
        EXPECT_FALSE(decoded.fromBase64(lines, false).isGood()) << length;
        lines.insert(lines.size() / 2, 1, '*');
        EXPECT_FALSE(decoded.fromBase64(lines, true).isGood()) << length;
    }
}

TEST(UaByteStringTest, RefusesMalformedBase64AndKeepsValue)
{
    const char* const cases[] = {
        "Zg=", // length not a multiple of four
        "Z", //
        "Zm9vY", //
        "Zg=a", // not "=" after the first "="
        "Z=g=", //
        "Zg==Zg==", //
        "Zm9v\nYmFy", // line break outside the alphabet
        "Zm9v YmF", // blank outside the alphabet
        "Zm9-", // URL-safe alphabet is not base64 here
        "Zm9_", //
    };
    for (const char* text : cases) {
        UaByteString value(std::string("keep"));
        EXPECT_EQ(value.fromBase64(UaString(text)), UaStatus(UaStatus::BadInvalidArgument)) << text;
        EXPECT_EQ(value, UaByteString(std::string("keep"))) << text;
    }
}

} // namespace
