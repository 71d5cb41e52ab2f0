#include "tavox-nodeset/NodesetTool.h"

#include "testing/StandardNodesets.h"
#include "testing/TempDir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::ordered_json;

std::string dataFile(const std::string& name) { return std::string(TAVOX_TEST_DATA_DIR) + "/nodesets/" + name; }

struct ToolRun {
    int exitCode = 0;
    std::string out;
    std::string err;
};

ToolRun run(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    ToolRun result;
    result.exitCode = runNodesetTool(arguments, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::vector<Json> dumpedNodes(const std::string& out)
{
    std::vector<Json> nodes;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        nodes.push_back(Json::parse(line));
    return nodes;
}

const Json& nodeNamed(const std::vector<Json>& nodes, const std::string& nodeId)
{
    for (const Json& node : nodes) {
        if (node["nodeId"] == nodeId)
            return node;
    }
    static const Json none;
    ADD_FAILURE() << "no node " << nodeId;
    return none;
}

TEST(NodesetToolTest, RefusesABadCommandLine)
{
    const std::vector<std::vector<std::string>> lines
        = { {}, { "dump" }, { "list", "a.xml" }, { "dump", "a.xml", "b.xml" } };
    for (const auto& arguments : lines) {
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err, "usage: tavox-nodeset dump FILE\n       tavox-nodeset check FILE\n");
        EXPECT_TRUE(result.out.empty());
    }
}

TEST(NodesetToolTest, DumpWritesOneErrorLineForAFileThatDoesNotRead)
{
    struct Case {
        const char* file;
        const char* err;
    };
    const Case cases[] = {
        { "missing.xml", "cannot load XML file (0x80AB0000)\n" },
        { "not-well-formed.xml", "cannot load XML file (0x80AB0000)\n" },
        { "wrong-root.xml", "root XML element name is not UANodeSet (0x80AB0000)\n" },
        { "wrong-namespace.xml", "invalid XML schema (0x80AB0000)\n" },
        { "duplicate-nodeid.xml", "parsing node fails (0x805E0000)\n" },
        { "reference-without-type.xml", "parsing node fails (0x80000000)\n" },
    };
    for (const Case& c : cases) {
        const ToolRun result = run({ "dump", dataFile(c.file) });
        EXPECT_EQ(result.exitCode, 1) << c.file;
        EXPECT_EQ(result.err, c.err) << c.file;
        EXPECT_TRUE(result.out.empty()) << c.file;
    }
}

TEST(NodesetToolTest, DumpWritesEveryNodeInNodeMapOrder)
{
    const ToolRun result = run({ "dump", dataFile("plant.xml") });
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.err.empty());
    const std::vector<Json> nodes = dumpedNodes(result.out);
    std::vector<std::string> order;
    for (const Json& node : nodes)
        order.push_back(node["nodeId"]);
    EXPECT_EQ(order,
        std::vector<std::string>({ "ns=1;i=1001",
            "ns=1;i=2001",
            "ns=1;i=3001",
            "ns=1;i=3002",
            "ns=1;i=3003",
            "ns=1;i=4001",
            "ns=1;i=5001",
            "ns=1;i=6001",
            "ns=1;i=6003",
            "ns=1;i=6004",
            "ns=1;i=7001",
            "ns=1;s=Line1.Pressure" }));
    std::vector<std::string> keys;
    for (const auto& item : nodes[7].items())
        keys.push_back(item.key());
    keys.resize(16);
    EXPECT_EQ(keys,
        std::vector<std::string>({ "nodeId",
            "nodeClass",
            "browseName",
            "displayName",
            "parent",
            "parentReferenceType",
            "references",
            "dataType",
            "valueRank",
            "accessLevel",
            "userAccessLevel",
            "historizing",
            "alarmEnabled",
            "alarmSettings",
            "value",
            "minimumSamplingInterval" }));
}

