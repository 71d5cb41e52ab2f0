#include "uaxml/UaXmlDocument.h"

#include "testing/TempDir.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
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
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
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

/// Notes what it is told of, and what it can and cannot do with the document meanwhile.
class RecordingListener : public UaXmlDocument::ElementListener {
public:
    void topLevelElementRead(UaXmlDocument& document) noexcept override
    {
        threads.insert(std::this_thread::get_id());
        // The element's subtree is all there is: nothing leads out of it.
        const _xmlNode* element = document.currentElement();
        keptInside = keptInside && document.getParent() == -1 && document.getFollowingSibling() == -1
            && document.moveTo(element->parent) == -1 && document.toRoot() == 0 && document.currentElement() == element;
        std::string line = document.getNodeName();
        char* value = nullptr;
        if (document.getAttributeValue("n", value) == 0)
            line.append(" ").append(value);
        UaXmlDocument::freeXmlString(value);
        if (document.getChild("Inner") == 0 && document.getFirstChild() == 0) {
            line.append(" > ").append(document.getNodeName());
            // Inside it the cursor moves freely.
            keptInside = keptInside && document.getParent() == 0 && document.getParent() == 0
                && document.currentElement() == element && document.moveTo(element) == 0;
        }
        editRefused = editRefused && document.setAttributeValue("n", "x") == -1
            && document.addChild("New", nullptr) == -1 && document.removeCurrent() == -1;
        told.push_back(line);
    }

    std::vector<std::string> told;
    std::set<std::thread::id> threads;
    bool editRefused = true;
    bool keptInside = true;
};

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
        EXPECT_EQ(-1, doc.saveXmlFile((m_dir / "out.xml").c_str()));
    }
}

