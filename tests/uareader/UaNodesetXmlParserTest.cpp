#include "uareader/UaNodesetXmlParser.h"

#include "NodesetReading.h"
#include "uatypes/UaTestPrinters.h"

#include "uanodes/BaseNodeStandardUserData.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/DataType.h"
#include "uanodes/Method.h"
#include "uanodes/Object.h"
#include "uanodes/ObjectType.h"
#include "uanodes/ReferenceType.h"
#include "uanodes/Variable.h"
#include "uanodes/VariableType.h"
#include "uareader/UaTrace.h"
#include "uatypes/UaDateTime.h"
#include "uatypes/UaVariant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UaBase;

namespace {

UaNodeId id(const char* text) { return UaNodeId::fromXmlString(UaString(text)); }

class UaNodesetXmlParserTest : public ::testing::Test {
protected:
    XmlLibraryScope m_library;
};

struct LoadCase {
    const char* file;
    std::uint32_t status;
    const char* error;
};

TEST_F(UaNodesetXmlParserTest, LoadChecksTheFileRootAndSchema)
{
    const LoadCase cases[] = {
        { "missing.xml", UaStatus::BadInvalidArgument, "cannot load XML file" },
        { "empty.xml", UaStatus::BadInvalidArgument, "cannot load XML file" },
        { "not-well-formed.xml", UaStatus::BadInvalidArgument, "cannot load XML file" },
        { "wrong-root.xml", UaStatus::BadInvalidArgument, "root XML element name is not UANodeSet" },
        { "wrong-namespace.xml", UaStatus::BadInvalidArgument, "invalid XML schema" },
        { "no-namespace.xml", UaStatus::BadInvalidArgument, "invalid XML schema" },
        { "prefixed-root.xml", UaStatus::Good, "" },
        { "plant.xml", UaStatus::Good, "" },
    };
    for (const LoadCase& c : cases) {
        UaNodesetXmlParser reader;
        UaString error;
        EXPECT_EQ(reader.loadNodeset(UaString(nodesetFile(c.file).c_str()), error), UaStatus(c.status)) << c.file;
        EXPECT_EQ(error.toStdString(), c.error) << c.file;
        EXPECT_EQ(reader.xmlDocument() != nullptr, c.status == UaStatus::Good) << c.file;
    }
}

TEST_F(UaNodesetXmlParserTest, LoadReplacesTheDocumentPointerWithoutFreeingTheOldOne)
{
    UaNodesetXmlParser reader;
    UaString error;
    ASSERT_TRUE(reader.loadNodeset(UaString(nodesetFile("object-first.xml").c_str()), error).isGood());
    UaXmlDocument* previous = reader.xmlDocument();

    // A failed load leaves the pointer alone.
    EXPECT_FALSE(reader.loadNodeset(UaString(nodesetFile("wrong-root.xml").c_str()), error).isGood());
    EXPECT_EQ(reader.xmlDocument(), previous);

    ASSERT_TRUE(reader.loadNodeset(UaString(nodesetFile("plant.xml").c_str()), error).isGood());
    EXPECT_NE(reader.xmlDocument(), previous);
    // Still ours to use and free, as the Node Config page does with the document it kept.
    ASSERT_EQ(previous->toRoot(), 0);
    EXPECT_STREQ(previous->getNodeName(), "UANodeSet");
    previous->freeXmlDocument();
    delete previous;
}

TEST_F(UaNodesetXmlParserTest, ReadsASecondFileWithItsOwnTables)
{
    // A reader used again, as the Node Config page uses its reader for every file it opens.
    UaNodesetXmlParser reader;
    UaString error;
    NodeMap first;
    ASSERT_TRUE(reader.loadNodeset(UaString(nodesetFile("plant.xml").c_str()), error).isGood());
    ASSERT_TRUE(reader.parseNodes(first, error).isGood());
    // The same document read again (after an edit) keeps one set of extensions.
    NodeMap again;
    ASSERT_TRUE(reader.parseNodes(again, error).isGood());
    EXPECT_EQ(reader.documentExtensions().size(), 2u);

    UaXmlDocument* plant = reader.xmlDocument();
    ASSERT_TRUE(reader.loadNodeset(UaString(nodesetFile("object-first.xml").c_str()), error).isGood());
    delete plant;
    EXPECT_TRUE(reader.namespaceUris().empty());
    EXPECT_TRUE(reader.documentExtensions().empty());
    // The first file's aliases are gone.
    EXPECT_EQ(reader.resolveNodeId(UaWideString("HasComponent")), UaNodeId());
}

TEST_F(UaNodesetXmlParserTest, ParseWithoutADocumentFails)
{
    UaNodesetXmlParser reader;
    NodeMap nodes;
    UaString error;
    EXPECT_EQ(reader.parseNodes(nodes, error), UaStatus(UaStatus::BadInvalidArgument));
    EXPECT_EQ(error, UaString("no nodeset loaded"));
}

class FailingNamespaceReader : public UaNodesetXmlParser {
public:
    UaStatus readNamespaceUris() override { return UaStatus::BadOutOfMemory; }
};

TEST_F(UaNodesetXmlParserTest, ReadsNamespaceUrisAndReportsAFailingOverride)
{
    UaNodesetXmlParser reader;
    UaString error;
    ASSERT_TRUE(reader.loadNodeset(UaString(nodesetFile("plant.xml").c_str()), error).isGood());
    ASSERT_EQ(reader.namespaceUris().size(), 2u);
    EXPECT_EQ(reader.namespaceUris()[0], UaString("urn:tavox:plant"));
    EXPECT_EQ(reader.namespaceUris()[1], UaString("urn:tavox:vendor"));

    FailingNamespaceReader failing;
    EXPECT_EQ(
        failing.loadNodeset(UaString(nodesetFile("plant.xml").c_str()), error), UaStatus(UaStatus::BadOutOfMemory));
    EXPECT_EQ(error, UaString("reading namespace URIs failed"));
}

TEST_F(UaNodesetXmlParserTest, ReadsAnObjectThatIsTheRootsFirstChild)
{
    const NodesetRead read = readNodesetFile(nodesetFile("object-first.xml"));
    ASSERT_EQ(read.status, UaStatus(UaStatus::Good)) << read.error;
    ASSERT_EQ(read.nodes.size(), 1u);
    const Object* line = read.node<Object>("ns=1;i=5001");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->eventNotifier(), 1);
    EXPECT_EQ(line->displayName().toFullString(), UaString("en|Line 1"));
}

