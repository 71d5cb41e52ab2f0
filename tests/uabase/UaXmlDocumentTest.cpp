#include "uabase/UaXmlDocument.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

/// Owns a string handed out by the XML layer.
struct XmlText {
    char* p = nullptr;
    ~XmlText() { UaXmlDocument::freeXmlString(p); }
    std::string str() const { return p ? std::string(p) : std::string("<null>"); }
};

void writeFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const char* const kNodeset = R"(<?xml version="1.0" encoding="utf-8"?>
<UANodeSet xmlns="http://opcfoundation.org/UA/2011/03/UANodeSet.xsd" xmlns:x="urn:x">
    <UAVariable NodeId="ns=1;s=Temp" BrowseName="1:Temp" AccessLevel="1">
        <DisplayName>Temp &amp; more</DisplayName>
    </UAVariable>

    <!-- between nodes -->
    <UAVariable NodeId="ns=1;s=Press" BrowseName="1:Press"/>
    <x:Other/>
</UANodeSet>
<!--
[HistorizedtoODBCSQL]
Active=1
-->
)";

class UaXmlDocumentTest : public ::testing::Test {
protected:
    void SetUp() override { UaXmlDocument::initXmlLibrary(); }
    void TearDown() override { UaXmlDocument::cleanupXmlLibrary(); }

    void load(UaXmlDocument& doc, const std::string& xml)
    {
        ASSERT_EQ(0, doc.loadXmlMemory(xml.data(), static_cast<int>(xml.size()), "test.xml"));
    }
    std::string attribute(const UaXmlDocument& doc, const char* name)
    {
        XmlText value;
        doc.getAttributeValue(name, value.p);
        return value.str();
    }
    std::string name(const UaXmlDocument& doc) { return doc.getNodeName() ? doc.getNodeName() : "<null>"; }

    TempDir m_dir;
};

TEST_F(UaXmlDocumentTest, FailedLoadsLeaveTheObjectEmptyAndFreeThePreviousDocument)
{
    std::filesystem::create_directory(m_dir / "dir");
    writeFile(m_dir / "empty.xml", "");
    writeFile(m_dir / "text.xml", "this is not XML");
    writeFile(m_dir / "open.xml", "<a><b></a>");
    writeFile(m_dir / "noroot.xml", "<?xml version=\"1.0\"?><!-- only a comment -->");
    writeFile(m_dir / "good.xml", "<a/>");
    for (const char* file : { "missing.xml", "empty.xml", "text.xml", "open.xml", "noroot.xml", "dir" }) {
        SCOPED_TRACE(file);
        UaXmlDocument doc;
        ASSERT_EQ(0, doc.loadXmlFile((m_dir / "good.xml").c_str()));
        EXPECT_EQ(-1, doc.loadXmlFile((m_dir / file).c_str()));
        EXPECT_FALSE(doc.isLoaded());
        EXPECT_EQ(nullptr, doc.getNodeName());
        EXPECT_EQ(-1, doc.toRoot());
        EXPECT_EQ(-1, doc.getFirstChild());
    }
    UaXmlDocument doc;
    EXPECT_EQ(-1, doc.loadXmlFile(nullptr));
    EXPECT_EQ(-1, doc.loadXmlMemory(nullptr, 3, nullptr));
    EXPECT_EQ(-1, doc.saveXmlFile((m_dir / "out.xml").c_str()));
}

TEST_F(UaXmlDocumentTest, CursorVisitsElementsOnlyAndStaysPutOnFailure)
{
    UaXmlDocument doc;
    load(doc, kNodeset);
    EXPECT_EQ("UANodeSet", name(doc));

    ASSERT_EQ(0, doc.getFirstChild());
    EXPECT_EQ("UAVariable", name(doc)); // not the blank text before it
    EXPECT_EQ("ns=1;s=Temp", attribute(doc, "NodeId"));
    ASSERT_EQ(0, doc.getFollowingSibling()); // skips blank text and the comment
    EXPECT_EQ("ns=1;s=Press", attribute(doc, "NodeId"));
    ASSERT_EQ(0, doc.getFollowingSibling());
    EXPECT_EQ("Other", name(doc)); // local name, prefix dropped
    EXPECT_EQ("urn:x", std::string(doc.getNamespaceUri()));
    EXPECT_EQ(-1, doc.getFollowingSibling()); // the trailing comment is no element
    EXPECT_EQ("Other", name(doc));
    EXPECT_EQ(-1, doc.getFirstChild());
    EXPECT_EQ("Other", name(doc));

    ASSERT_EQ(0, doc.toRoot());
    EXPECT_EQ(-1, doc.getChild("Missing"));
    EXPECT_EQ(-1, doc.getChild(nullptr));
    EXPECT_EQ(-1, doc.getChild("uavariable")); // names are case-sensitive
    EXPECT_EQ("UANodeSet", name(doc));
    ASSERT_EQ(0, doc.getChild("UAVariable"));
    ASSERT_EQ(0, doc.getChild("DisplayName"));
    XmlText content;
    ASSERT_EQ(0, doc.getContent(content.p));
    EXPECT_EQ("Temp & more", content.str());
    EXPECT_EQ("<null>", attribute(doc, "Missing"));
    EXPECT_EQ("http://opcfoundation.org/UA/2011/03/UANodeSet.xsd", std::string(doc.getNamespaceUri()));
}