TEST(NodesetToolTest, DumpShowsVariablesAsTheNodeConfigPageReadsThem)
{
    const std::vector<Json> nodes = dumpedNodes(run({ "dump", dataFile("plant.xml") }).out);
    const Json& temperature = nodeNamed(nodes, "ns=1;i=6001");
    EXPECT_EQ(temperature["nodeClass"], "Variable");
    EXPECT_EQ(temperature["browseName"], "ns=0|Temperature");
    EXPECT_EQ(temperature["displayName"], "|Temperature");
    EXPECT_EQ(temperature["parent"], "ns=1;i=5001");
    EXPECT_EQ(temperature["parentReferenceType"], "i=47");
    EXPECT_EQ(temperature["references"], Json::parse(R"([["i=40",true,"i=63"],["i=47",false,"ns=1;i=5001"]])"));
    EXPECT_EQ(temperature["dataType"], "i=11");
    EXPECT_EQ(temperature["accessLevel"], 3);
    EXPECT_EQ(temperature["alarmEnabled"], true);
    EXPECT_EQ(temperature["alarmSettings"].dump(), R"({"Alarm":"true","AlarmLimit_HH":"90","AlarmLimit_LL":"-10"})");
    EXPECT_EQ(temperature["value"], Json::parse(R"({"type":11,"array":false,"length":1})"));

    const Json& modes = nodeNamed(nodes, "ns=1;i=6003");
    EXPECT_EQ(modes["alarmEnabled"], false);
    EXPECT_EQ(modes["alarmSettings"], Json::parse(R"({"AlarmLimit_H":"50"})"));
    EXPECT_EQ(modes["value"], Json::parse(R"({"type":12,"array":true,"length":3})"));

    const Json& started = nodeNamed(nodes, "ns=1;i=6004");
    EXPECT_TRUE(started["parent"].is_null());
    EXPECT_TRUE(started["parentReferenceType"].is_null());
    EXPECT_EQ(started["references"], Json::array());
}

TEST(NodesetToolTest, DumpShowsTypesAndDefinitions)
{
    const std::vector<Json> nodes = dumpedNodes(run({ "dump", dataFile("plant.xml") }).out);
    const Json& lineType = nodeNamed(nodes, "ns=1;i=1001");
    EXPECT_EQ(lineType["nodeClass"], "ObjectType");
    EXPECT_EQ(lineType["isAbstract"], true);
    EXPECT_EQ(lineType["superType"], "i=58");

    const Json& state = nodeNamed(nodes, "ns=1;i=3001");
    EXPECT_FALSE(state.contains("structure"));
    EXPECT_EQ(state["enum"]["name"], "LineState");
    EXPECT_EQ(state["enum"]["values"][1], Json::parse(R"({"name":"Running","value":1})"));

    const Json& stamped = nodeNamed(nodes, "ns=1;i=3003");
    EXPECT_FALSE(stamped.contains("enum"));
    EXPECT_EQ(stamped["structure"]["name"], "StampedReading");
    ASSERT_EQ(stamped["structure"]["fields"].size(), 4u);
    const Json& first = stamped["structure"]["fields"][0];
    EXPECT_EQ(first["name"], "Value");
    EXPECT_EQ(first["dataType"], "i=11");
    EXPECT_EQ(first["builtInType"], 11);
}

TEST(NodesetToolTest, CheckSummarisesAFile)
{
    const ToolRun plant = run({ "check", dataFile("plant.xml") });
    EXPECT_EQ(plant.exitCode, 0);
    EXPECT_EQ(plant.out,
        "12 nodes (1 Object, 4 Variable, 1 Method, 1 ObjectType, 1 VariableType, 1 ReferenceType, "
        "3 DataType), 18 references, 3 data types with definitions\n");
    ASSERT_EQ(missingStandardNodesets(), "");
    const ToolRun standard = run({ "check", standardNodeset("Opc.Ua.NodeSet2.xml") });
    EXPECT_EQ(standard.exitCode, 0);
    EXPECT_EQ(standard.out.rfind("5476 nodes (912 Object, 3369 Variable, 462 Method, 281 ObjectType, 64 VariableType, "
                                 "80 ReferenceType, 308 DataType), ",
                  0),
        0u)
        << standard.out;
}