TEST_F(UaNodesetXmlParserTest, SkipsViewsAndReadsEveryOtherNodeElement)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_EQ(read.status, UaStatus(UaStatus::Good)) << read.error;
    EXPECT_EQ(read.nodes.size(), 12u);
    EXPECT_EQ(read.node("ns=1;i=9000"), nullptr);
}

TEST_F(UaNodesetXmlParserTest, ResolvesAliasesFirstDefinitionWinning)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        { "HasComponent", "i=47" }, // a second definition as i=46 is ignored
        { "Child", "i=47" }, // an alias naming an alias defined before it
        { "Organizes", "i=35" },
        { "i=2253", "i=2253" },
        { "ns=2;s=Line1", "ns=2;s=Line1" },
        { "hascomponent", "i=0" }, // names are compared exactly
        { "", "i=0" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read.reader->resolveNodeId(UaWideString(c.text)).toString(), UaString(c.expected)) << c.text;
    }
    // The object's reference typed "Child" ends on i=47.
    const Object* line = read.node<Object>("ns=1;i=5001");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->references()[2], Reference(id("i=47"), true, id("ns=1;i=6001")));
}

TEST_F(UaNodesetXmlParserTest, ReadsStringIdentifiersThroughTheWideStringRule)
{
    // A character outside the Basic Multilingual Plane becomes "?", as everywhere a node
    // identifier text goes through a UaWideString.
    const NodesetRead read = readNodesetText("<UAObject NodeId=\"ns=1;s=Pump\xF0\x9F\x98\x80\" BrowseName=\"Pump\"/>");
    ASSERT_TRUE(read.status.isGood()) << read.error;
    EXPECT_NE(read.node("ns=1;s=Pump?"), nullptr);
}

