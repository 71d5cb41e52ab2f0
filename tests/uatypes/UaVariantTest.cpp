#include "uatypes/UaVariant.h"

#include "UaTestPrinters.h"
#include "uatypes/UaByteString.h"
#include "uatypes/UaDateTime.h"
#include "uatypes/UaExtensionObject.h"
#include "uatypes/UaGuid.h"
#include "uatypes/UaLocalizedText.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaQualifiedName.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using T = UaBuiltInType;

TEST(UaVariantTest, HoldsEveryBuiltInTypeWithItsDisplayText)
{
    UaGuid guid;
    guid.Data1 = 0xA;
    UaExtensionObject range(UaNodeId(886, 0));
    UaVariant low;
    low.setDouble(-1.5);
    UaVariant high;
    high.setDouble(100);
    range.addField("Low", low);
    range.addField("High", high);
    UaExtensionObject encoded(UaNodeId(UaString("Point"), 2));
    encoded.setBinaryBody(UaByteString(std::string("\x01\x02", 2)));

    const struct {
        std::function<void(UaVariant&)> set;
        UaBuiltInType type;
        const char* text;
    } cases[] = {
        { [](UaVariant& v) { v.setBoolean(true); }, T::Boolean, "true" },
        { [](UaVariant& v) { v.setInt32(-7); }, T::Int32, "-7" },
        { [](UaVariant& v) { v.setFloat(0.1f); }, T::Float, "0.1" },
        { [](UaVariant& v) { v.setDouble(0.1); }, T::Double, "0.1" },
        { [](UaVariant& v) { v.setString("Tank"); }, T::String, "Tank" },
        { [](UaVariant& v) { v.setDateTime(UaDateTime::fromUtc(2024, 5, 1, 12, 0, 0, 0)); },
            T::DateTime,
            "2024-05-01T12:00:00.000Z" },
        { [&](UaVariant& v) { v.setGuid(guid); }, T::Guid, "{0000000a-0000-0000-0000-000000000000}" },
        { [](UaVariant& v) { v.setByteString(UaByteString(std::string("foo"))); }, T::ByteString, "Zm9v" },
        { [](UaVariant& v) { v.setXmlElement("<a/>"); }, T::XmlElement, "<a/>" },
        { [](UaVariant& v) { v.setNodeId(UaNodeId(85, 0)); }, T::NodeId, "i=85" },
        { [](UaVariant& v) { v.setQualifiedName(UaQualifiedName("Name", 1)); }, T::QualifiedName, "ns=1|Name" },
        { [](UaVariant& v) { v.setLocalizedText(UaLocalizedText("en", "Text")); }, T::LocalizedText, "en|Text" },
        { [&](UaVariant& v) { v.setExtensionObject(range); }, T::ExtensionObject, "i=886{Low=-1.5,High=100}" },
        { [&](UaVariant& v) { v.setExtensionObject(encoded); }, T::ExtensionObject, "ns=2;s=Point:AQI=" },
        { [](UaVariant& v) {
             v.setInt32Array({ 1, 2, 3 });
         },
            T::Int32,
            "{1,2,3}" },
        { [](UaVariant& v) { v.setStringArray({}); }, T::String, "{}" },
        { [](UaVariant& v) {
             v.setVariantArray({ UaVariant(), UaVariant() });
         },
            T::Variant,
            "{,}" },
    };
    for (const auto& c : cases) {
        UaVariant value;
        c.set(value);
        EXPECT_EQ(value.type(), c.type) << c.text;
        EXPECT_EQ(value.toString(), UaString(c.text)) << c.text;
    }
}