/// What the process writes to its standard error while the object lives.
class StandardErrorCapture {
public:
    explicit StandardErrorCapture(const std::filesystem::path& file)
        : m_file(file)
        , m_saved(::dup(STDERR_FILENO))
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StandardErrorCapture() { restore(); }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    std::string text()
    {
        restore();
        return readFile(m_file);
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    std::filesystem::path m_file;
    int m_saved;
};

TEST_F(UaXmlDocumentTest, FailedLoadsSayWhyInOneLineAndPrintNothing)
{
    writeFile(m_dir / "open.xml", "<a>\n<b></a>");
    writeFile(m_dir / "empty.xml", "");
    writeFile(m_dir / "entity.xml", "<!DOCTYPE a [<!ENTITY e \"x\">]>\n<a>&e;</a>");
    ASSERT_EQ(0, ::mkfifo((m_dir / "fifo.xml").c_str(), 0600));
    // Sparse: the size is there without the disk space.
    writeFile(m_dir / "huge.xml", "<a>");
    std::filesystem::resize_file(m_dir / "huge.xml", UaXmlDocument::kMaxFileBytes + 1);
    struct Case {
        std::filesystem::path file;
        std::string failure;
    };
    const Case cases[] = {
        { m_dir / "missing.xml", "cannot read " + (m_dir / "missing.xml").string() + ": No such file or directory" },
        { m_dir.path(), "cannot read " + m_dir.path().string() + ": it is a directory" },
        // Neither may block the load or fill the memory.
        { m_dir / "fifo.xml", "cannot read " + (m_dir / "fifo.xml").string() + ": it is not a regular file" },
        { "/dev/zero", "cannot read /dev/zero: it is not a regular file" },
        { m_dir / "huge.xml", "cannot read " + (m_dir / "huge.xml").string() + ": it is larger than 64 MiB" },
        { m_dir / "open.xml", "line 2: Opening and ending tag mismatch: b line 2 and a" },
        { m_dir / "empty.xml", "line 1: Document is empty" },
        { m_dir / "entity.xml", "line 1: the document type declares an entity" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        UaXmlDocument doc;
        StandardErrorCapture err(m_dir / "stderr.txt");
        EXPECT_EQ(-1, doc.loadXmlFile(c.file.c_str()));
        EXPECT_EQ(doc.loadFailure(), c.failure);
        EXPECT_EQ(err.text(), "");
    }
    UaXmlDocument doc;
    EXPECT_EQ(-1, doc.loadXmlFile((m_dir / "open.xml").c_str()));
    writeFile(m_dir / "good.xml", "<a/>");
    EXPECT_EQ(0, doc.loadXmlFile((m_dir / "good.xml").c_str()));
    EXPECT_EQ(doc.loadFailure(), "");
}

TEST_F(UaXmlDocumentTest, CursorVisitsElementsOnlyAndStaysPutOnFailure)
{
    UaXmlDocument doc;
    load(doc, kNodeset);
    ASSERT_EQ(0, doc.getFirstChild());
    EXPECT_EQ("ns=1;s=Temp", attribute(doc, "NodeId")); // not the blank text before it
    ASSERT_EQ(0, doc.getFollowingSibling()); // skips blank text and the comment
    EXPECT_EQ("ns=1;s=Press", attribute(doc, "NodeId"));
    ASSERT_EQ(0, doc.getFollowingSibling());
    EXPECT_EQ("Other", name(doc)); // local name, prefix dropped
    EXPECT_STREQ("urn:x", doc.getNamespaceUri());
    EXPECT_EQ(-1, doc.getFollowingSibling()); // the trailing comment is no element
    EXPECT_EQ(-1, doc.getFirstChild());
    EXPECT_EQ("Other", name(doc));

    ASSERT_EQ(0, doc.toRoot());
    for (const char* missing : { "Missing", "uavariable", static_cast<const char*>(nullptr) })
        EXPECT_EQ(-1, doc.getChild(missing));
    EXPECT_EQ("UANodeSet", name(doc));
    std::vector<UaXmlElement> found(3);
    EXPECT_EQ(-1, doc.getChildren("Nothing", found));
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(0, doc.getChildren("UAVariable", found));
    ASSERT_EQ(2u, found.size());
    XmlText id;
    ASSERT_EQ(0, found[1].getAttributeValue("NodeId", id.p));
    EXPECT_EQ("ns=1;s=Press", id.str());
    EXPECT_EQ(-1, found[1].getAttributeValue("AccessLevel", id.p));
    EXPECT_EQ(nullptr, id.p); // a failed read frees and clears what was there

    ASSERT_EQ(0, doc.getChild("UAVariable"));
    ASSERT_EQ(0, doc.getChild("DisplayName"));
    XmlText content;
    ASSERT_EQ(0, doc.getContent(content.p));
    EXPECT_EQ("Temp & more", content.str());
    EXPECT_STREQ("http://opcfoundation.org/UA/2011/03/UANodeSet.xsd", doc.getNamespaceUri());
}

TEST_F(UaXmlDocumentTest, EditsThatWouldBreakTheDocumentAreRefused)
{
    UaXmlDocument doc;
    EXPECT_EQ(-1, doc.setAttributeValue("a", "1")); // nothing loaded
    load(doc, R"(<a x="1"><b/></a>)");
    EXPECT_EQ(-1, doc.addAttribute("x", "2")); // two x attributes would make the file unreadable
    EXPECT_EQ(-1, doc.addAttribute("bad name", "2"));
    EXPECT_EQ(-1, doc.setAttributeValue(nullptr, "1"));
    EXPECT_EQ(-1, doc.setAttributeValue("y", nullptr));
    for (const char* bad : { "", "1st", "a b", static_cast<const char*>(nullptr) })
        EXPECT_EQ(-1, doc.addChild(bad, nullptr));
    EXPECT_EQ(-1, doc.removeCurrent()); // the root stays
    EXPECT_EQ("a", name(doc));

    ASSERT_EQ(0, doc.getParent()); // the document node
    EXPECT_EQ(nullptr, doc.getNodeName());
    EXPECT_EQ(-1, doc.getParent());
    EXPECT_EQ(-1, doc.addChild("second", nullptr)); // would give the document a second root
    EXPECT_EQ(-1, doc.setAttributeValue("x", "1"));
    EXPECT_EQ(-1, doc.removeCurrent()); // would free the document under the object
    ASSERT_EQ(0, doc.getFirstChild());
    EXPECT_EQ(0, doc.setAttributeValue("y", "new")); // created when missing
    EXPECT_EQ("new", attribute(doc, "y"));
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
        if (c.accepted) { // what was accepted must survive a save and a load
            ASSERT_EQ(0, doc.saveXmlFile((m_dir / "out.xml").c_str()));
            UaXmlDocument again;
            ASSERT_EQ(0, again.loadXmlFile((m_dir / "out.xml").c_str()));
            EXPECT_EQ(c.value, attribute(again, "Added"));
            ASSERT_EQ(0, again.getChild("Child"));
            XmlText content;
            again.getContent(content.p);
            EXPECT_EQ(c.value, content.str());
        }
    }
}

TEST_F(UaXmlDocumentTest, AlarmElementAddedUnderTheVariableCanBeRemovedAgain)
{
    UaXmlDocument doc;
    load(doc, kNodeset);
    ASSERT_EQ(0, doc.getChild("UAVariable"));
    ASSERT_EQ(0, doc.addChild("Tavox_Alarm", nullptr));
    for (const char* attribute : { "Alarm", "AlarmLimit_HH", "AlarmLimit_H", "AlarmLimit_L" })
        ASSERT_EQ(0, doc.addAttribute(attribute, "1"));
    ASSERT_EQ(0, doc.getParent());
    EXPECT_EQ("ns=1;s=Temp", attribute(doc, "NodeId"));
    std::vector<UaXmlElement> alarms;
    ASSERT_EQ(0, doc.getChildren("Tavox_Alarm", alarms));
    ASSERT_EQ(1u, alarms.size());
    XmlText limit;
    EXPECT_EQ(0, alarms[0].getAttributeValue("AlarmLimit_L", limit.p));

    ASSERT_EQ(0, doc.getChild("Tavox_Alarm"));
    // No namespace of its own: the default one is in scope.
    EXPECT_STREQ("http://opcfoundation.org/UA/2011/03/UANodeSet.xsd", doc.getNamespaceUri());
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
    EXPECT_EQ(nullptr, dump);

    UaXmlDocument empty;
    EXPECT_EQ(-1, empty.dumpCurrent(dump, length));
    EXPECT_EQ(nullptr, dump);
}

TEST_F(UaXmlDocumentTest, SaveAndLoadKeepElementsAttributesAndTheTrailingComment)
{
    UaXmlDocument doc;
    load(doc, kNodeset);
    ASSERT_EQ(0, doc.getChild("UAVariable"));
    ASSERT_EQ(0, doc.setAttributeValue("AccessLevel", "7"));
    const auto path = m_dir / "NodeConfig.xml";
    writeFile(path, "old");
    ASSERT_EQ(0, ::chmod(path.c_str(), 0640));
    ASSERT_EQ(0, doc.saveXmlFile(path.c_str()));

    const std::string text = readFile(path);
    EXPECT_NE(std::string::npos, text.find("\n  <UAVariable NodeId=\"ns=1;s=Temp\"")) << text;
    EXPECT_NE(std::string::npos, text.find("</UANodeSet>\n<!--\n[HistorizedtoODBCSQL]\nActive=1\n-->\n")) << text;
    struct stat info {};
    ASSERT_EQ(0, ::stat(path.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777);

    UaXmlDocument again;
    ASSERT_EQ(0, again.loadXmlFile(path.c_str()));
    ASSERT_EQ(0, again.getChild("UAVariable"));
    EXPECT_EQ("7", attribute(again, "AccessLevel"));
    EXPECT_EQ("1:Temp", attribute(again, "BrowseName"));
    ASSERT_EQ(0, again.getFollowingSibling());
    EXPECT_EQ("ns=1;s=Press", attribute(again, "NodeId"));
    // A second save gives the same bytes: nothing drifts across saves.
    ASSERT_EQ(0, again.saveXmlFile(path.c_str()));
    EXPECT_EQ(text, readFile(path));

    EXPECT_EQ(-1, doc.saveXmlFile((m_dir / "no" / "such.xml").c_str()));
    EXPECT_EQ(-1, doc.saveXmlFile(""));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(m_dir.path()), {})); // no temporary left
}