TEST_F(UaNodesetXmlParserTest, ReadsAttributesThatOnlyTheDocumentTypeGives)
{
    // A value that only the document type declaration gives is no text of the element itself.
    const std::string xml = "<!DOCTYPE UANodeSet [<!ATTLIST UAVariable AccessLevel CDATA \"7\">]>"
                            "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">"
                            "<UAObject NodeId=\"ns=1;i=5001\" BrowseName=\"Line\"/>"
                            "<UAVariable NodeId=\"ns=1;i=6001\" BrowseName=\"Level\" ParentNodeId=\"ns=1;i=5001\"/>"
                            "</UANodeSet>";
    auto* document = new UaXmlDocument;
    ASSERT_EQ(document->loadXmlMemory(xml.data(), static_cast<int>(xml.size()), nullptr), 0);
    UaNodesetXmlParser reader(document);
    NodeMap nodes;
    UaString error;
    ASSERT_TRUE(reader.parseNodes(nodes, error).isGood()) << error.toStdString();
    const auto* level = dynamic_cast<const Variable*>(nodes.find(id("ns=1;i=6001")));
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->accessLevel(), 7);
    EXPECT_EQ(level->parentNodeId(), id("ns=1;i=5001"));
}

struct VariableCase {
    const char* nodeId;
    const char* dataType;
    std::int32_t valueRank;
    std::uint8_t accessLevel;
    std::uint8_t userAccessLevel;
    bool historizing;
    double samplingInterval;
    std::uint32_t writeMask;
};

TEST_F(UaNodesetXmlParserTest, ReadsVariableAttributesWithTheirDefaults)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"), nullptr);
    ASSERT_TRUE(read.status.isGood()) << read.error;
    const VariableCase cases[] = {
        // DataType by alias; levels as written.
        { "ns=1;i=6001", "i=11", -1, 3, 3, false, 0, 0 },
        // No DataType: BaseDataType; ValueRank "abc": -1; AccessLevel "0x05": 1 (no hexadecimal for
        // Byte) while "5" is 5; WriteMask "0x1F": 31.
        { "ns=1;s=Line1.Pressure", "i=24", -1, 1, 5, false, 0, 31 },
        { "ns=1;i=6003", "i=12", 1, 7, 7, true, 0, 0 },
        // Historizing "True" is not true; no levels: 1.
        { "ns=1;i=6004", "i=13", -1, 1, 1, false, 250.5, 0 },
    };
    for (const VariableCase& c : cases) {
        const Variable* variable = read.node<Variable>(c.nodeId);
        ASSERT_NE(variable, nullptr) << c.nodeId;
        EXPECT_EQ(variable->dataType().toString(), UaString(c.dataType)) << c.nodeId;
        EXPECT_EQ(variable->valueRank(), c.valueRank) << c.nodeId;
        EXPECT_EQ(variable->accessLevel(), c.accessLevel) << c.nodeId;
        EXPECT_EQ(variable->userAccessLevel(), c.userAccessLevel) << c.nodeId;
        EXPECT_EQ(variable->historizing(), c.historizing) << c.nodeId;
        EXPECT_EQ(variable->minimumSamplingInterval(), c.samplingInterval) << c.nodeId;
        EXPECT_EQ(variable->writeMask(), c.writeMask) << c.nodeId;
    }
}

