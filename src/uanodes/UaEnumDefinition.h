#pragma once

#include "uanodes/UaDataTypeDefinition.h"
#include "uanodes/UaEnumValue.h"

#include <vector>

/// The definition of an enumeration data type: its name and its values in file order. A
/// default-constructed definition is empty (no name, no values).
class UaEnumDefinition : public UaDataTypeDefinition {
public:
    const std::vector<UaEnumValue>& values() const { return m_values; }
    void addValue(const UaEnumValue& value) { m_values.push_back(value); }

    /// Neither a name nor any value: nothing was read for it.
    bool isEmpty() const;

    friend bool operator==(const UaEnumDefinition& a, const UaEnumDefinition& b);

private:
    std::vector<UaEnumValue> m_values;
};