TEST_F(UaXmlDocumentTest, SavedInMemoryExactlyAsLibxml2SavesTheFile)
{
    const std::string latin1
        = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<UANodeSet><A B=\"\xE9t\xE9\"/></UANodeSet>\n";
    for (const std::string& xml :
        { std::string(kNodeset), std::string("<UANodeSet><A/><!-- c --></UANodeSet>"), latin1 }) {
        UaXmlDocument doc;
        load(doc, xml);
        std::string text = "left over";
        ASSERT_EQ(0, doc.saveXmlMemory(text));
        xmlDocPtr plain = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, XML_PARSE_NOBLANKS);
        ASSERT_NE(nullptr, plain);
        const auto path = m_dir / "libxml2.xml";
        ASSERT_GE(xmlSaveFormatFile(path.c_str(), plain, 1), 0);
        xmlFreeDoc(plain);
        EXPECT_EQ(readFile(path), text);
    }
    UaXmlDocument empty;
    std::string text = "left over";
    EXPECT_EQ(-1, empty.saveXmlMemory(text));
    EXPECT_TRUE(text.empty());
}

TEST_F(UaXmlDocumentTest, ListenerIsToldOfEveryFinishedChildOfTheRootInOrder)
{
    // Enough children for several hand-overs to the listener's thread.
    std::string xml = "<?xml version=\"1.0\"?>\n<!-- before -->\n<Root xmlns=\"urn:r\">";
    std::vector<std::string> expected;
    for (int i = 0; i < 700; ++i) {
        xml += "<E n=\"" + std::to_string(i) + "\"><Inner><Deep/></Inner>text</E><!-- c -->";
        expected.push_back("E " + std::to_string(i) + " > Deep");
    }
    xml += "<Last/></Root>\n<!-- after -->\n";
    expected.push_back("Last");
    writeFile(m_dir / "many.xml", xml);

    RecordingListener listener;
    UaXmlDocument listened;
    ASSERT_EQ(0, listened.loadXmlFile((m_dir / "many.xml").c_str(), &listener));
    EXPECT_EQ(expected, listener.told);
    EXPECT_TRUE(listener.editRefused);
    EXPECT_TRUE(listener.keptInside);
    ASSERT_EQ(1u, listener.threads.size());
    EXPECT_NE(std::this_thread::get_id(), *listener.threads.begin());

    // The document is the one a plain load gives, and is editable again.
    UaXmlDocument plain;
    ASSERT_EQ(0, plain.loadXmlFile((m_dir / "many.xml").c_str()));
    ASSERT_EQ(0, plain.saveXmlFile((m_dir / "plain.xml").c_str()));
    ASSERT_EQ(0, listened.saveXmlFile((m_dir / "listened.xml").c_str()));
    EXPECT_EQ(readFile(m_dir / "plain.xml"), readFile(m_dir / "listened.xml"));
    ASSERT_EQ(0, listened.getChild("Last"));
    EXPECT_EQ(0, listened.setAttributeValue("n", "edited"));
}