TEST_F(UaNodesetXmlParserTest, PutsEveryBrowseNameInNamespaceZero)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    const Variable* temperature = read.node<Variable>("ns=1;i=6001");
    ASSERT_NE(temperature, nullptr);
    EXPECT_EQ(temperature->browseName().toFullString(), UaString("ns=0|Temperature"));
    // A display name without Locale has an empty locale.
    EXPECT_EQ(temperature->displayName().toFullString(), UaString("|Temperature"));
}

TEST_F(UaNodesetXmlParserTest, ReadsTheOtherNodeClassesAttributes)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_TRUE(read.status.isGood()) << read.error;

    const Method* reset = read.node<Method>("ns=1;i=7001");
    ASSERT_NE(reset, nullptr);
    EXPECT_TRUE(reset->executable()); // absent: true
    EXPECT_FALSE(reset->userExecutable());
    EXPECT_EQ(reset->parentNodeId(), id("ns=1;i=5001"));

    const ObjectType* lineType = read.node<ObjectType>("ns=1;i=1001");
    ASSERT_NE(lineType, nullptr);
    EXPECT_TRUE(lineType->isAbstract());
    EXPECT_EQ(lineType->superType(), id("i=58")); // outside the file

    const VariableType* limitType = read.node<VariableType>("ns=1;i=2001");
    ASSERT_NE(limitType, nullptr);
    EXPECT_EQ(limitType->valueRank(), -2);
    EXPECT_EQ(limitType->value().toString(), UaString("{1,2.5}"));

    const ReferenceType* feeds = read.node<ReferenceType>("ns=1;i=4001");
    ASSERT_NE(feeds, nullptr);
    EXPECT_TRUE(feeds->symmetric());
    EXPECT_EQ(feeds->inverseName().toFullString(), UaString("en|FedBy"));
}

TEST_F(UaNodesetXmlParserTest, DecodesValuesWithoutFailingTheRead)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    struct Case {
        const char* nodeId;
        UaBuiltInType type;
        const char* text;
    };
    const Case cases[] = {
        { "ns=1;i=6001", UaBuiltInType::Double, "21.5" },
        { "ns=1;s=Line1.Pressure", UaBuiltInType::Int32, "0" }, // "abc"
        { "ns=1;i=6003", UaBuiltInType::String, "{Auto,Manual,Off}" },
        { "ns=1;i=6004", UaBuiltInType::DateTime, "2024-03-01T10:30:00.250Z" }, // +02:00
    };
    for (const Case& c : cases) {
        const Variable* variable = read.node<Variable>(c.nodeId);
        ASSERT_NE(variable, nullptr) << c.nodeId;
        EXPECT_EQ(variable->value().type(), c.type) << c.nodeId;
        EXPECT_EQ(variable->value().toString(), UaString(c.text)) << c.nodeId;
    }
}

TEST_F(UaNodesetXmlParserTest, ReadsTheAlarmElement)
{
    CTavoxBaseNodeFactory factory;
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"), &factory);
    ASSERT_TRUE(read.status.isGood()) << read.error;
    struct Case {
        const char* nodeId;
        bool enabled;
        std::vector<std::pair<const char*, const char*>> settings;
    };
    const Case cases[] = {
        // Alarm="true" and two limits: three entries.
        { "ns=1;i=6001", true, { { "Alarm", "true" }, { "AlarmLimit_HH", "90" }, { "AlarmLimit_LL", "-10" } } },
        // Alarm="false": off and nothing stored, whatever limits it carries.
        { "ns=1;s=Line1.Pressure", false, {} },
        // No Alarm attribute: the flag keeps its default, the limits are stored.
        { "ns=1;i=6003", false, { { "AlarmLimit_H", "50" } } },
        // No alarm element.
        { "ns=1;i=6004", false, {} },
    };
    for (const Case& c : cases) {
        const Variable* variable = read.node<Variable>(c.nodeId);
        ASSERT_NE(variable, nullptr) << c.nodeId;
        EXPECT_EQ(variable->alarmEnabled(), c.enabled) << c.nodeId;
        AlarmSettings expected;
        for (const auto& [name, value] : c.settings)
            expected.emplace(name, value);
        EXPECT_EQ(variable->alarmSettings(), expected) << c.nodeId;
    }
}