TEST_F(UaXmlDocumentTest, GetChildrenListsMatchesInOrderWithoutMovingTheCursor)
{
    UaXmlDocument doc;
    load(doc, kNodeset);
    std::vector<UaXmlElement> found(3);
    EXPECT_EQ(-1, doc.getChildren("Nothing", found));
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(0, doc.getChildren("UAVariable", found));
    ASSERT_EQ(2u, found.size());
    XmlText a, b;
    ASSERT_EQ(0, found[0].getAttributeValue("NodeId", a.p));
    ASSERT_EQ(0, found[1].getAttributeValue("NodeId", b.p));
    EXPECT_EQ("ns=1;s=Temp", a.str());
    EXPECT_EQ("ns=1;s=Press", b.str());
    EXPECT_EQ(-1, found[1].getAttributeValue("AccessLevel", a.p));
    EXPECT_EQ(nullptr, a.p); // a failed read frees and clears what was there
    EXPECT_EQ("UANodeSet", name(doc));
}

TEST_F(UaXmlDocumentTest, ParentOfRootIsTheDocumentNodeWhereNothingCanBeEdited)
{
    UaXmlDocument doc;
    load(doc, "<a><b/></a>");
    ASSERT_EQ(0, doc.getParent());
    EXPECT_EQ(nullptr, doc.getNodeName());
    EXPECT_EQ(-1, doc.getParent());
    EXPECT_EQ(-1, doc.addChild("second", nullptr)); // would give the document a second root
    EXPECT_EQ(-1, doc.setAttributeValue("x", "1"));
    EXPECT_EQ(-1, doc.removeCurrent());
    ASSERT_EQ(0, doc.getFirstChild());
    EXPECT_EQ("a", name(doc));
    EXPECT_EQ(-1, doc.removeCurrent()); // the root stays
    EXPECT_EQ("a", name(doc));
}

TEST_F(UaXmlDocumentTest, WritersRefuseTextThatCannotBeSaved)
{
    struct Case {
        const char* value;
        bool accepted;
    };
    const Case cases[] = {
        { "12.5", true },
        { "Gr\xC3\xBC\xC3\x9F"
          "e \xE2\x82\xAC \xF0\x9F\x98\x80",
            true },
        { "a & b < \"c\" > 'd'", true },
        { "tab\tline\nreturn\r", true },
        { "", true },
        { "\xC3", false }, // truncated sequence
        { "\xFF", false }, // never a lead byte
        { "a\x80", false }, // stray continuation byte
        { "\xC0\xAF", false }, // overlong "/"
        { "\xED\xA0\x80", false }, // encoded surrogate half
        { "bell\x07", false }, // no XML 1.0 character
        { "\xEF\xBF\xBF", false }, // U+FFFF
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.value));
        UaXmlDocument doc;
        load(doc, R"(<UAVariable AccessLevel="1"/>)");
        int expected = c.accepted ? 0 : -1;
        EXPECT_EQ(expected, doc.setAttributeValue("AccessLevel", c.value));
        EXPECT_EQ(c.accepted ? c.value : "1", attribute(doc, "AccessLevel"));
        EXPECT_EQ(expected, doc.addAttribute("Added", c.value));
        EXPECT_EQ(c.accepted ? c.value : "<null>", attribute(doc, "Added"));
        EXPECT_EQ(expected, doc.addChild("Child", c.value));
        EXPECT_EQ(c.accepted ? "Child" : "UAVariable", name(doc));
        if (c.accepted) {
            XmlText content;
            doc.getContent(content.p);
            EXPECT_EQ(c.value, content.str());
            // What was accepted must survive a save and a load.
            TempDir dir;
            ASSERT_EQ(0, doc.saveXmlFile((dir / "out.xml").c_str()));
            UaXmlDocument again;
            ASSERT_EQ(0, again.loadXmlFile((dir / "out.xml").c_str()));
            EXPECT_EQ(c.value, attribute(again, "AccessLevel"));
        }
    }
}

