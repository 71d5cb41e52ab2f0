#include "uanodes/UaStructureDefinition.h"

bool UaStructureDefinition::hasName() const { return m_name.length() > 0; }

bool UaStructureDefinition::isEmpty() const { return !hasName() && m_fields.empty(); }

bool operator==(const UaStructureDefinition& a, const UaStructureDefinition& b)
{
    return a.m_name == b.m_name && a.m_dataTypeId == b.m_dataTypeId && a.m_description == b.m_description
        && a.m_isUnion == b.m_isUnion && a.m_binaryEncodingId == b.m_binaryEncodingId
        && a.m_xmlEncodingId == b.m_xmlEncodingId && a.m_fields == b.m_fields;
}
