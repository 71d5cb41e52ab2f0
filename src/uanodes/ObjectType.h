#pragma once

#include "uanodes/TypeNode.h"

namespace UaBase {

/// An object type node.
class ObjectType : public TypeNode {
public:
    using TypeNode::TypeNode;

    NodeClass nodeClass() const override { return NodeClass::ObjectType; }
};

} // namespace UaBase
