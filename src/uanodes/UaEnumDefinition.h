#pragma once

#include "uanodes/UaEnumValue.h"
#include "uatypes/UaLocalizedText.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaString.h"

#include <vector>

/// The definition of an enumeration data type: its name and its values in file order. A
/// default-constructed definition is empty (no name, no values).
class UaEnumDefinition {
public:
    const UaString& name() const { return m_name; }
    void setName(const UaString& name) { m_name = name; }
    const UaNodeId& dataTypeId() const { return m_dataTypeId; }
    void setDataTypeId(const UaNodeId& dataTypeId) { m_dataTypeId = dataTypeId; }
    const UaLocalizedText& description() const { return m_description; }
    void setDescription(const UaLocalizedText& description) { m_description = description; }

    const std::vector<UaEnumValue>& values() const { return m_values; }
    void addValue(const UaEnumValue& value) { m_values.push_back(value); }

    /// Neither a name nor any value: nothing was read for it.
    bool isEmpty() const;

    friend bool operator==(const UaEnumDefinition& a, const UaEnumDefinition& b);

private:
    UaString m_name;
    UaNodeId m_dataTypeId;
    UaLocalizedText m_description;
    std::vector<UaEnumValue> m_values;
};