TEST_F(UaXmlDocumentTest, LinesAreKeptPastWhatLibxml2Keeps)
{
    // Elements before and after line 65535, a start tag over two lines (its line is where it
    // ends), an element with children and text.
    std::string xml = "<Root>\n";
    for (int i = 0; i < 70000; ++i)
        xml += "<E/>\n";
    xml += "<Two\n a=\"1\">\n<Child/>text</Two>\n<Last/></Root>\n";
    writeFile(m_dir / "long.xml", xml);

    UaXmlDocument fromFile;
    RecordingListener listener;
    UaXmlDocument fromMemory;
    ASSERT_EQ(0, fromFile.loadXmlFile((m_dir / "long.xml").c_str(), &listener));
    load(fromMemory, xml);
    for (UaXmlDocument* doc : { &fromFile, &fromMemory }) {
        ASSERT_EQ(0, doc->getFirstChild());
        EXPECT_EQ(2, UaXmlDocument::lineOf(doc->currentElement()));
        ASSERT_EQ(0, doc->toRoot());
        ASSERT_EQ(0, doc->getChild("Two"));
        EXPECT_EQ(70003, UaXmlDocument::lineOf(doc->currentElement()));
        ASSERT_EQ(0, doc->getChild("Child"));
        EXPECT_EQ(70004, UaXmlDocument::lineOf(doc->currentElement()));
        ASSERT_EQ(0, doc->toRoot());
        ASSERT_EQ(0, doc->getChild("Last"));
        EXPECT_EQ(70005, UaXmlDocument::lineOf(doc->currentElement()));
        ASSERT_EQ(0, doc->addChild("Added", nullptr));
        EXPECT_EQ(0, UaXmlDocument::lineOf(doc->currentElement()));
    }
    EXPECT_EQ(0, UaXmlDocument::lineOf(nullptr));
}

