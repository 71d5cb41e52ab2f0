#include "uanodes/DataType.h"
#include "uanodes/NodeMap.h"
#include "uanodes/Object.h"
#include "uanodes/ObjectType.h"
#include "uanodes/VariableType.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UaBase;

namespace {

UaNodeId num(std::uint32_t id, std::uint16_t ns = 0) { return UaNodeId(id, ns); }

const UaNodeId kHasSubtype = num(45);
const UaNodeId kHasEncoding = num(38);

void addInverseReferencesToAll(NodeMap& nodes)
{
    for (const auto& [id, node] : nodes)
        node->addInverseReferences(nodes);
}

TypeNode& typeNode(const NodeMap& nodes, std::uint32_t id) { return dynamic_cast<TypeNode&>(*nodes.find(num(id, 1))); }

TEST(TypeNodeTest, SuperTypesFollowHasSubtypeReferences)
{
    // Node 1 is the type under test; node 2 a type, node 3 an object, node 9 outside the map.
    struct Case {
        const char* what;
        Reference reference; // held by node 1
        std::uint32_t superOf1;
        std::uint32_t superOf2;
    };
    const std::vector<Case> cases = {
        { "inverse to a type in the map", Reference(kHasSubtype, false, num(2, 1)), 2, 0 },
        { "forward to a type in the map", Reference(kHasSubtype, true, num(2, 1)), 0, 1 },
        { "inverse to a node outside the map", Reference(kHasSubtype, false, num(9, 1)), 9, 0 },
        { "forward to a node outside the map", Reference(kHasSubtype, true, num(9, 1)), 0, 0 },
        { "inverse to an object", Reference(kHasSubtype, false, num(3, 1)), 0, 0 },
        { "another reference type", Reference(num(45, 1), false, num(2, 1)), 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NodeMap nodes;
        auto type = std::make_unique<ObjectType>(num(1, 1));
        type->addReference(c.reference);
        nodes.insert(std::move(type));
        nodes.insert(std::make_unique<VariableType>(num(2, 1)));
        nodes.insert(std::make_unique<Object>(num(3, 1)));
        addInverseReferencesToAll(nodes);
        EXPECT_EQ(c.superOf1 ? num(c.superOf1, 1) : UaNodeId(), typeNode(nodes, 1).superType());
        EXPECT_EQ(c.superOf2 ? num(c.superOf2, 1) : UaNodeId(), typeNode(nodes, 2).superType());
    }
}

std::unique_ptr<Object> encodingNode(std::uint32_t id, const char* name, std::uint16_t nameNamespace = 0)
{
    auto node = std::make_unique<Object>(num(id, 1));
    node->setBrowseName(UaQualifiedName(UaString(name), nameNamespace));
    return node;
}

TEST(DataTypeTest, EncodingsNameTheStructureDefinition)
{
    struct Case {
        const char* what;
        std::vector<Reference> references;
        std::uint32_t binary;
        std::uint32_t xml;
    };
    const std::vector<Case> cases = {
        { "both encodings",
            { Reference(kHasEncoding, true, num(11, 1)), Reference(kHasEncoding, true, num(12, 1)) },
            11,
            12 },
        { "binary only", { Reference(kHasEncoding, true, num(11, 1)) }, 11, 0 },
        { "inverse references do not count", { Reference(kHasEncoding, false, num(11, 1)) }, 0, 0 },
        { "encoding outside the map", { Reference(kHasEncoding, true, num(19, 1)) }, 0, 0 },
        { "other encodings and names",
            { Reference(kHasEncoding, true, num(13, 1)),
                Reference(kHasEncoding, true, num(14, 1)),
                Reference(kHasEncoding, true, num(15, 1)) },
            0,
            0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NodeMap nodes;
        auto type = std::make_unique<DataType>(num(10, 1));
        type->setBrowseName(UaQualifiedName(UaString("Point"), 1));
        type->setDescription(UaLocalizedText(UaString("en"), UaString("A point")));
        for (const Reference& reference : c.references)
            type->addReference(reference);
        nodes.insert(std::move(type));
        nodes.insert(encodingNode(11, "Default Binary"));
        nodes.insert(encodingNode(12, "Default XML"));
        nodes.insert(encodingNode(13, "Default JSON"));
        nodes.insert(encodingNode(14, "Default Binary", 1));
        nodes.insert(encodingNode(15, "default binary"));
        addInverseReferencesToAll(nodes);

        const auto& node = dynamic_cast<const DataType&>(*nodes.find(num(10, 1)));
        const UaStructureDefinition definition = node.structureDefinition();
        EXPECT_EQ(c.binary ? num(c.binary, 1) : UaNodeId(), definition.binaryEncodingId());
        EXPECT_EQ(c.xml ? num(c.xml, 1) : UaNodeId(), definition.xmlEncodingId());
        const bool named = c.binary || c.xml;
        EXPECT_EQ(named ? num(10, 1) : UaNodeId(), definition.dataTypeId());
        EXPECT_EQ(named ? UaString("Point") : UaString(), definition.name());
        EXPECT_EQ(
            named ? UaLocalizedText(UaString("en"), UaString("A point")) : UaLocalizedText(), definition.description());
    }
}

TEST(DataTypeTest, DefinitionReadFromTheFileKeepsItsIdentity)
{
    NodeMap nodes;
    auto type = std::make_unique<DataType>(num(10, 1));
    type->setBrowseName(UaQualifiedName(UaString("Point"), 1));
    UaStructureDefinition read;
    read.setName(UaString("PointDefinition"));
    read.setDataTypeId(num(10, 1));
    read.addField(UaStructureField());
    type->setStructureDefinition(read);
    type->addReference(Reference(kHasEncoding, true, num(11, 1)));
    nodes.insert(std::move(type));
    nodes.insert(encodingNode(11, "Default Binary"));
    addInverseReferencesToAll(nodes);
    read.setBinaryEncodingId(num(11, 1));
    EXPECT_EQ(read, dynamic_cast<DataType&>(*nodes.find(num(10, 1))).structureDefinition());
}

} // namespace