TEST(UaVariantTest, GettersWantTheExactTypeAndShape)
{
    UaVariant value;
    value.setInt16(12);
    std::int16_t i16 = 0;
    std::int32_t i32 = 99;
    std::vector<std::int16_t> array;
    EXPECT_TRUE(value.toInt16(i16).isGood());
    EXPECT_EQ(i16, 12);
    EXPECT_EQ(value.toInt32(i32), UaStatus(UaStatus::BadTypeMismatch));
    EXPECT_EQ(i32, 99);
    EXPECT_EQ(value.toInt16Array(array), UaStatus(UaStatus::BadTypeMismatch));

    UaVariant xml;
    xml.setXmlElement("<a/>");
    UaString text;
    EXPECT_EQ(xml.toString(text), UaStatus(UaStatus::BadTypeMismatch));
    EXPECT_TRUE(xml.toXmlElement(text).isGood());
    EXPECT_EQ(text, UaString("<a/>"));
}

TEST(UaVariantTest, ArraysGiveTheirElements)
{
    UaVariant numbers;
    numbers.setUInt16Array({ 4, 5 });
    EXPECT_TRUE(numbers.isArray());
    EXPECT_EQ(numbers.arrayLength(), 2u);
    UaVariant expected;
    expected.setUInt16(5);
    EXPECT_EQ(numbers.element(1), expected);
    EXPECT_TRUE(numbers.element(2).isEmpty());
    EXPECT_TRUE(expected.element(0).isEmpty());

    UaVariant inner;
    inner.setString("x");
    UaVariant variants;
    variants.setVariantArray({ UaVariant(), inner });
    EXPECT_EQ(variants.element(1), inner);
    EXPECT_TRUE(variants.element(0).isEmpty());
}

TEST(UaVariantTest, EqualityNeedsTypeShapeAndValue)
{
    UaVariant text;
    text.setString("5");
    UaVariant xml;
    xml.setXmlElement("5");
    UaVariant number;
    number.setInt32(5);
    UaVariant array;
    array.setInt32Array({ 5 });
    UaVariant same;
    same.setInt32(5);
    EXPECT_NE(text, xml);
    EXPECT_NE(text, number);
    EXPECT_NE(number, array);
    EXPECT_EQ(number, same);
    EXPECT_EQ(number.element(0), UaVariant());
    EXPECT_EQ(array.element(0), number);
}

TEST(UaVariantTest, ExtensionObjectKeepsFieldsOrBody)
{
    UaExtensionObject object(UaNodeId(296, 0));
    UaVariant name;
    name.setString("Speed");
    object.addField("Name", name);
    const UaExtensionObject withField = object;
    object.setBinaryBody(UaByteString(std::string("\x05")));

    EXPECT_EQ(withField.encoding(), UaExtensionObject::Encoding::Fields);
    EXPECT_EQ(withField.field("Name"), name);
    EXPECT_TRUE(withField.field("Missing").isEmpty());
    EXPECT_TRUE(withField.fieldName(5).isEmpty());
    EXPECT_EQ(object.encoding(), UaExtensionObject::Encoding::Binary);
    EXPECT_EQ(object.fieldCount(), 0u);
    EXPECT_EQ(object.typeId(), UaNodeId(296, 0));
    EXPECT_TRUE(UaExtensionObject().binaryBody().isNull());
}

TEST(UaDateTimeTest, CalendarFieldsAndIsoText)
{
    const struct {
        UaDateTime time;
        std::int64_t ticks;
        const char* text;
    } cases[] = {
        { UaDateTime::fromUtc(1601, 1, 1, 0, 0, 0, 0), 0, "1601-01-01T00:00:00.000Z" },
        { UaDateTime::fromUtc(1970, 1, 1, 0, 0, 0, 0), 116444736000000000, "1970-01-01T00:00:00.000Z" },
        { UaDateTime::fromUtc(2024, 2, 29, 23, 59, 59, 999), 133537247999990000, "2024-02-29T23:59:59.999Z" },
        { UaDateTime::fromUtc(2023, 13, 1, 0, 0, 0, 0), 133485408000000000, "2024-01-01T00:00:00.000Z" },
        { UaDateTime::fromUtc(2024, 1, 1, -2, 0, 0, 0), 133485336000000000, "2023-12-31T22:00:00.000Z" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.time.ticks(), c.ticks) << c.text;
        EXPECT_EQ(c.time.toString(), UaString(c.text)) << c.text;
    }
}

} // namespace
