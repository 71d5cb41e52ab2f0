#include "uanodes/UaEnumDefinition.h"

bool UaEnumDefinition::isEmpty() const { return m_name.length() == 0 && m_values.empty(); }

bool operator==(const UaEnumDefinition& a, const UaEnumDefinition& b)
{
    return a.m_name == b.m_name && a.m_dataTypeId == b.m_dataTypeId && a.m_description == b.m_description
        && a.m_values == b.m_values;
}