TEST_F(UaXmlDocumentTest, WritersRefuseMissingArgumentsBadNamesAndDuplicateAttributes)
{
    UaXmlDocument doc;
    EXPECT_EQ(-1, doc.setAttributeValue("a", "1")); // nothing loaded
    EXPECT_EQ(-1, doc.addChild("a", nullptr));
    load(doc, R"(<a x="1"/>)");
    EXPECT_EQ(-1, doc.setAttributeValue(nullptr, "1"));
    EXPECT_EQ(-1, doc.setAttributeValue("y", nullptr));
    EXPECT_EQ(-1, doc.addAttribute("x", "2")); // two x attributes would be unreadable
    EXPECT_EQ(-1, doc.addAttribute("bad name", "2"));
    EXPECT_EQ(-1, doc.addChild("", nullptr));
    EXPECT_EQ(-1, doc.addChild("1st", nullptr));
    EXPECT_EQ(-1, doc.addChild(nullptr, nullptr));
    EXPECT_EQ("a", name(doc));
    EXPECT_EQ(0, doc.setAttributeValue("y", "new")); // created when missing
    EXPECT_EQ("new", attribute(doc, "y"));
}

TEST_F(UaXmlDocumentTest, AddedAlarmElementLandsUnderTheVariable)
{
    UaXmlDocument doc;
    load(doc, kNodeset);
    ASSERT_EQ(0, doc.getChild("UAVariable"));
    ASSERT_EQ(0, doc.addChild("Tavox_Alarm", nullptr));
    const char* const attributes[][2] = {
        { "Alarm", "true" },
        { "AlarmLimit_HH", "90" },
        { "AlarmLimit_H", "80" },
        { "AlarmLimit_L", "10" },
    };
    for (auto& attribute : attributes)
        ASSERT_EQ(0, doc.addAttribute(attribute[0], attribute[1]));
    ASSERT_EQ(0, doc.getParent());
    EXPECT_EQ("UAVariable", name(doc));
    EXPECT_EQ("ns=1;s=Temp", attribute(doc, "NodeId"));

    char* dump = nullptr;
    int length = -1;
    ASSERT_EQ(0, doc.getChild("Tavox_Alarm"));
    ASSERT_EQ(0, doc.dumpCurrent(dump, length));
    const std::string expected
        = R"(<Tavox_Alarm Alarm="true" AlarmLimit_HH="90" AlarmLimit_H="80" AlarmLimit_L="10"/>)";
    EXPECT_EQ(expected, std::string(dump, static_cast<std::size_t>(length)));
    UaXmlDocument::freeXmlString(dump);
    EXPECT_EQ(nullptr, dump);

    // The new element carries no namespace of its own; the default one is in scope.
    EXPECT_EQ("http://opcfoundation.org/UA/2011/03/UANodeSet.xsd", std::string(doc.getNamespaceUri()));
    std::vector<UaXmlElement> alarms;
    ASSERT_EQ(0, doc.getParent());
    EXPECT_EQ(0, doc.getChildren("Tavox_Alarm", alarms));
    EXPECT_EQ(1u, alarms.size());

    ASSERT_EQ(0, doc.getChild("Tavox_Alarm"));
    ASSERT_EQ(0, doc.removeCurrent());
    EXPECT_EQ("UAVariable", name(doc));
    EXPECT_EQ(-1, doc.getChild("Tavox_Alarm"));
}

