// Text to number conversions, reached as the reader reaches them: a String value changed to
// the wanted type.

#include "uatypes/UaNumberText.h"

#include "UaTestPrinters.h"
#include "uatypes/UaVariant.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using T = UaBuiltInType;

struct Case {
    UaBuiltInType type;
    std::string text;
    const char* expected; // the changed value as text; nullptr when the change is refused
};

void checkConversions(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        UaVariant value;
        value.setString(UaString(c.text));
        const UaVariant before = value;
        const UaStatus status = value.changeType(c.type);
        const std::string label = std::to_string(static_cast<int>(c.type)) + " \"" + c.text + "\"";
        if (c.expected != nullptr) {
            EXPECT_EQ(status, UaStatus(UaStatus::Good)) << label;
            EXPECT_EQ(value.type(), c.type) << label;
            EXPECT_EQ(value.toString().toStdString(), c.expected) << label;
        } else {
            EXPECT_EQ(status, UaStatus(UaStatus::BadOutOfRange)) << label;
            EXPECT_EQ(value, before) << label;
        }
    }
}

TEST(UaNumberTextTest, UnsignedTypesReadDecimalAndTheirHexadecimalForms)
{
    checkConversions({
        { T::UInt32, "0x1F", "31" },
        { T::UInt32, "0X1f", "31" },
        { T::UInt32, "0xFFFFFFFF", "4294967295" },
        { T::UInt32, "4294967295", "4294967295" },
        { T::UInt32, "+7", "7" },
        { T::UInt32, "0x100000000", nullptr }, // nine digits
        { T::UInt32, "0x", nullptr },
        { T::UInt32, "4294967296", nullptr },
        { T::UInt32, "-1", nullptr },
        { T::UInt32, "-0", nullptr },
        { T::UInt32, "12a", nullptr },
        { T::UInt32, " 7", nullptr },
        { T::UInt32, "", nullptr },
        { T::UInt16, "65535", "65535" },
        { T::UInt16, "0xFFFF", "65535" },
        { T::UInt16, "65536", nullptr },
        { T::UInt16, "0x10000", nullptr },
        { T::UInt64, "18446744073709551615", "18446744073709551615" },
        { T::UInt64, "0xFFFFFFFFFFFFFFFF", "18446744073709551615" },
        { T::UInt64, "18446744073709551616", nullptr },
        { T::UInt64, "0x10000000000000000", nullptr },
        { T::UInt64, "-1", nullptr },
        { T::Byte, "255", "255" },
        { T::Byte, "005", "5" },
        { T::Byte, "256", nullptr },
        { T::Byte, "0x05", nullptr }, // no hexadecimal for Byte
        { T::Byte, "-1", nullptr },
    });
}

TEST(UaNumberTextTest, SignedTypesReadDecimalWithinTheirRange)
{
    checkConversions({
        { T::SByte, "-128", "-128" },
        { T::SByte, "127", "127" },
        { T::SByte, "128", nullptr },
        { T::SByte, "-129", nullptr },
        { T::Int16, "-32768", "-32768" },
        { T::Int16, "32768", nullptr },
        { T::Int32, "-2147483648", "-2147483648" },
        { T::Int32, "2147483647", "2147483647" },
        { T::Int32, "2147483648", nullptr },
        { T::Int32, "-2147483649", nullptr },
        { T::Int32, "0x10", nullptr },
        { T::Int32, "-", nullptr },
        { T::Int32, "+-1", nullptr },
        { T::Int32, "1.0", nullptr },
        { T::Int64, "-9223372036854775808", "-9223372036854775808" },
        { T::Int64, "9223372036854775807", "9223372036854775807" },
        { T::Int64, "9223372036854775808", nullptr },
        { T::Int64, "-9223372036854775809", nullptr },
    });
}

TEST(UaNumberTextTest, LongTextsAreRefused)
{
    const auto zeros = [](std::size_t n) { return std::string(n - 1, '0') + "1"; };
    checkConversions({
        { T::UInt32, zeros(99), "1" },
        { T::UInt32, zeros(100), nullptr },
        { T::Double, zeros(99), "1" },
        { T::Double, zeros(100), nullptr },
        { T::Int64, zeros(29), "1" },
        { T::Int64, zeros(30), nullptr },
        { T::UInt64, zeros(29), "1" },
        { T::UInt64, zeros(30), nullptr },
    });
}

