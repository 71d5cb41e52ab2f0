// The reader reads node elements while loadNodeset parses the file and parseNodes takes those
// nodes over. These tests hold that path to what reading the loaded document afterwards gives,
// node by node, for real nodesets and for the awkward ones.

#include "tavox-nodeset/NodeJson.h"

#include "testing/StandardNodesets.h"
#include "testing/TempDir.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/NodeMap.h"
#include "uanodes/Object.h"
#include "uanodes/Variable.h"
#include "uanodes/VariableType.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uareader/UaTrace.h"
#include "uatypes/UaVariant.h"
#include "uaxml/UaXmlDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using UaBase::BaseNode;
using UaBase::NodeMap;
using UaBase::UaNodesetXmlParser;

const char* const kHeader = "<?xml version=\"1.0\"?>\n<UANodeSet "
                            "xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\" "
                            "xmlns:uax=\"http://opcfoundation.org/UA/2008/02/Types.xsd\">\n";

struct Outcome {
    std::string load;
    std::string parse;
    long failedLine = 0;
    std::size_t failedPosition = 0;
    std::vector<std::string> documentExtensions;
    std::vector<std::string> namespaceUris;
    std::string cursor;
    std::vector<std::string> aliases;
    NodeMap nodes;
    bool tookEarlyNodes = false;
};

std::string statusText(UaStatus status, const UaString& error)
{
    return std::to_string(status.code()) + " " + error.toStdString();
}

Outcome read(UaNodesetXmlParser& reader, const std::string& path)
{
    CTavoxBaseNodeFactory factory;
    reader.setNodeFactory(&factory);
    Outcome outcome;
    UaString error;
    const UaStatus loaded = reader.loadNodeset(UaString(path.c_str()), error);
    outcome.load = statusText(loaded, error);
    if (loaded.isNotGood())
        return outcome;
    error = UaString();
    outcome.parse = statusText(reader.parseNodes(outcome.nodes, error), error);
    outcome.failedLine = reader.failedElementLine();
    outcome.failedPosition = reader.failedElementPosition();
    outcome.tookEarlyNodes = reader.tookNodesReadWhileLoading();
    for (const UaBase::Extension& extension : reader.documentExtensions()) {
        outcome.documentExtensions.push_back(extension.name().toStdString() + "|" + std::string(extension.body().view())
            + "|" + extension.namespaceUri().toStdString());
    }
    for (const UaString& uri : reader.namespaceUris())
        outcome.namespaceUris.push_back(uri.toStdString());
    const UaXmlDocument* document = reader.xmlDocument();
    outcome.cursor = document->getNodeName() == nullptr ? "<none>" : document->getNodeName();
    for (const char* alias : { "HasComponent", "Organizes", "Temp", "i=35" })
        outcome.aliases.push_back(reader.resolveNodeId(UaWideString(UaString(alias))).toString().toStdString());
    reader.setNodeFactory(nullptr);
    return outcome;
}

/// Everything the reader reads into a node, as far as values go by their content.
void expectSameNode(const BaseNode& early, const BaseNode& afterwards)
{
    EXPECT_EQ(nodeToJson(afterwards).dump(), nodeToJson(early).dump());
    EXPECT_EQ(afterwards.writeMask(), early.writeMask());
    EXPECT_EQ(afterwards.userWriteMask(), early.userWriteMask());
    ASSERT_EQ(afterwards.extensions().size(), early.extensions().size());
    for (std::size_t i = 0; i < early.extensions().size(); ++i) {
        EXPECT_EQ(afterwards.extensions()[i].name(), early.extensions()[i].name());
        EXPECT_EQ(afterwards.extensions()[i].body(), early.extensions()[i].body());
    }
    if (const auto* variable = dynamic_cast<const UaBase::Variable*>(&early)) {
        EXPECT_TRUE(variable->value() == dynamic_cast<const UaBase::Variable&>(afterwards).value());
    }
    if (const auto* variableType = dynamic_cast<const UaBase::VariableType*>(&early)) {
        EXPECT_TRUE(variableType->value() == dynamic_cast<const UaBase::VariableType&>(afterwards).value());
    }
}

void expectSameOutcome(const Outcome& early, const Outcome& afterwards)
{
    EXPECT_EQ(afterwards.load, early.load);
    EXPECT_EQ(afterwards.parse, early.parse);
    EXPECT_EQ(afterwards.failedLine, early.failedLine);
    EXPECT_EQ(afterwards.failedPosition, early.failedPosition);
    EXPECT_EQ(afterwards.documentExtensions, early.documentExtensions);
    EXPECT_EQ(afterwards.namespaceUris, early.namespaceUris);
    EXPECT_EQ(afterwards.cursor, early.cursor);
    EXPECT_EQ(afterwards.aliases, early.aliases);
    ASSERT_EQ(afterwards.nodes.size(), early.nodes.size());
    auto other = afterwards.nodes.begin();
    for (const auto& [nodeId, node] : early.nodes) {
        ASSERT_EQ(other->first, nodeId);
        SCOPED_TRACE(nodeId.toString().toStdString());
        expectSameNode(*node, *other->second);
        ++other;
    }
}