TEST_F(UaXmlDocumentTest, DumpCurrentGivesExactlyTheIndentedElement)
{
    UaXmlDocument doc;
    load(doc, "<r><a x=\"1\"><b>t</b><c/></a></r>");
    char* dump = nullptr;
    int length = 7;
    ASSERT_EQ(0, doc.getFirstChild());
    ASSERT_EQ(0, doc.dumpCurrent(dump, length));
    const std::string expected = "<a x=\"1\">\n    <b>t</b>\n    <c/>\n  </a>";
    ASSERT_EQ(static_cast<int>(expected.size()), length);
    EXPECT_EQ(expected, std::string(dump, static_cast<std::size_t>(length)));
    UaXmlDocument::freeXmlString(dump);

    UaXmlDocument empty;
    dump = nullptr;
    EXPECT_EQ(-1, empty.dumpCurrent(dump, length));
    EXPECT_EQ(nullptr, dump);
    EXPECT_EQ(0, length);
}

TEST_F(UaXmlDocumentTest, SaveAndLoadKeepElementsAttributesAndTheTrailingComment)
{
    UaXmlDocument doc;
    load(doc, kNodeset);
    ASSERT_EQ(0, doc.getChild("UAVariable"));
    ASSERT_EQ(0, doc.setAttributeValue("AccessLevel", "7"));
    const auto path = m_dir / "NodeConfig.xml";
    ASSERT_EQ(0, doc.saveXmlFile(path.c_str()));

    const std::string text = readFile(path);
    EXPECT_NE(std::string::npos, text.find("\n  <UAVariable NodeId=\"ns=1;s=Temp\"")) << text;
    EXPECT_NE(std::string::npos, text.find("</UANodeSet>\n<!--\n[HistorizedtoODBCSQL]\nActive=1\n-->\n")) << text;

    UaXmlDocument again;
    ASSERT_EQ(0, again.loadXmlFile(path.c_str()));
    ASSERT_EQ(0, again.getChild("UAVariable"));
    EXPECT_EQ("7", attribute(again, "AccessLevel"));
    EXPECT_EQ("1:Temp", attribute(again, "BrowseName"));
    ASSERT_EQ(0, again.getFollowingSibling());
    EXPECT_EQ("ns=1;s=Press", attribute(again, "NodeId"));
    ASSERT_EQ(0, again.getFollowingSibling());
    EXPECT_EQ("Other", name(again));

    // A second save over the same file gives the same bytes: nothing drifts across saves.
    ASSERT_EQ(0, again.saveXmlFile(path.c_str()));
    EXPECT_EQ(text, readFile(path));
}

TEST_F(UaXmlDocumentTest, SaveReplacesTheFileWholeAndKeepsItsMode)
{
    UaXmlDocument doc;
    load(doc, "<a/>");
    const auto path = m_dir / "cfg.xml";
    writeFile(path, "old");
    ASSERT_EQ(0, ::chmod(path.c_str(), 0640));
    ASSERT_EQ(0, doc.saveXmlFile(path.c_str()));
    struct stat info { };
    ASSERT_EQ(0, ::stat(path.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777);

    // Saved through a link, the linked file changes and the link stays.
    std::filesystem::create_symlink(path, m_dir / "link.xml");
    load(doc, "<b/>");
    ASSERT_EQ(0, doc.saveXmlFile((m_dir / "link.xml").c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(m_dir / "link.xml"));
    EXPECT_NE(std::string::npos, readFile(path).find("<b/>"));

    EXPECT_EQ(-1, doc.saveXmlFile((m_dir / "no" / "such" / "dir.xml").c_str()));
    EXPECT_EQ(-1, doc.saveXmlFile(""));
    EXPECT_EQ(-1, doc.saveXmlFile(nullptr));
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(m_dir.path()))
        ++files;
    EXPECT_EQ(2, files);
}

TEST_F(UaXmlDocumentTest, ExternalEntitiesAreNeverFetched)
{
    const auto secret = m_dir / "secret.txt";
    writeFile(secret, "TOP-SECRET");
    const std::string xml
        = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret.string() + "\">]>\n<r>[&x;]</r>";
    writeFile(m_dir / "entity.xml", xml);
    UaXmlDocument doc;
    ASSERT_EQ(0, doc.loadXmlFile((m_dir / "entity.xml").c_str()));
    XmlText content;
    doc.getContent(content.p);
    EXPECT_EQ(std::string::npos, content.str().find("TOP-SECRET"));
}

TEST_F(UaXmlDocumentTest, LibraryStaysUsableWhileAnyUserRemains)
{
    UaXmlDocument::initXmlLibrary();
    UaXmlDocument::cleanupXmlLibrary();
    UaXmlDocument doc;
    load(doc, "<a/>"); // the fixture's use still holds the library
    EXPECT_EQ("a", name(doc));
}

} // namespace
