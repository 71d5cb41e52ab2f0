#include "uatypes/UaQualifiedName.h"

#include "UaTestPrinters.h"
#include "uatypes/UaLocalizedText.h"

#include <gtest/gtest.h>

namespace {

TEST(UaQualifiedNameTest, ReadsBrowseNameText)
{
    const struct {
        const char* text;
        std::uint16_t namespaceIndex;
        const char* name;
    } cases[] = {
        { "Temperature", 0, "Temperature" },
        { "2:Temperature", 2, "Temperature" },
        { "0x2:Temperature", 2, "Temperature" }, // the index is read as UInt16 text
        { "65535:Max", 65535, "Max" },
        { "65536:Over", 0, "Over" }, // unreadable index leaves 0
        { "x:Name", 0, "Name" },
        { ":Temperature", 0, "Temperature" }, // empty parts are skipped
        { "2::Temperature", 2, "Temperature" },
        { "Temperature:", 0, "Temperature" },
        { "1:Line:Temperature", 0, "" }, // three parts give no name
        { "", 0, "" },
        { ":::", 0, "" },
        { "Default Binary", 0, "Default Binary" },
    };
    for (const auto& c : cases) {
        const UaQualifiedName name = UaQualifiedName::fromBrowseNameText(UaString(c.text));
        EXPECT_EQ(name.namespaceIndex(), c.namespaceIndex) << c.text;
        EXPECT_EQ(name.name(), UaString(c.name)) << c.text;
    }
}

TEST(UaQualifiedNameTest, DisplayForms)
{
    EXPECT_EQ(UaQualifiedName("Temperature", 0).toFullString(), UaString("ns=0|Temperature"));
    EXPECT_EQ(UaQualifiedName("50%1", 3).toFullString(), UaString("ns=3|50%1"));
    EXPECT_EQ(UaQualifiedName().toFullString(), UaString("ns=0|"));
    EXPECT_EQ(UaLocalizedText("en", "Objects").toFullString(), UaString("en|Objects"));
    EXPECT_EQ(UaLocalizedText("", "Objects").toFullString(), UaString("|Objects"));
    // A placeholder in the locale must not take the text's place.
    EXPECT_EQ(UaLocalizedText("%1", "Objects").toFullString(), UaString("%1|Objects"));
    EXPECT_EQ(UaLocalizedText("en", "Objects").text(), UaString("Objects"));
}

} // namespace
