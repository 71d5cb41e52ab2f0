#include "uatypes/UaNodeId.h"

#include "UaTestPrinters.h"
#include "uatypes/UaByteString.h"
#include "uatypes/UaGuid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

UaGuid sampleGuid()
{
    UaGuid g;
    g.fromString("72962b91-fa75-4ae6-8d28-b404dc7daf63").isGood();
    return g;
}

UaByteString bytesOf(std::size_t n, std::uint8_t value = 0xAB)
{
    return UaByteString(std::vector<std::uint8_t>(n, value));
}

std::string repeat(const std::string& piece, std::size_t times)
{
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

UaNodeId stringId(const std::string& text, std::uint16_t ns) { return UaNodeId(UaString(text), ns); }

TEST(UaNodeIdTest, ReadsXmlTextForm)
{
    const struct {
        const char* text;
        UaNodeId expected;
    } cases[] = {
        { "i=85", UaNodeId(85, 0) },
        { "ns=2;s=Line1", stringId("Line1", 2) },
        { "ns=;i=5", UaNodeId(5, 0) },
        { "ns=00002;i=7", UaNodeId(7, 2) },
        { "ns=65535;i=5", UaNodeId(5, 65535) },
        { "i=4294967295", UaNodeId(4294967295u, 0) },
        // Two bytes are too short to be read, so the empty String in namespace 0 reads as null.
        { "s=", UaNodeId() },
        { "ns=1;s=", stringId("", 1) },
        { "ns=1;s=a;b", stringId("a;b", 1) },
        { "s=ns=2;i=1", stringId("ns=2;i=1", 0) },
        { "g=72962b91-fa75-4ae6-8d28-b404dc7daf63", UaNodeId(sampleGuid(), 0) },
        { "ns=3;g={72962B91-FA75-4AE6-8D28-B404DC7DAF63}", UaNodeId(sampleGuid(), 3) },
        { "ns=0;b=AQID", UaNodeId(UaByteString("\x01\x02\x03", 3), 0) },
        { "b=AQID", UaNodeId(UaByteString("\x01\x02\x03", 3), 0) },
        { "ns=0;b=", UaNodeId(UaByteString::empty(), 0) },
        // Everything below is unusable and reads as the null node identifier.
        { "ns=70000;i=5", UaNodeId() },
        { "ns=65536;i=5", UaNodeId() },
        { "ns=x;i=5", UaNodeId() },
        { "ns=+2;i=5", UaNodeId() },
        { "ns=2", UaNodeId() },
        { "ns=2;", UaNodeId() },
        { "ns=2;i", UaNodeId() },
        { "i=", UaNodeId() },
        { "i=12a", UaNodeId() },
        { "i=-1", UaNodeId() },
        { "i= 5", UaNodeId() },
        { "i=4294967296", UaNodeId() },
        { "x=5", UaNodeId() },
        { "ns=", UaNodeId() },
        { "ns", UaNodeId() },
        { "", UaNodeId() },
        { "ns=1;ns=2;i=3", UaNodeId() },
        { "g=72962b91-fa75", UaNodeId() },
        { "ns=0;b=AQI", UaNodeId() },
        { "ns=0;b=A=B=", UaNodeId() },
        { "I=5", UaNodeId() },
    };
    for (const auto& c : cases)
        EXPECT_EQ(UaNodeId::fromXmlString(c.text), c.expected) << c.text;
}

TEST(UaNodeIdTest, WritesXmlTextForm)
{
    const std::string a300(300, 'a');
    const struct {
        UaNodeId id;
        std::string expected;
    } cases[] = {
        { UaNodeId(), "i=0" },
        { UaNodeId(2253, 0), "i=2253" },
        { UaNodeId(1001, 2), "ns=2;i=1001" },
        { stringId("Line1", 2), "ns=2;s=Line1" },
        { stringId("", 0), "s=" },
        { stringId("", 3), "ns=3;s=" },
        { UaNodeId(sampleGuid(), 0), "g=72962b91-fa75-4ae6-8d28-b404dc7daf63" },
        { UaNodeId(sampleGuid(), 4), "ns=4;g=72962b91-fa75-4ae6-8d28-b404dc7daf63" },
        { UaNodeId(UaByteString("\x01\x02\x03", 3), 0), "ns=0;b=AQID" },
        { UaNodeId(UaByteString::empty(), 0), "ns=0;b=" },
        { UaNodeId(UaByteString(), 5), "ns=5;b=" },
        // Cut to 256 bytes.
        { stringId(a300, 0), "s=" + std::string(254, 'a') },
        { stringId(a300, 7), "ns=7;s=" + std::string(249, 'a') },
        { stringId(std::string(254, 'a'), 0), "s=" + std::string(254, 'a') },
        // The cut never splits a character: 253 + 2 bytes would pass 256 by one.
        { stringId(std::string(253, 'a') + "\xC3\xA9", 0), "s=" + std::string(253, 'a') },
        { stringId(std::string(252, 'a') + "\xC3\xA9", 0), "s=" + std::string(252, 'a') + "\xC3\xA9" },
        { stringId(std::string(252, 'a') + "\xF0\x9F\x98\x80", 0), "s=" + std::string(252, 'a') },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.id.toString().toStdString(), c.expected) << c.expected;
}

TEST(UaNodeIdTest, OpaqueTextFormIsNeverCut)
{
    const UaNodeId id(bytesOf(300), 0);
    EXPECT_EQ(id.toString().length(), 7u + 400u);
    EXPECT_EQ(UaNodeId::fromXmlString(id.toString()), id);
}

TEST(UaNodeIdTest, WritesDisplayForm)
{
    const struct {
        UaNodeId id;
        std::string expected;
    } cases[] = {
        { UaNodeId(1001, 2), "NS2|Numeric|1001" },
        { stringId("Line1.Temperature", 2), "NS2|String|Line1.Temperature" },
        { stringId("", 1), "NS1|String|" },
        { UaNodeId(sampleGuid(), 0), "NS0|Guid|{72962b91-fa75-4ae6-8d28-b404dc7daf63}" },
        { UaNodeId(UaByteString("\x0A\xFF", 2), 1), "NS1|Opaque|0x0AFF" },
        { UaNodeId(UaByteString::empty(), 1), "NS1|Opaque|0x" },
        { UaNodeId(UaByteString(), 1), "NS1|Opaque|0x" },
        // 13 prefix characters leave room for 121 bytes within 255 characters.
        { UaNodeId(bytesOf(200), 1), "NS1|Opaque|0x" + repeat("AB", 121) },
        { UaNodeId(bytesOf(121, 0x11), 1), "NS1|Opaque|0x" + std::string(242, '1') },
        { UaNodeId(bytesOf(122, 0x11), 12), "NS12|Opaque|0x" + std::string(240, '1') },
        { stringId(std::string(300, 'x'), 1), "NS1|String|" + std::string(245, 'x') },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.id.toFullString().toStdString(), c.expected) << c.expected;
    EXPECT_EQ(UaNodeId(bytesOf(200), 1).toFullString().length(), 255u);
}

TEST(UaNodeIdTest, WritesIdentifierAlone)
{
    const struct {
        UaNodeId id;
        std::string expected;
    } cases[] = {
        { UaNodeId(1001, 2), "1001" },
        { stringId("Line1", 2), "Line1" },
        { stringId(std::string(300, 'x'), 0), std::string(300, 'x') },
        { UaNodeId(sampleGuid(), 0), "{72962b91-fa75-4ae6-8d28-b404dc7daf63}" },
        { UaNodeId(UaByteString("\x0A\xFF", 2), 1), "0x0AFF" },
        { UaNodeId(UaByteString::empty(), 1), "" },
        { UaNodeId(UaByteString(), 1), "" },
        { UaNodeId(bytesOf(126, 0x22), 0), "0x" + std::string(252, '2') },
        { UaNodeId(bytesOf(127, 0x22), 0), "0x" + std::string(252, '2') },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.id.identifierString().toStdString(), c.expected) << c.expected;
}

TEST(UaNodeIdTest, KnowsNullIdentifiers)
{
    const struct {
        UaNodeId id;
        bool isNull;
    } cases[] = {
        { UaNodeId(), true },
        { UaNodeId(0, 0), true },
        { UaNodeId(0, 1), false },
        { UaNodeId(1, 0), false },
        { stringId("", 0), true },
        { stringId("", 1), false },
        { stringId("a", 0), false },
        { UaNodeId(UaGuid(), 0), true },
        { UaNodeId(sampleGuid(), 0), false },
        { UaNodeId(UaByteString(), 0), true },
        { UaNodeId(UaByteString::empty(), 0), false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.id.isNull(), c.isNull) << c.id.toFullString().view();
}

TEST(UaNodeIdTest, OrdersByTypeThenNamespaceThenIdentifier)
{
    UaGuid low;
    low.Data1 = 0x00000100; // stored bytes 00 01 00 00
    UaGuid high;
    high.Data1 = 0x00000001; // stored bytes 01 00 00 00
    const std::vector<UaNodeId> expected = {
        UaNodeId(7, 0),
        UaNodeId(100, 0),
        UaNodeId(1, 5),
        stringId("Zz", 0),
        stringId("Aaa", 0),
        stringId("Aab", 0),
        stringId("A", 1),
        UaNodeId(low, 0),
        UaNodeId(high, 0),
        UaNodeId(UaGuid(), 1),
        UaNodeId(UaByteString(), 0),
        UaNodeId(UaByteString::empty(), 0),
        UaNodeId(UaByteString("\xFF", 1), 0),
        UaNodeId(UaByteString("\x00\x00", 2), 0),
    };
    std::vector<UaNodeId> shuffled = expected;
    std::mt19937 random(7);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, expected);
    for (std::size_t i = 1; i < expected.size(); ++i)
        EXPECT_NE(expected[i - 1], expected[i]) << i;
}

TEST(UaNodeIdTest, SetNamespaceIndexKeepsIdentifierAndLeavesCopiesAlone)
{
    const UaNodeId original = stringId("Line1", 2);
    UaNodeId moved = original;
    moved.setNamespaceIndex(9);
    EXPECT_EQ(moved, stringId("Line1", 9));
    EXPECT_EQ(original, stringId("Line1", 2));
}

TEST(UaNodeIdTest, CopiesMovesAndAssignmentsKeepTheirValues)
{
    UaNodeId text = stringId("Line1", 2);
    UaNodeId number(85, 0);
    UaNodeId copy = text;
    const UaNodeId& same = copy;
    copy = same; // self-assignment frees nothing
    EXPECT_EQ(stringId("Line1", 2), copy);
    UaNodeId taken = std::move(copy);
    EXPECT_EQ(stringId("Line1", 2), taken);
    EXPECT_TRUE(copy.isNull()); // NOLINT: a moved-from identifier is the null one
    number = text;
    text = UaNodeId(7, 1);
    EXPECT_EQ(stringId("Line1", 2), number);
    EXPECT_EQ(UaNodeId(7, 1), text);
    std::swap(number, text);
    EXPECT_EQ(UaNodeId(7, 1), number);
    EXPECT_EQ(UaString("Line1"), text.identifierText());
    EXPECT_EQ(UaString(), UaNodeId(7, 1).identifierText());
}

/// Random identifiers of every type, with strings short enough not to be cut and never empty
/// (the empty String identifier in namespace 0 is written "s=", which is too short to read).
std::vector<UaNodeId> generatedIdentifiers(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    auto below = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
    auto ns = [&] { return static_cast<std::uint16_t>(below(4) == 0 ? 0 : random()); };
    const char* const pieces[] = { "a", "Z", "9", ";", "=", "|", "%1", " ", "ns=1;", "\xC3\xA9", "\xE2\x82\xAC" };
    std::vector<UaNodeId> ids;
    for (std::size_t i = 0; i < count; ++i) {
        switch (i % 4) {
        case 0:
            ids.emplace_back(static_cast<std::uint32_t>(random()), ns());
            break;
        case 1: {
            std::string text;
            const std::uint32_t n = 1 + below(60);
            for (std::uint32_t k = 0; k < n; ++k)
                text += pieces[below(std::size(pieces))];
            ids.emplace_back(UaString(text.substr(0, 240)), ns());
            break;
        }
        case 2: {
            std::array<std::uint8_t, 16> bytes {};
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(random());
            ids.emplace_back(UaGuid::fromBytes(bytes), ns());
            break;
        }
        default: {
            std::vector<std::uint8_t> bytes(below(400));
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(random());
            ids.emplace_back(UaByteString(bytes), ns());
            break;
        }
        }
    }
    return ids;
}

TEST(UaNodeIdTest, EveryWrittenIdentifierReadsBack)
{
    for (const UaNodeId& id : generatedIdentifiers(4000, 20240501)) {
        const UaString text = id.toString();
        ASSERT_EQ(UaNodeId::fromXmlString(text), id) << text.view();
    }
}

TEST(UaNodeIdTest, LongStringIdentifiersReadBackAsTheirCutPrefix)
{
    const UaNodeId id = stringId(std::string(250, 'q') + "tail", 65535);
    const UaNodeId back = UaNodeId::fromXmlString(id.toString());
    EXPECT_EQ(back.namespaceIndex(), 65535);
    EXPECT_EQ(back.identifierText().toStdString(), std::string(245, 'q'));
}

} // namespace
