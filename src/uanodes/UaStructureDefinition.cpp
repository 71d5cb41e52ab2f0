#include "uanodes/UaStructureDefinition.h"

bool UaStructureDefinition::hasName() const { return name().length() > 0; }

bool UaStructureDefinition::isEmpty() const { return !hasName() && m_fields.empty(); }

bool operator==(const UaStructureDefinition& a, const UaStructureDefinition& b)
{
    return a.sameHeading(b) && a.m_isUnion == b.m_isUnion && a.m_binaryEncodingId == b.m_binaryEncodingId
        && a.m_xmlEncodingId == b.m_xmlEncodingId && a.m_fields == b.m_fields;
}
