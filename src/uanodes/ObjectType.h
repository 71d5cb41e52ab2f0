#pragma once

#include "uanodes/TypeNode.h"

namespace UaBase {

/// An object type node.
class ObjectType : public TypeNode {
public:
    explicit ObjectType(const UaNodeId& nodeId)
        : TypeNode(nodeId)
    {
    }

    NodeClass nodeClass() const override { return NodeClass::ObjectType; }
};

} // namespace UaBase
