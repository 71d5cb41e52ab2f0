#pragma once

#include "uanodes/TypeNode.h"
#include "uanodes/UaEnumDefinition.h"
#include "uanodes/UaStructureDefinition.h"

namespace UaBase {

/// A data type node with its structure or enumeration definition.
class DataType : public TypeNode {
public:
    using TypeNode::TypeNode;

    NodeClass nodeClass() const override { return NodeClass::DataType; }
    /// Besides the type node's work, takes the binary and XML encoding identifiers of the
    /// structure definition from the "Default Binary" and "Default XML" nodes this node has
    /// HasEncoding references to, and names a definition that has encodings but no data type.
    void addInverseReferences(NodeMap& nodes) override;

    UaStructureDefinition structureDefinition() const { return m_structureDefinition; }
    void setStructureDefinition(const UaStructureDefinition& definition) { m_structureDefinition = definition; }
    UaEnumDefinition enumDefinition() const { return m_enumDefinition; }
    void setEnumDefinition(const UaEnumDefinition& definition) { m_enumDefinition = definition; }

private:
    UaStructureDefinition m_structureDefinition;
    UaEnumDefinition m_enumDefinition;
};

} // namespace UaBase
