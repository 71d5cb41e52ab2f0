#pragma once

#include "uatypes/UaBuiltInType.h"
#include "uatypes/UaLocalizedText.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaString.h"

#include <cstdint>
#include <memory>

class UaEnumDefinition;
class UaStructureDefinition;

/// One field of a structure data type. A field may carry the definition of its own data type
/// (a nested structure or an enumeration); nested definitions are immutable snapshots shared
/// between copies, so copying a deeply nested definition stays cheap.
class UaStructureField {
public:
    UaStructureField();
    ~UaStructureField();
    UaStructureField(const UaStructureField&);
    UaStructureField& operator=(const UaStructureField&);
    UaStructureField(UaStructureField&&) noexcept;
    UaStructureField& operator=(UaStructureField&&) noexcept;

    const UaString& name() const { return m_name; }
    void setName(const UaString& name) { m_name = name; }
    const UaNodeId& dataTypeId() const { return m_dataTypeId; }
    void setDataTypeId(const UaNodeId& dataTypeId) { m_dataTypeId = dataTypeId; }
    /// -1 for a scalar field (the default), 1 for an array field.
    std::int32_t valueRank() const { return m_valueRank; }
    void setValueRank(std::int32_t valueRank) { m_valueRank = valueRank; }
    bool isArray() const { return m_valueRank == 1; }
    bool isOptional() const { return m_isOptional; }
    void setIsOptional(bool isOptional) { m_isOptional = isOptional; }
    const UaLocalizedText& description() const { return m_description; }
    void setDescription(const UaLocalizedText& description) { m_description = description; }
    /// The built-in type that encodes the field's data type; Null until resolved.
    UaBuiltInType builtInType() const { return m_builtInType; }
    void setBuiltInType(UaBuiltInType builtInType) { m_builtInType = builtInType; }
    bool hasBuiltInType() const { return m_builtInType != UaBuiltInType::Null; }

    bool hasStructureDefinition() const { return m_structureDefinition != nullptr; }
    /// The nested structure definition; an empty one when there is none.
    UaStructureDefinition structureDefinition() const;
    void setStructureDefinition(const UaStructureDefinition& definition);
    bool hasEnumDefinition() const { return m_enumDefinition != nullptr; }
    /// The nested enumeration definition; an empty one when there is none.
    UaEnumDefinition enumDefinition() const;
    void setEnumDefinition(const UaEnumDefinition& definition);

    friend bool operator==(const UaStructureField& a, const UaStructureField& b);

private:
    UaString m_name;
    UaNodeId m_dataTypeId;
    std::int32_t m_valueRank = -1;
    bool m_isOptional = false;
    UaLocalizedText m_description;
    UaBuiltInType m_builtInType = UaBuiltInType::Null;
    std::shared_ptr<const UaStructureDefinition> m_structureDefinition;
    std::shared_ptr<const UaEnumDefinition> m_enumDefinition;
};
