#pragma once

#include "uanodes/TypeNode.h"
#include "uanodes/ValueAttributes.h"

namespace UaBase {

/// A variable type node, with the data type, value rank and default value of its instances.
class VariableType : public TypeNode, public ValueAttributes {
public:
    using TypeNode::TypeNode;

    NodeClass nodeClass() const override { return NodeClass::VariableType; }
};

} // namespace UaBase