TEST(NodesetToolTest, CheckNamesWhereAFileFails)
{
    struct Case {
        const char* file;
        const char* err;
    };
    const std::string duplicate = dataFile("duplicate-nodeid.xml");
    const Case cases[] = {
        { "duplicate-nodeid.xml", "parsing node fails (0x805E0000)\nthe node element at line 9 of %s does not read\n" },
        { "missing-browsename.xml",
            "parsing node fails (0x80000000)\nthe node element at line 6 of %s does not read\n" },
        { "not-well-formed.xml",
            "cannot load XML file (0x80AB0000)\nline 4: Opening and ending tag mismatch: UAObject line 3 and "
            "UANodeSet\n" },
        { "missing.xml", "cannot load XML file (0x80AB0000)\n%s is missing or not a regular file\n" },
    };
    for (const Case& c : cases) {
        const std::string file = dataFile(c.file);
        std::string expected = c.err;
        if (const auto at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, file);
        const ToolRun result = run({ "check", file });
        EXPECT_EQ(result.exitCode, 1) << c.file;
        EXPECT_EQ(result.err, expected) << c.file;
        EXPECT_TRUE(result.out.empty()) << c.file;
    }
}

TEST(NodesetToolTest, CheckRefusesANodesetWhoseDocumentTypeDeclaresEntities)
{
    // Display names that each name one large entity: a few kilobytes of file that would read as
    // megabytes of text, refused before any of it is expanded.
    TempDir dir;
    const std::string file = (dir / "entities.xml").string();
    {
        std::ofstream out(file);
        out << "<?xml version=\"1.0\"?>\n<!DOCTYPE UANodeSet [<!ENTITY big \"" << std::string(10240, 'x')
            << "\">]>\n<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\n";
        for (int i = 1; i <= 200; ++i)
            out << "<UAObject NodeId=\"ns=1;i=" << i
                << "\" BrowseName=\"1:N\"><DisplayName>&big;</DisplayName></UAObject>\n";
        out << "</UANodeSet>\n";
    }
    for (const char* command : { "check", "dump" }) {
        const ToolRun result = run({ command, file });
        EXPECT_EQ(result.exitCode, 1) << command;
        // check names the line, as it does for every file that does not load.
        EXPECT_EQ(result.err,
            std::string("cannot load XML file (0x80AB0000)\n")
                + (command == std::string("check") ? "line 2: the document type declares an entity\n" : ""))
            << command;
        EXPECT_EQ(result.out, "") << command;
    }
}

TEST(NodesetToolTest, CheckNamesTheLineOfAFailingNodeAlsoPastLine65535)
{
    // Two lines per node before the failing one, whose start tag ends on its second line: the
    // same rule on either side of the line libxml2 stops counting elements at.
    struct Case {
        int before;
        const char* failing;
        long line;
    };
    const Case cases[] = {
        { 10, "<UAObject NodeId=\"ns=1;i=7\" BrowseName=\"1:Again\"/>", 22 },
        { 35000, "<UAObject NodeId=\"ns=1;i=7\" BrowseName=\"1:Again\"/>", 70002 },
        { 10, "<UAObject NodeId=\"ns=1;i=7\"\n BrowseName=\"1:Again\">\n<DisplayName>x</DisplayName></UAObject>", 23 },
        { 35000,
            "<UAObject NodeId=\"ns=1;i=7\"\n BrowseName=\"1:Again\">\n<DisplayName>x</DisplayName></UAObject>",
            70003 },
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string file = (dir / "large.xml").string();
        {
            std::ofstream out(file);
            out << "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\n";
            for (int i = 1; i <= c.before; ++i)
                out << "<UAObject NodeId=\"ns=1;i=" << i << "\" BrowseName=\"1:N\">\n</UAObject>\n";
            out << c.failing << "\n</UANodeSet>\n";
        }
        const ToolRun result = run({ "check", file });
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err,
            "parsing node fails (0x805E0000)\nthe node element at line " + std::to_string(c.line) + " of " + file
                + " does not read\n");
    }
}

} // namespace
