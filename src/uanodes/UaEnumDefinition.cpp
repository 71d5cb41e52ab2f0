#include "uanodes/UaEnumDefinition.h"

bool UaEnumDefinition::isEmpty() const { return name().length() == 0 && m_values.empty(); }

bool operator==(const UaEnumDefinition& a, const UaEnumDefinition& b)
{
    return a.sameHeading(b) && a.m_values == b.m_values;
}