TEST(UaNumberTextTest, FloatingPointTextsAndSinglePrecisionRange)
{
    checkConversions({
        { T::Double, "1.5", "1.5" },
        { T::Double, "-2.5e3", "-2500" },
        { T::Double, ".5", "0.5" },
        { T::Double, "5.", "5" },
        { T::Double, "+1E2", "100" },
        { T::Double, "1e308", "1e+308" },
        { T::Double, "1e309", nullptr },
        { T::Double, "-1e309", nullptr },
        { T::Double, "1e-400", "0" }, // too small underflows to zero, it does not overflow
        { T::Double, "INF", "inf" },
        { T::Double, "NaN", "nan" },
        { T::Double, "1,5", nullptr },
        { T::Double, "0x1p3", nullptr },
        { T::Double, "1.5x", nullptr },
        { T::Double, "e5", nullptr },
        { T::Double, "1e", nullptr },
        { T::Double, ".", nullptr },
        { T::Double, "", nullptr },
        { T::Float, "1.5", "1.5" },
        { T::Float, "0", "0" },
        { T::Float, "-0", "-0" },
        // The largest single-precision value as it is usually written reads as itself.
        { T::Float, "3.4028235e38", "3.4028235e+38" },
        { T::Float, "-3.4028235e38", "-3.4028235e+38" },
        { T::Float, "3.5e38", nullptr },
        { T::Float, "1e39", nullptr },
        { T::Float, "inf", nullptr },
        { T::Float, "1.1754944e-38", "1.1754944e-38" },
        { T::Float, "1e-39", nullptr }, // below the smallest normal value
        { T::Float, "-1e-39", nullptr },
        { T::Float, "1e-400", nullptr },
    });
}

TEST(UaNumberTextTest, BooleanIsTrueOnlyForExactlyTrue)
{
    checkConversions({
        { T::Boolean, "true", "true" },
        { T::Boolean, "True", "false" },
        { T::Boolean, "TRUE", "false" },
        { T::Boolean, "1", "false" },
        { T::Boolean, "true ", "false" },
        { T::Boolean, "", "false" },
    });
}

TEST(UaNumberTextTest, OtherChangesAreTypeMismatches)
{
    UaVariant empty;
    EXPECT_EQ(empty.changeType(T::Int32), UaStatus(UaStatus::BadTypeMismatch));

    UaVariant text;
    text.setString("5");
    EXPECT_EQ(text.changeType(T::NodeId), UaStatus(UaStatus::BadTypeMismatch));
    EXPECT_EQ(text.changeType(T::String), UaStatus(UaStatus::Good));

    UaVariant number;
    number.setInt32(5);
    EXPECT_EQ(number.changeType(T::Double), UaStatus(UaStatus::BadTypeMismatch));
    std::int32_t out = 0;
    EXPECT_TRUE(number.toInt32(out).isGood());
    EXPECT_EQ(out, 5);
}

TEST(UaNumberTextTest, ArrayChangesWholeOrNotAtAll)
{
    UaVariant texts;
    texts.setStringArray({ UaString("1"), UaString("0x10"), UaString("3") });
    const UaVariant before = texts;
    EXPECT_EQ(texts.changeType(T::Int32), UaStatus(UaStatus::BadOutOfRange));
    EXPECT_EQ(texts, before);
    ASSERT_EQ(texts.changeType(T::UInt32), UaStatus(UaStatus::Good));
    std::vector<std::uint32_t> values;
    ASSERT_TRUE(texts.toUInt32Array(values).isGood());
    EXPECT_EQ(values, (std::vector<std::uint32_t> { 1, 16, 3 }));
}

TEST(UaNumberTextTest, GettersReadStringValuesAsNumbers)
{
    UaVariant value;
    value.setString("0x1F");
    std::uint32_t mask = 0;
    EXPECT_TRUE(value.toUInt32(mask).isGood());
    EXPECT_EQ(mask, 31u);
    std::uint8_t level = 7;
    EXPECT_EQ(value.toByte(level), UaStatus(UaStatus::BadOutOfRange));
    EXPECT_EQ(level, 7);
    EXPECT_EQ(value.type(), T::String); // reading converts a copy
}

} // namespace
