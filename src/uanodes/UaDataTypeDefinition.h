#pragma once

#include "uatypes/UaLocalizedText.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaString.h"

/// What the definitions of structure and enumeration data types have alike: the name, the data
/// type and the description.
class UaDataTypeDefinition {
public:
    const UaString& name() const { return m_name; }
    void setName(const UaString& name) { m_name = name; }
    const UaNodeId& dataTypeId() const { return m_dataTypeId; }
    void setDataTypeId(const UaNodeId& dataTypeId) { m_dataTypeId = dataTypeId; }
    const UaLocalizedText& description() const { return m_description; }
    void setDescription(const UaLocalizedText& description) { m_description = description; }

protected:
    /// The same name, data type and description (for the definitions' own comparisons).
    bool sameHeading(const UaDataTypeDefinition& other) const
    {
        return m_name == other.m_name && m_dataTypeId == other.m_dataTypeId && m_description == other.m_description;
    }

private:
    UaString m_name;
    UaNodeId m_dataTypeId;
    UaLocalizedText m_description;
};