TEST_F(UaXmlDocumentTest, ListenedLoadThatFailsLeavesNothingBehind)
{
    std::string xml = "<Root>";
    for (int i = 0; i < 600; ++i)
        xml += "<E n=\"" + std::to_string(i) + "\"/>";
    writeFile(m_dir / "broken.xml", xml + "<E></Root>");
    RecordingListener listener;
    UaXmlDocument doc;
    EXPECT_EQ(-1, doc.loadXmlFile((m_dir / "broken.xml").c_str(), &listener));
    EXPECT_FALSE(doc.isLoaded());
    EXPECT_LE(listener.told.size(), 600u); // what was told before the fault; the rest is dropped

    RecordingListener none;
    EXPECT_EQ(-1, doc.loadXmlFile((m_dir / "missing.xml").c_str(), &none));
    EXPECT_TRUE(none.told.empty());
}

TEST_F(UaXmlDocumentTest, RevisionChangesWithEveryLoadEditAndFreeOnly)
{
    UaXmlDocument doc;
    UaXmlDocument other;
    load(doc, kNodeset);
    load(other, kNodeset);
    EXPECT_NE(doc.revision(), other.revision());
    const auto loaded = doc.revision();
    ASSERT_EQ(0, doc.getChild("UAVariable"));
    XmlText dump;
    int length = 0;
    ASSERT_EQ(0, doc.dumpCurrent(dump.p, length));
    EXPECT_EQ(loaded, doc.revision());
    EXPECT_EQ(-1, doc.setAttributeValue("1bad", "x"));
    EXPECT_EQ(loaded, doc.revision());

    std::vector<std::uint64_t> seen { loaded };
    ASSERT_EQ(0, doc.setAttributeValue("AccessLevel", "3"));
    seen.push_back(doc.revision());
    ASSERT_EQ(0, doc.addAttribute("Historizing", "true"));
    seen.push_back(doc.revision());
    ASSERT_EQ(0, doc.addChild("Tavox_Alarm", nullptr));
    seen.push_back(doc.revision());
    ASSERT_EQ(0, doc.removeCurrent());
    seen.push_back(doc.revision());
    doc.freeXmlDocument();
    seen.push_back(doc.revision());
    EXPECT_EQ(seen.size(), std::set<std::uint64_t>(seen.begin(), seen.end()).size());
}

TEST_F(UaXmlDocumentTest, RefusesDocumentsWhoseDocumentTypeDeclaresEntities)
{
    // One entity of 10 KB named 200 times: 2 MB of text from a file of 12 KB, were it expanded.
    std::string uses;
    for (int i = 0; i < 200; ++i)
        uses += "<d>&big;</d>";
    writeFile(m_dir / "secret.txt", "TOP-SECRET");
    const std::string secret = "file://" + (m_dir / "secret.txt").string();
    const struct {
        const char* what;
        std::string text;
        int result;
    } cases[] = {
        { "internal entity",
            "<!DOCTYPE r [<!ENTITY big \"" + std::string(10240, 'x') + "\">]><r>" + uses + "</r>",
            -1 },
        { "external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secret + "\">]>\n<r>[&x;]</r>", -1 },
        { "parameter entity", "<!DOCTYPE r [<!ENTITY % p \"<!ELEMENT r ANY>\"> %p;]><r/>", -1 },
        { "unparsed entity", "<!DOCTYPE r [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u\" NDATA n>]><r/>", -1 },
        { "declared after other declarations", "<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY e \"e\">]><r/>", -1 },
        { "document type without entities",
            "<!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r a CDATA \"1\">]><r>&amp;</r>",
            0 },
        { "predefined entities only", "<r a=\"&lt;&#65;\">&gt;&quot;</r>", 0 },
    };
    for (const auto& c : cases) {
        writeFile(m_dir / "doc.xml", c.text);
        UaXmlDocument fromFile;
        EXPECT_EQ(fromFile.loadXmlFile((m_dir / "doc.xml").c_str()), c.result) << c.what;
        EXPECT_EQ(fromFile.isLoaded(), c.result == 0) << c.what;
        UaXmlDocument fromMemory;
        EXPECT_EQ(fromMemory.loadXmlMemory(c.text.data(), static_cast<int>(c.text.size()), nullptr), c.result)
            << c.what;
        RecordingListener listener;
        UaXmlDocument listened;
        EXPECT_EQ(listened.loadXmlFile((m_dir / "doc.xml").c_str(), &listener), c.result) << c.what;
    }
}

} // namespace
