#pragma once

#include "uatypes/UaSharedRef.h"

#include <cstddef>
#include <utility>
#include <vector>

class UaByteString;
class UaNodeId;
class UaString;
class UaVariant;

/// A structured value of a data type: its type identifier and either the binary encoding of
/// its body as read (for types this system does not decode), or its fields by name in their
/// declared order (for the few standard structures it does decode). Held in a shared
/// immutable representation; a change builds a new one.
class UaExtensionObject {
public:
    enum class Encoding { None, Binary, Fields };

    /// No type, no body.
    UaExtensionObject() = default;
    explicit UaExtensionObject(const UaNodeId& typeId);
    /// A field-encoded value with all its fields at once, in this order (one representation
    /// instead of one per addField).
    UaExtensionObject(const UaNodeId& typeId, std::vector<std::pair<UaString, UaVariant>> fields);

    UaNodeId typeId() const;
    void setTypeId(const UaNodeId& typeId);

    Encoding encoding() const;
    /// The binary body; the null byte string unless the encoding is Binary.
    UaByteString binaryBody() const;
    /// Makes this a binary-encoded value (the fields are dropped).
    void setBinaryBody(const UaByteString& body);

    std::size_t fieldCount() const;
    /// Name and value of field `index`; empty past the last field.
    UaString fieldName(std::size_t index) const;
    UaVariant fieldValue(std::size_t index) const;
    /// The value of the first field of that name; an empty value when there is none.
    UaVariant field(const UaString& name) const;
    /// Appends a field, making this a field-encoded value (a binary body is dropped).
    void addField(const UaString& name, const UaVariant& value);

    friend bool operator==(const UaExtensionObject& a, const UaExtensionObject& b);

private:
    struct Rep;
    // So that initial(), declared after the class, may name Rep.
    friend class UaSharedRef<Rep>;
    UaSharedRef<Rep> m_rep;
};

template <> const UaSharedData* UaSharedRef<UaExtensionObject::Rep>::initial() noexcept;
