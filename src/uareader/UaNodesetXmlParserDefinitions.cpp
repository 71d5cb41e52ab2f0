// Data type definitions: reading them from `Definition` elements, completing structures with
// the fields of their super types, and the built-in type of every field.

#include "uareader/UaNodesetXmlParser.h"

#include "uanodes/DataType.h"
#include "uanodes/StandardNodeIds.h"
#include "uatypes/UaNumberText.h"
#include "uaxml/XmlNodeReader.h"

#include <libxml/tree.h>

#include <optional>

namespace UaBase {

namespace {

using Xml = XmlNodeReader;

// Longest super type chain followed for a field's built-in type, so that a file whose super
// types form a loop cannot hold the reader forever.
constexpr int kMaxSuperTypeSteps = 64;
// Deepest nesting of definition lookups (super types and field types, each completed before it
// is used); deeper chains are left as they are instead of exhausting the stack.
constexpr int kMaxDefinitionDepth = 64;

/// The standard subtypes of the built-in types that are encoded as their built-in type.
struct StandardSubtype {
    std::uint32_t id;
    UaBuiltInType builtIn;
};
constexpr StandardSubtype kStandardSubtypes[] = {
    { 288, UaBuiltInType::UInt32 }, // IntegerId
    { 289, UaBuiltInType::UInt32 }, // Counter
    { 290, UaBuiltInType::Double }, // Duration
    { 291, UaBuiltInType::String }, // NumericRange
    { 292, UaBuiltInType::String }, // Time
    { 295, UaBuiltInType::String }, // LocaleId
    { 12878, UaBuiltInType::String }, // NormalizedString
    { 12879, UaBuiltInType::String }, // DecimalString
    { 12880, UaBuiltInType::String }, // DurationString
    { 12881, UaBuiltInType::String }, // TimeString
    { 293, UaBuiltInType::DateTime }, // Date
    { 294, UaBuiltInType::DateTime }, // UtcTime
    { 30, UaBuiltInType::ByteString }, // Image
    { 311, UaBuiltInType::ByteString }, // ApplicationInstanceCertificate
    { 521, UaBuiltInType::ByteString }, // ContinuationPoint
    { 2000, UaBuiltInType::ByteString }, // ImageBMP
    { 2001, UaBuiltInType::ByteString }, // ImageGIF
    { 2002, UaBuiltInType::ByteString }, // ImageJPG
    { 2003, UaBuiltInType::ByteString }, // ImagePNG
    { 388, UaBuiltInType::NodeId }, // SessionAuthenticationToken
    { 11737, UaBuiltInType::UInt64 }, // BitFieldMaskDataType
    { 26, UaBuiltInType::Variant }, // Number
    { 27, UaBuiltInType::Variant }, // Integer
    { 28, UaBuiltInType::Variant }, // UInteger
};

/// The built-in type that encodes a standard data type, for the types and standard subtypes
/// that have one.
std::optional<UaBuiltInType> standardBuiltInType(const UaNodeId& dataType)
{
    if (!isStandardNumeric(dataType)) {
        return std::nullopt;
    }
    const std::uint32_t id = dataType.identifierNumeric();
    if (id >= 1 && id <= 25) {
        return static_cast<UaBuiltInType>(id);
    }
    for (const StandardSubtype& subtype : kStandardSubtypes) {
        if (subtype.id == id) {
            return subtype.builtIn;
        }
    }
    return std::nullopt;
}

DataType* dataTypeIn(NodeMap& nodes, const UaNodeId& id)
{
    BaseNode* node = nodes.find(id);
    return node != nullptr && node->nodeClass() == NodeClass::DataType ? static_cast<DataType*>(node) : nullptr;
}

UaLocalizedText descriptionOf(const xmlNode* field)
{
    const xmlNode* description = Xml::firstChildNamed(field, "Description");
    if (description == nullptr) {
        return {};
    }
    return UaLocalizedText(
        UaString(Xml::attribute(description, "Locale").view()), UaString(Xml::content(description).view()));
}

/// The values of an enumeration: one per `Field` child of the definition.
void readEnumValues(const xmlNode* definition, UaEnumDefinition& enumeration)
{
    for (const xmlNode* field = Xml::firstChildElement(definition); field != nullptr;
         field = Xml::nextSiblingElement(field)) {
        if (!Xml::hasName(field, "Field")) {
            continue;
        }
        std::int32_t value = 0;
        const XmlText valueText = Xml::attribute(field, "Value");
        if (valueText.isPresent() && UaNumberText::toInt32(valueText.view(), value).isNotGood()) {
            value = 0;
        }
        enumeration.addValue(UaEnumValue(UaString(Xml::attribute(field, "Name").view()), value));
    }
}

} // namespace

/// Counts the nesting of definition lookups for the lifetime of one lookup.
class UaNodesetXmlParser::DefinitionDepth {
public:
    explicit DefinitionDepth(int& depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~DefinitionDepth() { --m_depth; }
    DefinitionDepth(const DefinitionDepth&) = delete;
    DefinitionDepth& operator=(const DefinitionDepth&) = delete;
    bool isTooDeep() const { return m_depth > kMaxDefinitionDepth; }

private:
    int& m_depth;
};

void UaNodesetXmlParser::readEnumerationSubtype(DataType* dataType) const
{
    // The first inverse HasSubtype reference names the super type the file gives.
    for (const Reference& reference : dataType->references()) {
        if (reference.isForward() || !isStandardNode(reference.referenceTypeId(), reference_type_ids::HasSubtype)) {
            continue;
        }
        if (isStandardNode(reference.targetNodeId(), DataTypeIds::Enumeration)) {
            const xmlNode* definition = Xml::firstChildNamed(currentElement(), "Definition");
            UaEnumDefinition enumeration;
            enumeration.setName(UaString(Xml::attribute(definition, "Name").view()));
            enumeration.setDataTypeId(dataType->nodeId());
            readEnumValues(definition, enumeration);
            dataType->setEnumDefinition(enumeration);
        }
        return;
    }
}

void UaNodesetXmlParser::parseDataTypeDefinition(DataType* dataType)
{
    const xmlNode* definition = Xml::firstChildNamed(currentElement(), "Definition");
    const xmlNode* firstField = Xml::firstChildNamed(definition, "Field");
    if (firstField == nullptr) {
        return;
    }
    if (Xml::attribute(firstField, "Value").isPresent()) {
        UaEnumDefinition enumeration;
        enumeration.setName(dataType->browseName().name());
        enumeration.setDataTypeId(dataType->nodeId());
        enumeration.setDescription(dataType->description());
        readEnumValues(definition, enumeration);
        dataType->setEnumDefinition(enumeration);
        return;
    }
    UaStructureDefinition structure = dataType->structureDefinition();
    structure.setName(dataType->browseName().name());
    structure.setDataTypeId(dataType->nodeId());
    structure.setDescription(dataType->description());
    structure.setIsUnion(Xml::attribute(definition, "IsUnion") == "true");
    for (const xmlNode* element = firstField; element != nullptr; element = Xml::nextSiblingElement(element)) {
        if (!Xml::hasName(element, "Field")) {
            continue;
        }
        UaStructureField field;
        field.setName(UaString(Xml::attribute(element, "Name").view()));
        const XmlText fieldType = Xml::attribute(element, "DataType");
        field.setDataTypeId(fieldType.isPresent() ? resolveText(fieldType.view(), fieldType.isInPlace())
                                                  : UaNodeId(DataTypeIds::BaseDataType, 0));
        std::int32_t valueRank = 0;
        const XmlText rankText = Xml::attribute(element, "ValueRank");
        if (rankText.isPresent() && UaNumberText::toInt32(rankText.view(), valueRank).isGood()
            && (valueRank == -1 || valueRank == 1)) {
            field.setValueRank(valueRank);
        }
        field.setIsOptional(Xml::attribute(element, "IsOptional") == "true");
        field.setDescription(descriptionOf(element));
        structure.addField(field);
    }
    dataType->setStructureDefinition(structure);
}

void UaNodesetXmlParser::completeDefinitions(NodeMap& nodes)
{
    VisitedMap visited;
    for (const auto& [nodeId, node] : nodes) {
        if (node->nodeClass() != NodeClass::DataType) {
            continue;
        }
        auto* dataType = static_cast<DataType*>(node.get());
        if (!dataType->structureDefinition().hasName()) {
            continue;
        }
        // A data type completed earlier as another's super type or field type already has its
        // inherited fields; completing it again would add them twice.
        if (visited.count(nodeId) == 0) {
            completeStructureDefinition(dataType, nodes, visited);
        }
        resolveFieldBuiltInTypes(dataType, nodes);
    }
}

UaStatus UaNodesetXmlParser::completeStructureDefinition(DataType* dataType, NodeMap& nodes, VisitedMap& visited)
{
    visited.insert(dataType->nodeId());
    const DefinitionDepth depth(m_definitionDepth);
    if (depth.isTooDeep()) {
        return UaStatus::Good;
    }
    UaStructureDefinition structure = dataType->structureDefinition();
    const UaNodeId superType = dataType->superType();
    if (!superType.isNull() && !isStandardNode(superType, DataTypeIds::Structure)
        && !isStandardNode(superType, DataTypeIds::BaseDataType)) {
        const UaStructureDefinition inherited = getStructureDefinition(superType, nodes, visited);
        if (inherited.hasName() && inherited.fieldCount() > 0) {
            std::vector<UaStructureField> fields = inherited.fields();
            fields.insert(fields.end(), structure.fields().begin(), structure.fields().end());
            structure.setFields(fields);
        }
    }
    for (UaStructureField& field : structure.fields()) {
        if (!field.hasStructureDefinition()) {
            const UaStructureDefinition nested = getStructureDefinition(field.dataTypeId(), nodes, visited);
            if (nested.hasName()) {
                field.setStructureDefinition(nested);
            }
        }
        if (!field.hasEnumDefinition()) {
            const UaEnumDefinition enumeration = getEnumDefinition(field.dataTypeId(), nodes, visited);
            if (!enumeration.isEmpty()) {
                field.setEnumDefinition(enumeration);
            }
        }
    }
    dataType->setStructureDefinition(structure);
    return UaStatus::Good;
}

template <class Definition>
Definition UaNodesetXmlParser::definitionOf(const UaNodeId& dataTypeId,
    NodeMap& nodes,
    VisitedMap& visited,
    Definition (DataType::*ofNode)() const,
    Definition (TypeDefinitionProvider::*ofProvider)(const UaNodeId&))
{
    if (DataType* dataType = dataTypeIn(nodes, dataTypeId)) {
        if (visited.count(dataTypeId) == 0) {
            completeStructureDefinition(dataType, nodes, visited);
        }
        return (dataType->*ofNode)();
    }
    if (m_typeDefinitionProvider != nullptr && !nodes.contains(dataTypeId)) {
        return (m_typeDefinitionProvider->*ofProvider)(dataTypeId);
    }
    return {};
}

UaStructureDefinition
UaNodesetXmlParser::getStructureDefinition(const UaNodeId& dataTypeId, NodeMap& nodes, VisitedMap& visited)
{
    return definitionOf(
        dataTypeId, nodes, visited, &DataType::structureDefinition, &TypeDefinitionProvider::structureDefinition);
}

UaEnumDefinition UaNodesetXmlParser::getEnumDefinition(const UaNodeId& dataTypeId, NodeMap& nodes, VisitedMap& visited)
{
    return definitionOf(dataTypeId, nodes, visited, &DataType::enumDefinition, &TypeDefinitionProvider::enumDefinition);
}

void UaNodesetXmlParser::resolveFieldBuiltInTypes(DataType* dataType, NodeMap& nodes)
{
    UaStructureDefinition structure = dataType->structureDefinition();
    bool changed = false;
    for (UaStructureField& field : structure.fields()) {
        if (field.hasBuiltInType()) {
            continue;
        }
        // The field's own type first: a Double field is a Double, although Double's super
        // type (Number) would make it a Variant.
        UaNodeId candidate = field.dataTypeId();
        for (int step = 0; step < kMaxSuperTypeSteps && !candidate.isNull(); ++step) {
            if (const std::optional<UaBuiltInType> builtIn = standardBuiltInType(candidate)) {
                field.setBuiltInType(*builtIn);
                changed = true;
                break;
            }
            const BaseNode* node = nodes.find(candidate);
            if (node == nullptr || !isTypeNodeClass(node->nodeClass())) {
                break;
            }
            candidate = static_cast<const TypeNode*>(node)->superType();
        }
    }
    if (changed) {
        dataType->setStructureDefinition(structure);
    }
}

} // namespace UaBase
