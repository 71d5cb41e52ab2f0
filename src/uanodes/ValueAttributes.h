#pragma once

#include "uatypes/UaNodeId.h"
#include "uatypes/UaVariant.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace UaBase {

/// The value attributes that variables and variable types both have: the data type, value
/// rank and array dimensions of the value, and the value itself (for a variable type, the
/// default value of its instances).
class ValueAttributes {
public:
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