class ReadWhileLoadingTest : public ::testing::Test {
protected:
    void SetUp() override { UaXmlDocument::initXmlLibrary(); }
    void TearDown() override { UaXmlDocument::cleanupXmlLibrary(); }

    std::string write(const std::string& name, const std::string& content)
    {
        const std::filesystem::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    TempDir m_dir;
};

TEST_F(ReadWhileLoadingTest, GivesWhatReadingTheLoadedDocumentGives)
{
    struct Case {
        std::string path;
        bool readWhileLoading;
    };
    EXPECT_EQ(missingStandardNodesets(), "");
    std::vector<Case> cases;
    for (const std::string& path : standardNodesetFiles())
        cases.push_back({ path, true });
    for (const auto& entry : std::filesystem::directory_iterator(TAVOX_TEST_DATA_DIR "/nodesets")) {
        if (entry.path().extension() == ".xml")
            cases.push_back({ entry.path().string(), true });
    }
    const std::string object = "<UAObject NodeId=\"ns=1;i=1\" BrowseName=\"1:A\"><References>"
                               "<Reference ReferenceType=\"Organizes\" IsForward=\"false\">i=85</Reference>"
                               "</References></UAObject>\n";
    const std::string extensions = "<Extensions><Extension><x:Doc xmlns:x=\"urn:x\">d</x:Doc></Extension>"
                                   "</Extensions>\n";
    const std::string aliases = "<Aliases><Alias Alias=\"Organizes\">i=35</Alias>"
                                "<Alias Alias=\"Temp\">ns=1;s=Temp</Alias></Aliases>\n";
    const std::string bad = "<UAObject BrowseName=\"1:NoNodeId\"/>\n";
    const std::string end = "</UANodeSet>\n<!-- trailing -->\n";
    // The alias table after a node applies to that node too: read the usual way then.
    cases.push_back({ write("aliases-after.xml", kHeader + object + aliases + end), false });
    cases.push_back({ write("extensions-after-bad.xml", kHeader + aliases + object + bad + extensions + end), true });
    cases.push_back({ write("extensions-before-bad.xml", kHeader + extensions + object + bad + end), true });
    cases.push_back({ write("second-extensions.xml", kHeader + object + extensions + extensions + end), true });
    cases.push_back({ write("only-aliases.xml", kHeader + aliases + end), true });
    // A node element that fails past the lines libxml2 counts for elements.
    std::string many;
    for (int i = 2; i < 36000; ++i)
        many += "<UAObject NodeId=\"ns=1;i=" + std::to_string(i) + "\" BrowseName=\"1:N\">\n</UAObject>\n";
    cases.push_back({ write("long.xml", kHeader + many + bad + extensions + end), true });
    cases.push_back({ write("node-extension.xml",
                          kHeader + aliases
                              + "<UAVariable NodeId=\"ns=1;s=Temp\" BrowseName=\"1:Temp\" DataType=\"i=11\">"
                                "<Extensions><Extension><x:E xmlns:x=\"urn:x\" a=\"1\"><x:In>t</x:In></x:E>"
                                "</Extension></Extensions>"
                                "<Value><uax:Double>2.5</uax:Double></Value></UAVariable>\n"
                              + end),
        true });
    // Attributes from the document type, which the reader resolves the long way; entities,
    // which refuse the document.
    cases.push_back({ write("document-type.xml",
                          "<?xml version=\"1.0\"?>\n<!DOCTYPE UANodeSet [\n"
                          "<!ATTLIST UAVariable AccessLevel CDATA \"3\">\n]>\n"
                              + std::string(kHeader).substr(22)
                              + "<UAVariable NodeId=\"ns=1;s=Temp\" BrowseName=\"1:Temp\"/>\n" + end),
        true });
    cases.push_back({ write("entity.xml",
                          "<?xml version=\"1.0\"?>\n<!DOCTYPE UANodeSet [\n<!ENTITY n \"Temp\">\n]>\n"
                              + std::string(kHeader).substr(22) + object
                              + "<UAVariable NodeId=\"ns=1;s=&n;\" BrowseName=\"1:&n;\"/>\n" + end),
        true });

    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        UaNodesetXmlParser reader;
        UaNodesetXmlParser plain;
        plain.setReadWhileLoading(false);
        const Outcome early = read(reader, c.path);
        const Outcome afterwards = read(plain, c.path);
        expectSameOutcome(early, afterwards);
        EXPECT_FALSE(afterwards.tookEarlyNodes);
        if (early.load.rfind("0 ", 0) == 0) {
            EXPECT_EQ(c.readWhileLoading, early.tookEarlyNodes);
        }
    }
}

