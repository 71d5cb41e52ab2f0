#include "uareader/UaNodesetXmlParser.h"

#include "NodesetReading.h"
#include "uatypes/UaTestPrinters.h"

#include "uanodes/DataType.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UaBase;

namespace {

class UaNodesetXmlParserDefinitionTest : public ::testing::Test {
protected:
    XmlLibraryScope m_library;
};

std::string dataType(const char* nodeId, const char* superType, const char* definition)
{
    return std::string("<UADataType NodeId=\"") + nodeId + "\" BrowseName=\"1:T" + nodeId + "\"><References>"
        + "<Reference ReferenceType=\"i=45\" IsForward=\"false\">" + superType + "</Reference></References>"
        + definition + "</UADataType>";
}

/// "name:dataType:builtInType" per field.
std::vector<std::string> fieldsOf(const DataType& type)
{
    std::vector<std::string> fields;
    const UaStructureDefinition structure = type.structureDefinition();
    for (const UaStructureField& field : structure.fields()) {
        fields.push_back(field.name().toStdString() + ":" + field.dataTypeId().toString().toStdString() + ":"
            + std::to_string(static_cast<int>(field.builtInType())));
    }
    return fields;
}

TEST_F(UaNodesetXmlParserDefinitionTest, TheFirstFieldDecidesBetweenEnumerationAndStructure)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_TRUE(read.status.isGood()) << read.error;

    const DataType* state = read.node<DataType>("ns=1;i=3001");
    ASSERT_NE(state, nullptr);
    EXPECT_FALSE(state->structureDefinition().hasName());
    const UaEnumDefinition enumeration = state->enumDefinition();
    EXPECT_EQ(enumeration.name(), UaString("LineState")); // the browse name's name
    EXPECT_EQ(enumeration.values(),
        std::vector<UaEnumValue>({ UaEnumValue("Stopped", 0), UaEnumValue("Running", 1), UaEnumValue("Faulted", 0) }));

    const DataType* reading = read.node<DataType>("ns=1;i=3002");
    ASSERT_NE(reading, nullptr);
    EXPECT_TRUE(reading->enumDefinition().isEmpty());
    const UaStructureDefinition structure = reading->structureDefinition();
    EXPECT_EQ(structure.name(), UaString("Reading"));
    EXPECT_EQ(structure.dataTypeId().toString(), UaString("ns=1;i=3002"));
    EXPECT_EQ(structure.description().text(), UaString("One measured value"));
    ASSERT_EQ(structure.fieldCount(), 2u);
    const UaStructureField tags = structure.fields()[1];
    EXPECT_TRUE(tags.isArray());
    EXPECT_TRUE(tags.isOptional());
    EXPECT_EQ(tags.description().text(), UaString("Free tags"));
}

TEST_F(UaNodesetXmlParserDefinitionTest, CompletesASubtypeWithItsSuperTypesFieldsFirst)
{
    const NodesetRead read = readNodesetFile(nodesetFile("plant.xml"));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    const DataType* stamped = read.node<DataType>("ns=1;i=3003");
    ASSERT_NE(stamped, nullptr);
    // Double and String by their own type, UtcTime as a standard subtype, the enumeration's
    // built-in type unknown here (its super type, Enumeration, is not in the file).
    EXPECT_EQ(fieldsOf(*stamped),
        std::vector<std::string>({ "Value:i=11:11", "Tags:i=12:12", "Stamp:i=294:13", "State:ns=1;i=3001:0" }));
    EXPECT_EQ(stamped->structureDefinition().name(), UaString("StampedReading"));
    const UaStructureField state = stamped->structureDefinition().fields()[3];
    ASSERT_TRUE(state.hasEnumDefinition());
    EXPECT_EQ(state.enumDefinition().name(), UaString("LineState"));
}

TEST_F(UaNodesetXmlParserDefinitionTest, CompletesEachStructureOnceWhateverTheMapOrder)
{
    // The middle type sorts after the bottom one: it is completed as the bottom's super type
    // first, and must not get its super type's fields a second time.
    auto definition = [&](const char* name) {
        return std::string("<Definition Name=\"x\"><Field Name=\"") + name + "\" DataType=\"i=6\"/></Definition>";
    };
    const NodesetRead read = readNodesetText(dataType("ns=1;i=10", "i=22", definition("top").c_str())
        + dataType("ns=1;i=30", "ns=1;i=10", definition("middle").c_str())
        + dataType("ns=1;i=20", "ns=1;i=30", definition("bottom").c_str()));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    EXPECT_EQ(fieldsOf(*read.node<DataType>("ns=1;i=10")), std::vector<std::string>({ "top:i=6:6" }));
    EXPECT_EQ(fieldsOf(*read.node<DataType>("ns=1;i=30")), std::vector<std::string>({ "top:i=6:6", "middle:i=6:6" }));
    EXPECT_EQ(fieldsOf(*read.node<DataType>("ns=1;i=20")),
        std::vector<std::string>({ "top:i=6:6", "middle:i=6:6", "bottom:i=6:6" }));
}

