#include "uanodes/UaStructureField.h"

#include "uanodes/UaEnumDefinition.h"
#include "uanodes/UaStructureDefinition.h"

UaStructureField::UaStructureField() = default;
UaStructureField::~UaStructureField() = default;
UaStructureField::UaStructureField(const UaStructureField&) = default;
UaStructureField& UaStructureField::operator=(const UaStructureField&) = default;
UaStructureField::UaStructureField(UaStructureField&&) noexcept = default;
UaStructureField& UaStructureField::operator=(UaStructureField&&) noexcept = default;

UaStructureDefinition UaStructureField::structureDefinition() const
{
    return m_structureDefinition ? *m_structureDefinition : UaStructureDefinition();
}

void UaStructureField::setStructureDefinition(const UaStructureDefinition& definition)
{
    m_structureDefinition = std::make_shared<const UaStructureDefinition>(definition);
}

UaEnumDefinition UaStructureField::enumDefinition() const
{
    return m_enumDefinition ? *m_enumDefinition : UaEnumDefinition();
}

void UaStructureField::setEnumDefinition(const UaEnumDefinition& definition)
{
    m_enumDefinition = std::make_shared<const UaEnumDefinition>(definition);
}

namespace {

template <typename Definition>
bool sameNested(const std::shared_ptr<const Definition>& a, const std::shared_ptr<const Definition>& b)
{
    if (!a || !b)
        return !a && !b;
    return a == b || *a == *b;
}

} // namespace

bool operator==(const UaStructureField& a, const UaStructureField& b)
{
    return a.m_name == b.m_name && a.m_dataTypeId == b.m_dataTypeId && a.m_valueRank == b.m_valueRank
        && a.m_isOptional == b.m_isOptional && a.m_description == b.m_description && a.m_builtInType == b.m_builtInType
        && sameNested(a.m_structureDefinition, b.m_structureDefinition)
        && sameNested(a.m_enumDefinition, b.m_enumDefinition);
}