TEST_F(UaNodesetXmlParserTest, AddsOneSidedReferencesToBothNodesAndCollapsesDuplicates)
{
    const NodesetRead read = readNodesetFile(nodesetFile("inverse-reference.xml"));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    const BaseNode* line = read.node("ns=1;i=5001");
    const BaseNode* plant = read.node("ns=1;i=5000");
    ASSERT_NE(line, nullptr);
    ASSERT_NE(plant, nullptr);
    EXPECT_EQ(line->references(), std::vector<Reference>({ Reference(id("i=35"), false, id("ns=1;i=5000")) }));
    EXPECT_EQ(plant->references(), std::vector<Reference>({ Reference(id("i=35"), true, id("ns=1;i=5001")) }));

    const NodesetRead plantFile = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_TRUE(plantFile.status.isGood());
    const BaseNode* modes = plantFile.node("ns=1;i=6003");
    ASSERT_NE(modes, nullptr);
    // Listed twice in the file, and added again as the inverse of the object's reference: once.
    EXPECT_EQ(modes->references(), std::vector<Reference>({ Reference(id("i=47"), false, id("ns=1;i=5001")) }));
    UaNodeId parent;
    UaNodeId referenceType;
    modes->getParent(parent, referenceType);
    EXPECT_EQ(parent, id("ns=1;i=5001"));
}

TEST_F(UaNodesetXmlParserTest, KeepsDocumentAndNodeExtensions)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    const std::vector<Extension>& extensions = read.reader->documentExtensions();
    ASSERT_EQ(extensions.size(), 2u);
    EXPECT_EQ(extensions[0].name(), UaString("Generator"));
    EXPECT_EQ(extensions[0].namespaceUri(), UaString("urn:tavox:tools"));
    EXPECT_NE(std::string(extensions[0].body().view()).find("written for the reader tests"), std::string::npos);
    EXPECT_EQ(extensions[1].name(), UaString("Checksum"));
    EXPECT_EQ(extensions[1].namespaceUri(), UaString("http://opcfoundation.org/UA/2011/03/UANodeSet.xsd"));

    const Method* reset = read.node<Method>("ns=1;i=7001");
    ASSERT_NE(reset, nullptr);
    ASSERT_EQ(reset->extensions().size(), 1u);
    EXPECT_TRUE(reset->extensions()[0].namespaceUri().isEmpty());
    auto userData = reset->createUserData();
    ASSERT_NE(userData, nullptr);
    EXPECT_EQ(static_cast<BaseNodeStandardUserData*>(userData.get())->value(), 42); // 4<Digit>2</Digit>
}

TEST_F(UaNodesetXmlParserTest, ReadsTheFirstDocumentExtensionsWhereverTheyStand)
{
    const std::string extensions = "<Extensions><Extension><Generator/></Extension></Extensions>"
                                   "<Extensions><Extension><Ignored/></Extension></Extensions>";
    const std::string good = "<UAObject NodeId=\"ns=1;i=1\" BrowseName=\"1:Line1\"/>";
    const std::string bad = "<UAObject BrowseName=\"1:Line2\"/>";
    for (const std::string& body : { good + extensions, extensions + good, good + bad + good + extensions }) {
        const NodesetRead read = readNodesetText(body);
        const std::vector<Extension>& found = read.reader->documentExtensions();
        ASSERT_EQ(found.size(), 1u) << body;
        EXPECT_EQ(found[0].name(), UaString("Generator")) << body;
    }
    // After a bad node the cursor stays on it.
    const NodesetRead failed = readNodesetText(good + bad + extensions);
    EXPECT_EQ(failed.status, UaStatus(UaStatus::Bad));
    EXPECT_EQ(failed.reader->failedElementPosition(), 2u);
    char* browseName = nullptr;
    ASSERT_EQ(failed.reader->xmlDocument()->getAttributeValue("BrowseName", browseName), 0);
    EXPECT_STREQ(browseName, "1:Line2");
    UaXmlDocument::freeXmlString(browseName);
}