TEST_F(UaNodesetXmlParserDefinitionTest, SurvivesSuperTypesThatFormALoop)
{
    const std::string definition = "<Definition><Field Name=\"f\" DataType=\"ns=1;i=2\"/></Definition>";
    const NodesetRead read = readNodesetText(
        dataType("ns=1;i=1", "ns=1;i=2", definition.c_str()) + dataType("ns=1;i=2", "ns=1;i=1", definition.c_str()));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    EXPECT_EQ(read.nodes.size(), 2u);
}

TEST_F(UaNodesetXmlParserDefinitionTest, ResolvesBuiltInTypesThroughSuperTypes)
{
    struct Case {
        const char* fieldType;
        int builtInType;
    };
    const Case cases[] = {
        { "i=11", 11 }, // a built-in type itself
        { "i=290", 11 }, // Duration
        { "i=12881", 12 }, // TimeString
        { "i=2002", 15 }, // ImageJPG
        { "i=388", 17 }, // SessionAuthenticationToken
        { "i=11737", 9 }, // BitFieldMaskDataType
        { "i=27", 24 }, // Integer: any numeric type, a Variant
        { "ns=1;i=100", 12 }, // a type of the file derived from String
        { "ns=1;i=101", 12 }, // ... and one derived from that
        { "ns=1;i=999", 0 }, // unknown
        { "i=29", 0 }, // Enumeration is no built-in type
    };
    std::string fields;
    for (const Case& c : cases)
        fields += std::string("<Field Name=\"") + c.fieldType + "\" DataType=\"" + c.fieldType + "\"/>";
    const NodesetRead read
        = readNodesetText(dataType("ns=1;i=100", "i=12", "") + dataType("ns=1;i=101", "ns=1;i=100", "")
            + dataType("ns=1;i=1", "i=22", ("<Definition>" + fields + "</Definition>").c_str()));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    const DataType* type = read.node<DataType>("ns=1;i=1");
    ASSERT_NE(type, nullptr);
    const std::vector<UaStructureField> resolved = type->structureDefinition().fields();
    ASSERT_EQ(resolved.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(static_cast<int>(resolved[i].builtInType()), cases[i].builtInType) << cases[i].fieldType;
}

TEST_F(UaNodesetXmlParserDefinitionTest, ReadsFieldValueRanksAndDefaults)
{
    const NodesetRead read = readNodesetText(dataType("ns=1;i=1",
        "i=22",
        "<Definition IsUnion=\"true\"><Field Name=\"a\" ValueRank=\"1\"/><Field Name=\"b\" ValueRank=\"2\"/>"
        "<Field Name=\"c\" ValueRank=\"-1\" IsOptional=\"True\"/></Definition>"));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    const UaStructureDefinition structure = read.node<DataType>("ns=1;i=1")->structureDefinition();
    EXPECT_TRUE(structure.isUnion());
    ASSERT_EQ(structure.fieldCount(), 3u);
    EXPECT_EQ(structure.fields()[0].valueRank(), 1);
    EXPECT_EQ(structure.fields()[1].valueRank(), -1); // only -1 and 1 are taken
    EXPECT_FALSE(structure.fields()[2].isOptional());
    EXPECT_EQ(structure.fields()[0].dataTypeId().toString(), UaString("i=24")); // no DataType
}

TEST_F(UaNodesetXmlParserDefinitionTest, AnEnumerationSubtypeWithoutValuesKeepsTheDefinitionsName)
{
    // No Field with a Value: the definition read for an Enumeration subtype stays, with the
    // definition's own Name.
    const NodesetRead read = readNodesetText(dataType("ns=1;i=1", "i=29", "<Definition Name=\"1:Mode\"/>"));
    ASSERT_TRUE(read.status.isGood()) << read.error;
    EXPECT_EQ(read.node<DataType>("ns=1;i=1")->enumDefinition().name(), UaString("1:Mode"));
}

class ProvidingReader : public UaNodesetXmlParser {
public:
    class Provider : public TypeDefinitionProvider {
    public:
        UaStructureDefinition structureDefinition(const UaNodeId& dataTypeId) override
        {
            UaStructureDefinition definition;
            if (dataTypeId == UaNodeId(5000, 2)) {
                definition.setName("Outside");
                UaStructureField field;
                field.setName("inherited");
                field.setDataTypeId(UaNodeId(1, 0));
                definition.addField(field);
            }
            return definition;
        }
        UaEnumDefinition enumDefinition(const UaNodeId&) override { return {}; }
    };
};

TEST_F(UaNodesetXmlParserDefinitionTest, AsksTheProviderForTypesOutsideTheMap)
{
    const std::string xml = "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">"
        + dataType("ns=1;i=1", "ns=2;i=5000", "<Definition><Field Name=\"own\" DataType=\"i=6\"/></Definition>")
        + "</UANodeSet>";
    auto* document = new UaXmlDocument;
    ASSERT_EQ(document->loadXmlMemory(xml.data(), static_cast<int>(xml.size()), nullptr), 0);
    UaNodesetXmlParser reader(document);
    ProvidingReader::Provider provider;
    reader.setTypeDefinitionProvider(&provider);
    NodeMap nodes;
    UaString error;
    ASSERT_TRUE(reader.parseNodes(nodes, error).isGood());
    EXPECT_EQ(fieldsOf(*dynamic_cast<DataType*>(nodes.find(UaNodeId(1, 1)))),
        std::vector<std::string>({ "inherited:i=1:1", "own:i=6:6" }));
}

} // namespace