TEST_F(ReadWhileLoadingTest, TheOptionDecidesAndASubclassReadsWhileLoadingToo)
{
    struct Subclass : UaNodesetXmlParser {};
    const std::string plant = TAVOX_TEST_DATA_DIR "/nodesets/plant.xml";
    CTavoxBaseNodeFactory factory;
    UaString error;
    for (const bool on : { true, false }) {
        UaNodesetXmlParser reader;
        Subclass subclass;
        for (UaNodesetXmlParser* r : std::initializer_list<UaNodesetXmlParser*> { &reader, &subclass }) {
            EXPECT_TRUE(r->readsWhileLoading()) << "on unless switched off";
            r->setReadWhileLoading(on);
            r->setNodeFactory(&factory);
            ASSERT_TRUE(r->loadNodeset(UaString(plant.c_str()), error).isGood());
            NodeMap nodes;
            ASSERT_TRUE(r->parseNodes(nodes, error).isGood());
            EXPECT_EQ(on, r->tookNodesReadWhileLoading());
            EXPECT_FALSE(nodes.empty());
        }
    }
}

TEST_F(ReadWhileLoadingTest, ReadsTheDocumentAnewWhenWhatTheNodesCameFromChanged)
{
    const std::string plant = TAVOX_TEST_DATA_DIR "/nodesets/plant.xml";
    const UaNodeId temperature = UaNodeId::fromXmlString(UaString("ns=1;i=6001"));
    CTavoxBaseNodeFactory factory;
    UaString error;

    // An edit between the load and parseNodes.
    UaNodesetXmlParser edited;
    edited.setNodeFactory(&factory);
    ASSERT_TRUE(edited.loadNodeset(UaString(plant.c_str()), error).isGood());
    UaXmlDocument* document = edited.xmlDocument();
    ASSERT_EQ(0, document->getChild("UAVariable"));
    ASSERT_EQ(0, document->setAttributeValue("BrowseName", "1:Edited"));
    NodeMap nodes;
    ASSERT_TRUE(edited.parseNodes(nodes, error).isGood());
    EXPECT_FALSE(edited.tookNodesReadWhileLoading());
    EXPECT_EQ("Edited", nodes.find(temperature)->browseName().name().toStdString());

    // Another factory installed after the load.
    UaNodesetXmlParser refactored;
    refactored.setNodeFactory(&factory);
    ASSERT_TRUE(refactored.loadNodeset(UaString(plant.c_str()), error).isGood());
    refactored.setNodeFactory(nullptr);
    NodeMap own;
    ASSERT_TRUE(refactored.parseNodes(own, error).isGood());
    EXPECT_FALSE(refactored.tookNodesReadWhileLoading());

    // A map that already holds one of the file's nodes.
    UaNodesetXmlParser filled;
    ASSERT_TRUE(filled.loadNodeset(UaString(plant.c_str()), error).isGood());
    NodeMap holding;
    holding.insert(std::make_unique<UaBase::Object>(temperature));
    EXPECT_EQ(UaStatus(UaStatus::BadNodeIdExists), filled.parseNodes(holding, error));
    EXPECT_TRUE(holding.empty());

    // A trace level raised after the load: the lines come, in parseNodes.
    UaNodesetXmlParser traced;
    ASSERT_TRUE(traced.loadNodeset(UaString(TAVOX_TEST_DATA_DIR "/nodesets/duplicate-nodeid.xml"), error).isGood());
    {
        ScopedTraceCapture capture(1);
        NodeMap duplicates;
        EXPECT_EQ(UaStatus(UaStatus::BadNodeIdExists), traced.parseNodes(duplicates, error));
        EXPECT_NE(std::string::npos, capture.lines().find("NodeId already exists")) << capture.lines();
    }

    // A failed load keeps what the previous one read; a second parseNodes reads the document.
    UaNodesetXmlParser kept;
    ASSERT_TRUE(kept.loadNodeset(UaString(plant.c_str()), error).isGood());
    EXPECT_FALSE(kept.loadNodeset(UaString(TAVOX_TEST_DATA_DIR "/nodesets/wrong-root.xml"), error).isGood());
    NodeMap first;
    ASSERT_TRUE(kept.parseNodes(first, error).isGood());
    EXPECT_TRUE(kept.tookNodesReadWhileLoading());
    NodeMap second;
    ASSERT_TRUE(kept.parseNodes(second, error).isGood());
    EXPECT_FALSE(kept.tookNodesReadWhileLoading());
    EXPECT_EQ(first.size(), second.size());
    for (const auto& [nodeId, node] : first)
        expectSameNode(*node, *second.find(nodeId));
}

} // namespace
