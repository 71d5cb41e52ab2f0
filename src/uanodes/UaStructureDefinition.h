#pragma once

#include "uanodes/UaDataTypeDefinition.h"
#include "uanodes/UaStructureField.h"

#include <cstddef>
#include <vector>

/// The definition of a structure data type: its identity, its encodings and its fields in
/// order (inherited fields first once completed from the super types). A default-constructed
/// definition is empty; a definition counts as present when it has a name.
class UaStructureDefinition : public UaDataTypeDefinition {
public:
    bool isUnion() const { return m_isUnion; }
    void setIsUnion(bool isUnion) { m_isUnion = isUnion; }
    const UaNodeId& binaryEncodingId() const { return m_binaryEncodingId; }
    void setBinaryEncodingId(const UaNodeId& encodingId) { m_binaryEncodingId = encodingId; }
    const UaNodeId& xmlEncodingId() const { return m_xmlEncodingId; }
    void setXmlEncodingId(const UaNodeId& encodingId) { m_xmlEncodingId = encodingId; }

    const std::vector<UaStructureField>& fields() const { return m_fields; }
    std::vector<UaStructureField>& fields() { return m_fields; }
    void setFields(const std::vector<UaStructureField>& fields) { m_fields = fields; }
    void addField(const UaStructureField& field) { m_fields.push_back(field); }
    std::size_t fieldCount() const { return m_fields.size(); }

    bool hasName() const;
    /// Neither a name nor any field: nothing was read for it.
    bool isEmpty() const;

    friend bool operator==(const UaStructureDefinition& a, const UaStructureDefinition& b);

private:
    bool m_isUnion = false;
    UaNodeId m_binaryEncodingId;
    UaNodeId m_xmlEncodingId;
    std::vector<UaStructureField> m_fields;
};
