#pragma once

#include "uanodes/TypeNode.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaVariant.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace UaBase {

/// A variable type node, with the data type, value rank and default value of its instances.
class VariableType : public TypeNode {
public:
    explicit VariableType(const UaNodeId& nodeId)
        : TypeNode(nodeId)
    {
    }

    NodeClass nodeClass() const override { return NodeClass::VariableType; }

    UaNodeId dataType() const { return m_dataType; }
    void setDataType(const UaNodeId& dataType) { m_dataType = dataType; }
    std::int32_t valueRank() const { return m_valueRank; }
    void setValueRank(std::int32_t valueRank) { m_valueRank = valueRank; }
    std::vector<std::uint32_t> arrayDimensions() const { return m_arrayDimensions; }
    void setArrayDimensions(const std::vector<std::uint32_t>& arrayDimensions) { m_arrayDimensions = arrayDimensions; }
    UaVariant value() const { return m_value; }
    void setValue(UaVariant value) { m_value = std::move(value); }

private:
    UaNodeId m_dataType;
    std::int32_t m_valueRank = -1;
    std::vector<std::uint32_t> m_arrayDimensions;
    UaVariant m_value;
};

} // namespace UaBase
