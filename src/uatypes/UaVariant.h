#pragma once

#include "uatypes/UaBuiltInType.h"
#include "uatypes/UaSharedRef.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class UaByteString;
class UaDateTime;
class UaExtensionObject;
class UaGuid;
class UaLocalizedText;
class UaNodeId;
class UaQualifiedName;
class UaStatus;
class UaString;

/// Empty, or one value of a built-in type: a scalar or a one-dimensional array. Held in a
/// shared immutable representation: copies are cheap and may be used from several threads at
/// once; every setter builds a new representation.
///
/// The getters (toInt32 and so on) give Good for a value of exactly that type and shape; a
/// String value is also read as a number or a Boolean by the rules of changeType. Anything
/// else gives BadTypeMismatch; the output is changed only on Good.
class UaVariant {
public:
    /// The empty value.
    UaVariant() = default;

    /// Null for the empty value.
    UaBuiltInType type() const;
    bool isEmpty() const { return type() == UaBuiltInType::Null; }
    bool isArray() const;
    /// Number of array elements; 0 for a scalar or an empty value.
    std::size_t arrayLength() const;
    /// Array element `index` as a scalar value (an element of a Variant array is that variant
    /// itself); the empty value for a scalar or an index past the end.
    UaVariant element(std::size_t index) const;
    void clear();

    /// Changes a String value (scalar or array, element by element) to a number type by the
    /// text rules of UaNumberText, or to Boolean (true exactly for "true"). A value already of
    /// the type is left as it is. On failure the value is unchanged and the result is
    /// BadOutOfRange (a text that is no number of the type) or BadTypeMismatch (no such
    /// conversion).
    UaStatus changeType(UaBuiltInType type);

    /// A display text: numbers in decimal, Boolean as "true"/"false", strings as they are,
    /// GUIDs with braces, byte strings in base64, node identifiers in their XML text form,
    /// qualified names and localized texts in their display form, date and time in ISO 8601;
    /// arrays as "{a,b,c}"; the empty value as "".
    UaString toString() const;

    friend bool operator==(const UaVariant& a, const UaVariant& b);

    void setBoolean(bool value);
    void setSByte(std::int8_t value);
    void setByte(std::uint8_t value);
    void setInt16(std::int16_t value);
    void setUInt16(std::uint16_t value);
    void setInt32(std::int32_t value);
    void setUInt32(std::uint32_t value);
    void setInt64(std::int64_t value);
    void setUInt64(std::uint64_t value);
    void setFloat(float value);
    void setDouble(double value);
    void setString(const UaString& value);
    void setDateTime(UaDateTime value);
    void setGuid(const UaGuid& value);
    void setByteString(const UaByteString& value);
    void setXmlElement(const UaString& value);
    void setNodeId(const UaNodeId& value);
    void setQualifiedName(const UaQualifiedName& value);
    void setLocalizedText(const UaLocalizedText& value);
    void setExtensionObject(const UaExtensionObject& value);

    void setBooleanArray(std::vector<bool> values);
    void setSByteArray(std::vector<std::int8_t> values);
    void setByteArray(std::vector<std::uint8_t> values);
    void setInt16Array(std::vector<std::int16_t> values);
    void setUInt16Array(std::vector<std::uint16_t> values);
    void setInt32Array(std::vector<std::int32_t> values);
    void setUInt32Array(std::vector<std::uint32_t> values);
    void setInt64Array(std::vector<std::int64_t> values);
    void setUInt64Array(std::vector<std::uint64_t> values);
    void setFloatArray(std::vector<float> values);
    void setDoubleArray(std::vector<double> values);
    void setStringArray(std::vector<UaString> values);
    void setDateTimeArray(std::vector<UaDateTime> values);
    void setGuidArray(std::vector<UaGuid> values);
    void setByteStringArray(std::vector<UaByteString> values);
    void setXmlElementArray(std::vector<UaString> values);
    void setNodeIdArray(std::vector<UaNodeId> values);
    void setQualifiedNameArray(std::vector<UaQualifiedName> values);
    void setLocalizedTextArray(std::vector<UaLocalizedText> values);
    void setExtensionObjectArray(std::vector<UaExtensionObject> values);
    void setVariantArray(std::vector<UaVariant> values);

    UaStatus toBoolean(bool& value) const;
    UaStatus toSByte(std::int8_t& value) const;
    UaStatus toByte(std::uint8_t& value) const;
    UaStatus toInt16(std::int16_t& value) const;
    UaStatus toUInt16(std::uint16_t& value) const;
    UaStatus toInt32(std::int32_t& value) const;
    UaStatus toUInt32(std::uint32_t& value) const;
    UaStatus toInt64(std::int64_t& value) const;
    UaStatus toUInt64(std::uint64_t& value) const;
    UaStatus toFloat(float& value) const;
    UaStatus toDouble(double& value) const;
    UaStatus toString(UaString& value) const;
    UaStatus toDateTime(UaDateTime& value) const;
    UaStatus toGuid(UaGuid& value) const;
    UaStatus toByteString(UaByteString& value) const;
    UaStatus toXmlElement(UaString& value) const;
    UaStatus toNodeId(UaNodeId& value) const;
    UaStatus toQualifiedName(UaQualifiedName& value) const;
    UaStatus toLocalizedText(UaLocalizedText& value) const;
    UaStatus toExtensionObject(UaExtensionObject& value) const;

    UaStatus toBooleanArray(std::vector<bool>& values) const;
    UaStatus toSByteArray(std::vector<std::int8_t>& values) const;
    UaStatus toByteArray(std::vector<std::uint8_t>& values) const;
    UaStatus toInt16Array(std::vector<std::int16_t>& values) const;
    UaStatus toUInt16Array(std::vector<std::uint16_t>& values) const;
    UaStatus toInt32Array(std::vector<std::int32_t>& values) const;
    UaStatus toUInt32Array(std::vector<std::uint32_t>& values) const;
    UaStatus toInt64Array(std::vector<std::int64_t>& values) const;
    UaStatus toUInt64Array(std::vector<std::uint64_t>& values) const;
    UaStatus toFloatArray(std::vector<float>& values) const;
    UaStatus toDoubleArray(std::vector<double>& values) const;
    UaStatus toStringArray(std::vector<UaString>& values) const;
    UaStatus toDateTimeArray(std::vector<UaDateTime>& values) const;
    UaStatus toGuidArray(std::vector<UaGuid>& values) const;
    UaStatus toByteStringArray(std::vector<UaByteString>& values) const;
    UaStatus toXmlElementArray(std::vector<UaString>& values) const;
    UaStatus toNodeIdArray(std::vector<UaNodeId>& values) const;
    UaStatus toQualifiedNameArray(std::vector<UaQualifiedName>& values) const;
    UaStatus toLocalizedTextArray(std::vector<UaLocalizedText>& values) const;
    UaStatus toExtensionObjectArray(std::vector<UaExtensionObject>& values) const;
    UaStatus toVariantArray(std::vector<UaVariant>& values) const;

private:
    struct Rep;
    template <class T> void assign(UaBuiltInType type, bool isArray, std::vector<T> values);
    template <class T> void assignScalar(UaBuiltInType type, T value);
    template <class T> UaStatus readScalar(UaBuiltInType type, T& value) const;
    template <class T> UaStatus readArray(UaBuiltInType type, std::vector<T>& values) const;

    // So that initial(), declared after the class, may name Rep.
    friend class UaSharedRef<Rep>;
    UaSharedRef<Rep> m_rep;
};

template <> const UaSharedData* UaSharedRef<UaVariant::Rep>::initial() noexcept;
