#pragma once

#include "uanodes/BaseNode.h"

namespace UaBase {

/// The common part of the four type node classes: abstractness and the super type.
class TypeNode : public BaseNode {
public:
    using BaseNode::BaseNode;

    /// Besides the inverse references, derives super types from HasSubtype references: a
    /// forward one makes this node the super type of a type node in the map; an inverse one
    /// makes its target this node's super type, also when the target is outside the map.
    void addInverseReferences(NodeMap& nodes) override;

    bool isAbstract() const { return m_isAbstract; }
    void setIsAbstract(bool isAbstract) { m_isAbstract = isAbstract; }
    UaNodeId superType() const { return m_superType; }
    void setSuperType(const UaNodeId& superType) { m_superType = superType; }

private:
    bool m_isAbstract = false;
    UaNodeId m_superType;
};

} // namespace UaBase