struct FailureCase {
    const char* file;
    std::uint32_t status;
    long line;
};

TEST_F(UaNodesetXmlParserTest, FailsOnABadNodeAndLeavesNoNodes)
{
    const FailureCase cases[] = {
        { "duplicate-nodeid.xml", UaStatus::BadNodeIdExists, 9 },
        { "missing-browsename.xml", UaStatus::Bad, 6 },
        { "reference-without-type.xml", UaStatus::Bad, 3 },
        { "extension-without-child.xml", UaStatus::Bad, 3 },
    };
    for (const FailureCase& c : cases) {
        const NodesetRead read = readNodesetFile(nodesetFile(c.file));
        EXPECT_EQ(read.status, UaStatus(c.status)) << c.file;
        EXPECT_EQ(read.error, "parsing node fails") << c.file;
        EXPECT_TRUE(read.nodes.empty()) << c.file;
        EXPECT_EQ(read.reader->failedElementLine(), c.line) << c.file;
    }
    const NodesetRead noNodeId = readNodesetText("<UAObject BrowseName=\"Line1\"/>");
    EXPECT_EQ(noNodeId.status, UaStatus(UaStatus::Bad));
    EXPECT_TRUE(noNodeId.nodes.empty());
}

TEST_F(UaNodesetXmlParserTest, TracesADuplicateOnlyWhenTheLevelIsRaised)
{
    struct Case {
        const char* element;
        int level;
        const char* line;
    };
    const Case cases[] = {
        { "UAVariable", 1, "Error NodeManagerAdvancedXmlParser::parseVariable - NodeId already exists ns=1;i=7\n" },
        { "UAObject", 1, "Error NodeManagerAdvancedXmlParser::parseVariable - NodeId already exists ns=1;i=7\n" },
        { "UAObjectType",
            1,
            "Error NodeManagerAdvancedXmlParser::parseReferenceType - NodeId already exists ns=1;i=7\n" },
        { "UAReferenceType",
            1,
            "Error NodeManagerAdvancedXmlParser::parseReferenceType - NodeId already exists ns=1;i=7\n" },
        { "UAVariable", 0, "" },
    };
    for (const Case& c : cases) {
        const std::string element = std::string("<") + c.element + " NodeId=\"ns=1;i=7\" BrowseName=\"A\"/>";
        ScopedTraceCapture capture(c.level);
        const NodesetRead read = readNodesetText(element + element);
        EXPECT_EQ(read.status, UaStatus(UaStatus::BadNodeIdExists)) << c.element;
        EXPECT_EQ(capture.lines(), c.line) << c.element;
    }
}

TEST_F(UaNodesetXmlParserTest, UsesItsOwnFactoryWhenNoneIsInstalled)
{
    class CountingFactory : public BaseNodeFactory {
    public:
        std::unique_ptr<Variable> createVariable(const UaNodeId& nodeId) override
        {
            ++created;
            return BaseNodeFactory::createVariable(nodeId);
        }
        int created = 0;
    };
    CountingFactory factory;
    const NodesetRead withFactory = readNodesetFile(nodesetFile("plant.xml"), &factory);
    EXPECT_EQ(factory.created, 4);
    EXPECT_TRUE(withFactory.status.isGood());
    const NodesetRead withoutFactory = readNodesetFile(nodesetFile("plant.xml"));
    EXPECT_EQ(withoutFactory.nodes.size(), withFactory.nodes.size());
}

TEST_F(UaNodesetXmlParserTest, ReservedOperationIsNotImplemented)
{
    UaNodesetXmlParser reader;
    EXPECT_EQ(reader.parseReserved(), UaStatus(UaStatus::BadNotImplemented));
}

} // namespace
