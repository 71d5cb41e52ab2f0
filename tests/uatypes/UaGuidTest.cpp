#include "uatypes/UaGuid.h"

#include "UaTestPrinters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

UaGuid sample()
{
    UaGuid g;
    g.Data1 = 0x72962b91;
    g.Data2 = 0xfa75;
    g.Data3 = 0x4ae6;
    g.Data4 = { 0x8d, 0x28, 0xb4, 0x04, 0xdc, 0x7d, 0xaf, 0x63 };
    return g;
}

TEST(UaGuidTest, WritesLowerCaseWithBraces)
{
    EXPECT_EQ(sample().toString(), UaString("{72962b91-fa75-4ae6-8d28-b404dc7daf63}"));
    EXPECT_EQ(UaGuid().toString(), UaString("{00000000-0000-0000-0000-000000000000}"));
}

TEST(UaGuidTest, ReadsTextForm)
{
    const struct {
        const char* text;
        bool good;
    } cases[] = {
        { "72962b91-fa75-4ae6-8d28-b404dc7daf63", true },
        { "{72962b91-fa75-4ae6-8d28-b404dc7daf63}", true },
        { "{72962B91-FA75-4AE6-8D28-B404DC7DAF63}", true },
        { "{72962b91-fa75-4ae6-8d28-b404dc7daf63", true }, // the closing brace is not needed
        { "72962b91-fa75-4ae6-8d28-b404dc7daf63 and more", true }, // nor is anything after the fields
        { "", false },
        { "{", false },
        { "{{72962b91-fa75-4ae6-8d28-b404dc7daf63}", false },
        { "72962b91-fa75-4ae6-8d28-b404dc7daf6", false }, // last group short
        { "72962b91fa75-4ae6-8d28-b404dc7daf63", false }, // missing "-"
        { "72962b91-fa75-4ae6-8d28b404dc7daf63", false }, // missing "-" before the six groups
        { "72962b9-1fa75-4ae6-8d28-b404dc7daf63", false }, // seven digits
        { "72962g91-fa75-4ae6-8d28-b404dc7daf63", false },
        { " 72962b91-fa75-4ae6-8d28-b404dc7daf63", false },
        { "+72962b9-fa75-4ae6-8d28-b404dc7daf63", false },
    };
    for (const auto& c : cases) {
        UaGuid g = sample();
        g.Data1 = 1;
        const UaGuid before = g;
        const UaStatus status = g.fromString(UaString(c.text));
        if (c.good) {
            EXPECT_EQ(status, UaStatus(UaStatus::Good)) << c.text;
            EXPECT_EQ(g, sample()) << c.text;
        } else {
            EXPECT_EQ(status, UaStatus(UaStatus::BadInvalidArgument)) << c.text;
            EXPECT_EQ(g, before) << c.text;
        }
    }
}

TEST(UaGuidTest, OrdersByStoredLittleEndianBytes)
{
    UaGuid a;
    a.Data1 = 0x00000100;
    UaGuid b;
    b.Data1 = 0x00000001;
    EXPECT_LT(a, b);
    UaGuid c;
    c.Data2 = 0x0100;
    UaGuid d;
    d.Data2 = 0x0001;
    EXPECT_LT(c, d);
    UaGuid e;
    e.Data4[0] = 0x01;
    UaGuid f;
    f.Data3 = 0x0100;
    EXPECT_LT(e, f); // Data3 before Data4
    EXPECT_EQ(UaGuid::fromBytes(sample().toBytes()), sample());
}

} // namespace
