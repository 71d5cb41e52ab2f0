// Every standard nodeset of the test data reads whole: one node per node element, and every
// structure that derives from another structure of the file starts with its fields.

#include "uareader/UaNodesetXmlParser.h"

#include "NodesetReading.h"
#include "testing/StandardNodesets.h"
#include "uatypes/UaTestPrinters.h"

#include "uanodes/DataType.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace UaBase;

namespace {

const char* const kNodeElements[]
    = { "UAObject", "UAVariable", "UAMethod", "UAObjectType", "UAVariableType", "UAReferenceType", "UADataType" };

/// What the file holds, counted with libxml2 alone: the node elements, and for each data type
/// the number of `Field` children of its `Definition`.
struct FileCounts {
    std::size_t nodeElements = 0;
    std::map<UaNodeId, std::size_t> ownFields;
};

bool isNamed(const xmlNode* node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

FileCounts countFile(const std::string& path)
{
    FileCounts counts;
    xmlDocPtr document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NOBLANKS | XML_PARSE_NONET);
    EXPECT_NE(document, nullptr) << path;
    if (document == nullptr)
        return counts;
    for (const xmlNode* child = xmlDocGetRootElement(document)->children; child != nullptr; child = child->next) {
        for (const char* name : kNodeElements)
            counts.nodeElements += isNamed(child, name) ? 1 : 0;
        if (!isNamed(child, "UADataType"))
            continue;
        xmlChar* nodeId = xmlGetProp(child, reinterpret_cast<const xmlChar*>("NodeId"));
        std::size_t fields = 0;
        for (const xmlNode* part = child->children; part != nullptr; part = part->next) {
            if (!isNamed(part, "Definition"))
                continue;
            for (const xmlNode* field = part->children; field != nullptr; field = field->next)
                fields += isNamed(field, "Field") ? 1 : 0;
        }
        counts.ownFields[UaNodeId::fromXmlString(UaString(reinterpret_cast<const char*>(nodeId)))] = fields;
        xmlFree(nodeId);
    }
    xmlFreeDoc(document);
    return counts;
}

TEST(StandardNodesetFolder, HoldsTheStandardNodeset) { EXPECT_EQ(missingStandardNodesets(), ""); }

class StandardNodesetTest : public ::testing::TestWithParam<std::string> {
protected:
    XmlLibraryScope m_library;
};

TEST_P(StandardNodesetTest, ReadsEveryNodeElement)
{
    const NodesetRead read = readNodesetFile(GetParam());
    ASSERT_EQ(read.status, UaStatus(UaStatus::Good)) << read.error;
    EXPECT_EQ(read.nodes.size(), countFile(GetParam()).nodeElements);
}

TEST_P(StandardNodesetTest, StartsEverySubtypesStructureWithItsSuperTypesFields)
{
    const NodesetRead read = readNodesetFile(GetParam());
    ASSERT_TRUE(read.status.isGood()) << read.error;
    const FileCounts counts = countFile(GetParam());
    std::size_t checked = 0;
    for (const auto& [nodeId, node] : read.nodes) {
        const auto* type = dynamic_cast<const DataType*>(node.get());
        if (type == nullptr || !type->structureDefinition().hasName())
            continue;
        const auto* super = dynamic_cast<const DataType*>(read.nodes.find(type->superType()));
        if (super == nullptr || !super->structureDefinition().hasName()
            || super->structureDefinition().fieldCount() == 0)
            continue;
        const std::vector<UaStructureField> fields = type->structureDefinition().fields();
        const std::vector<UaStructureField> inherited = super->structureDefinition().fields();
        ASSERT_EQ(fields.size(), inherited.size() + counts.ownFields.at(nodeId)) << nodeId.toString().toStdString();
        for (std::size_t i = 0; i < inherited.size(); ++i) {
            EXPECT_EQ(fields[i].name(), inherited[i].name()) << nodeId.toString().toStdString();
            EXPECT_EQ(fields[i].dataTypeId(), inherited[i].dataTypeId()) << nodeId.toString().toStdString();
        }
        ++checked;
    }
    // The standard nodeset has a few dozen such structures; the companions may have none.
    if (GetParam().ends_with("Opc.Ua.NodeSet2.xml")) {
        EXPECT_GE(checked, 20u);
    }
}

TEST_P(StandardNodesetTest, GivesEveryStructureFieldItsBuiltInType)
{
    const NodesetRead read = readNodesetFile(GetParam());
    ASSERT_TRUE(read.status.isGood()) << read.error;
    if (!GetParam().ends_with("Opc.Ua.NodeSet2.xml"))
        GTEST_SKIP() << "field types of companion nodesets lie in the standard nodeset";
    for (const auto& [nodeId, node] : read.nodes) {
        const auto* type = dynamic_cast<const DataType*>(node.get());
        if (type == nullptr)
            continue;
        const UaStructureDefinition structure = type->structureDefinition();
        for (const UaStructureField& field : structure.fields()) {
            EXPECT_NE(field.builtInType(), UaBuiltInType::Null)
                << nodeId.toString().toStdString() << " " << field.name().toStdString();
        }
    }
}

// Without the folder there is nothing to instantiate; StandardNodesetFolder says why.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(StandardNodesetTest);
INSTANTIATE_TEST_SUITE_P(TestData,
    StandardNodesetTest,
    ::testing::ValuesIn(standardNodesetFiles()),
    [](const ::testing::TestParamInfo<std::string>& file) {
        std::string name = std::filesystem::path(file.param).stem().string();
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

} // namespace
