#include "uatypes/UaVariant.h"

#include "uatypes/UaByteString.h"
#include "uatypes/UaDateTime.h"
#include "uatypes/UaExtensionObject.h"
#include "uatypes/UaGuid.h"
#include "uatypes/UaLocalizedText.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaNumberText.h"
#include "uatypes/UaQualifiedName.h"
#include "uatypes/UaStatus.h"
#include "uatypes/UaString.h"

#include <array>
#include <charconv>
#include <string>
#include <type_traits>
#include <variant>

namespace {

/// The values of one variant: a single value held in place (a scalar, without a second
/// allocation: nodesets hold thousands of structure fields), or any number in a vector.
template <class T> class Values {
public:
    using value_type = T;

    explicit Values(T one)
        : m_one(std::move(one))
        , m_single(true)
    {
    }
    explicit Values(std::vector<T> many)
        : m_many(std::move(many))
    {
    }

    std::size_t size() const { return m_single ? 1 : m_many.size(); }
    T operator[](std::size_t index) const { return m_single ? m_one : T(m_many[index]); }
    T front() const { return (*this)[0]; }
    std::vector<T> toVector() const { return m_single ? std::vector<T> { m_one } : m_many; }

    friend bool operator==(const Values& a, const Values& b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!(a[i] == b[i]))
                return false;
        }
        return true;
    }

private:
    T m_one {};
    std::vector<T> m_many;
    bool m_single = false;
};

} // namespace

/// Every value is held as the values of its element type, one for a scalar, flagged as scalar.
/// String and XmlElement share the UaString storage.
struct UaVariant::Rep : UaSharedData {
    using Storage = std::variant<std::monostate,
        Values<bool>,
        Values<std::int8_t>,
        Values<std::uint8_t>,
        Values<std::int16_t>,
        Values<std::uint16_t>,
        Values<std::int32_t>,
        Values<std::uint32_t>,
        Values<std::int64_t>,
        Values<std::uint64_t>,
        Values<float>,
        Values<double>,
        Values<UaString>,
        Values<UaDateTime>,
        Values<UaGuid>,
        Values<UaByteString>,
        Values<UaNodeId>,
        Values<UaQualifiedName>,
        Values<UaLocalizedText>,
        Values<UaExtensionObject>,
        Values<UaVariant>>;

    Rep() = default;
    Rep(UaBuiltInType t, bool array, Storage values)
        : type(t)
        , isArray(array)
        , data(std::move(values))
    {
    }

    UaBuiltInType type = UaBuiltInType::Null;
    bool isArray = false;
    Storage data;
};

template <> const UaSharedData* UaSharedRef<UaVariant::Rep>::initial() noexcept
{
    static const UaSharedData* const rep = uaImmortal(new Representation);
    return rep;
}

UaBuiltInType UaVariant::type() const { return m_rep->type; }

bool UaVariant::isArray() const { return m_rep->isArray; }

std::size_t UaVariant::arrayLength() const
{
    if (!m_rep->isArray)
        return 0;
    return std::visit(
        [](const auto& values) -> std::size_t {
            if constexpr (std::is_same_v<std::decay_t<decltype(values)>, std::monostate>)
                return 0;
            else
                return values.size();
        },
        m_rep->data);
}

void UaVariant::clear() { m_rep = UaSharedRef<Rep>(); }

template <class T> void UaVariant::assign(UaBuiltInType type, bool isArray, std::vector<T> values)
{
    m_rep = UaSharedRef<Rep>(new Rep(type, isArray, Rep::Storage(Values<T>(std::move(values)))));
}

template <class T> void UaVariant::assignScalar(UaBuiltInType type, T value)
{
    m_rep = UaSharedRef<Rep>(new Rep(type, false, Rep::Storage(Values<T>(std::move(value)))));
}

UaVariant UaVariant::element(std::size_t index) const
{
    if (!m_rep->isArray)
        return UaVariant();
    return std::visit(
        [&](const auto& values) -> UaVariant {
            using Values = std::decay_t<decltype(values)>;
            if constexpr (std::is_same_v<Values, std::monostate>) {
                return UaVariant();
            } else {
                if (index >= values.size())
                    return UaVariant();
                if constexpr (std::is_same_v<Values, ::Values<UaVariant>>) {
                    return values[index];
                } else {
                    UaVariant item;
                    item.assignScalar(m_rep->type, values[index]);
                    return item;
                }
            }
        },
        m_rep->data);
}

namespace {

bool isTextTarget(UaBuiltInType type)
{
    switch (type) {
    case UaBuiltInType::Boolean:
    case UaBuiltInType::SByte:
    case UaBuiltInType::Byte:
    case UaBuiltInType::Int16:
    case UaBuiltInType::UInt16:
    case UaBuiltInType::Int32:
    case UaBuiltInType::UInt32:
    case UaBuiltInType::Int64:
    case UaBuiltInType::UInt64:
    case UaBuiltInType::Float:
    case UaBuiltInType::Double:
        return true;
    default:
        return false;
    }
}

template <class T> using TextConversion = UaStatus (*)(std::string_view, T&);

/// Converts every text, or none: the first failure is the result.
template <class T> UaStatus convertTexts(const Values<UaString>& texts, TextConversion<T> convert, std::vector<T>& out)
{
    out.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        T value {};
        const UaStatus status = convert(texts[i].view(), value);
        if (status.isNotGood())
            return status;
        out.push_back(value);
    }
    return UaStatus::Good;
}

UaStatus convertBoolean(std::string_view text, bool& value)
{
    value = UaNumberText::toBoolean(text);
    return UaStatus::Good;
}

} // namespace

UaStatus UaVariant::changeType(UaBuiltInType type)
{
    if (m_rep->type == UaBuiltInType::Null)
        return UaStatus::BadTypeMismatch;
    if (m_rep->type == type)
        return UaStatus::Good;
    if (m_rep->type != UaBuiltInType::String || !isTextTarget(type))
        return UaStatus::BadTypeMismatch;

    const auto& texts = std::get<Values<UaString>>(m_rep->data);
    const bool array = m_rep->isArray;
    auto run = [&]<class T>(TextConversion<T> convert) {
        std::vector<T> values;
        const UaStatus status = convertTexts(texts, convert, values);
        if (status.isGood()) {
            if (array)
                assign(type, true, std::move(values));
            else
                assignScalar(type, T(values.front()));
        }
        return status;
    };
    switch (type) {
    case UaBuiltInType::Boolean:
        return run(TextConversion<bool>(&convertBoolean));
    case UaBuiltInType::SByte:
        return run(TextConversion<std::int8_t>(&UaNumberText::toSByte));
    case UaBuiltInType::Byte:
        return run(TextConversion<std::uint8_t>(&UaNumberText::toByte));
    case UaBuiltInType::Int16:
        return run(TextConversion<std::int16_t>(&UaNumberText::toInt16));
    case UaBuiltInType::UInt16:
        return run(TextConversion<std::uint16_t>(&UaNumberText::toUInt16));
    case UaBuiltInType::Int32:
        return run(TextConversion<std::int32_t>(&UaNumberText::toInt32));
    case UaBuiltInType::UInt32:
        return run(TextConversion<std::uint32_t>(&UaNumberText::toUInt32));
    case UaBuiltInType::Int64:
        return run(TextConversion<std::int64_t>(&UaNumberText::toInt64));
    case UaBuiltInType::UInt64:
        return run(TextConversion<std::uint64_t>(&UaNumberText::toUInt64));
    case UaBuiltInType::Float:
        return run(TextConversion<float>(&UaNumberText::toFloat));
    case UaBuiltInType::Double:
        return run(TextConversion<double>(&UaNumberText::toDouble));
    default:
        return UaStatus::BadTypeMismatch;
    }
}

template <class T> UaStatus UaVariant::readScalar(UaBuiltInType type, T& value) const
{
    if (m_rep->type == type && !m_rep->isArray) {
        value = std::get<Values<T>>(m_rep->data).front();
        return UaStatus::Good;
    }
    if (m_rep->type == UaBuiltInType::String && !m_rep->isArray && isTextTarget(type)) {
        UaVariant converted = *this;
        const UaStatus status = converted.changeType(type);
        if (status.isNotGood())
            return status;
        return converted.readScalar(type, value);
    }
    return UaStatus::BadTypeMismatch;
}

template <class T> UaStatus UaVariant::readArray(UaBuiltInType type, std::vector<T>& values) const
{
    if (m_rep->type == type && m_rep->isArray) {
        values = std::get<Values<T>>(m_rep->data).toVector();
        return UaStatus::Good;
    }
    if (m_rep->type == UaBuiltInType::String && m_rep->isArray && isTextTarget(type)) {
        UaVariant converted = *this;
        const UaStatus status = converted.changeType(type);
        if (status.isNotGood())
            return status;
        return converted.readArray(type, values);
    }
    return UaStatus::BadTypeMismatch;
}

namespace {

template <class T> std::string numberText(T value)
{
    std::array<char, 64> text {};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), result.ptr);
}

std::string scalarText(bool value) { return value ? "true" : "false"; }

std::string scalarText(std::int8_t value) { return std::to_string(value); }

std::string scalarText(std::uint8_t value) { return std::to_string(value); }

template <class T>
requires std::is_arithmetic_v<T> std::string scalarText(T value) { return numberText(value); }

std::string scalarText(const UaString& value) { return value.toStdString(); }

std::string scalarText(const UaDateTime& value) { return value.toString().toStdString(); }

std::string scalarText(const UaGuid& value) { return value.toString().toStdString(); }

std::string scalarText(const UaByteString& value) { return value.toBase64().toStdString(); }

std::string scalarText(const UaNodeId& value) { return value.toString().toStdString(); }

std::string scalarText(const UaQualifiedName& value) { return value.toFullString().toStdString(); }

std::string scalarText(const UaLocalizedText& value) { return value.toFullString().toStdString(); }

std::string scalarText(const UaVariant& value) { return value.toString().toStdString(); }

std::string scalarText(const UaExtensionObject& value)
{
    std::string text = value.typeId().toString().toStdString();
    switch (value.encoding()) {
    case UaExtensionObject::Encoding::Binary:
        return text + ":" + value.binaryBody().toBase64().toStdString();
    case UaExtensionObject::Encoding::Fields:
        text += "{";
        for (std::size_t i = 0; i < value.fieldCount(); ++i) {
            if (i > 0)
                text += ",";
            text += value.fieldName(i).toStdString() + "=" + value.fieldValue(i).toString().toStdString();
        }
        return text + "}";
    case UaExtensionObject::Encoding::None:
        break;
    }
    return text;
}

} // namespace

UaString UaVariant::toString() const
{
    const bool array = m_rep->isArray;
    const std::string text = std::visit(
        [array](const auto& values) -> std::string {
            if constexpr (std::is_same_v<std::decay_t<decltype(values)>, std::monostate>) {
                return {};
            } else {
                if (!array)
                    return scalarText(static_cast<typename std::decay_t<decltype(values)>::value_type>(values.front()));
                std::string joined = "{";
                for (std::size_t i = 0; i < values.size(); ++i) {
                    if (i > 0)
                        joined += ",";
                    joined += scalarText(static_cast<typename std::decay_t<decltype(values)>::value_type>(values[i]));
                }
                return joined + "}";
            }
        },
        m_rep->data);
    return UaString(std::string_view(text));
}

bool operator==(const UaVariant& a, const UaVariant& b)
{
    if (a.m_rep.get() == b.m_rep.get())
        return true;
    return a.m_rep->type == b.m_rep->type && a.m_rep->isArray == b.m_rep->isArray && a.m_rep->data == b.m_rep->data;
}

void UaVariant::setBoolean(bool value) { assignScalar(UaBuiltInType::Boolean, value); }

void UaVariant::setSByte(std::int8_t value) { assignScalar(UaBuiltInType::SByte, value); }

void UaVariant::setByte(std::uint8_t value) { assignScalar(UaBuiltInType::Byte, value); }

void UaVariant::setInt16(std::int16_t value) { assignScalar(UaBuiltInType::Int16, value); }

void UaVariant::setUInt16(std::uint16_t value) { assignScalar(UaBuiltInType::UInt16, value); }

void UaVariant::setInt32(std::int32_t value) { assignScalar(UaBuiltInType::Int32, value); }

void UaVariant::setUInt32(std::uint32_t value) { assignScalar(UaBuiltInType::UInt32, value); }

void UaVariant::setInt64(std::int64_t value) { assignScalar(UaBuiltInType::Int64, value); }

void UaVariant::setUInt64(std::uint64_t value) { assignScalar(UaBuiltInType::UInt64, value); }

void UaVariant::setFloat(float value) { assignScalar(UaBuiltInType::Float, value); }

void UaVariant::setDouble(double value) { assignScalar(UaBuiltInType::Double, value); }

void UaVariant::setString(const UaString& value) { assignScalar(UaBuiltInType::String, value); }

void UaVariant::setDateTime(UaDateTime value) { assignScalar(UaBuiltInType::DateTime, value); }

void UaVariant::setGuid(const UaGuid& value) { assignScalar(UaBuiltInType::Guid, value); }

void UaVariant::setByteString(const UaByteString& value) { assignScalar(UaBuiltInType::ByteString, value); }

void UaVariant::setXmlElement(const UaString& value) { assignScalar(UaBuiltInType::XmlElement, value); }

void UaVariant::setNodeId(const UaNodeId& value) { assignScalar(UaBuiltInType::NodeId, value); }

void UaVariant::setQualifiedName(const UaQualifiedName& value) { assignScalar(UaBuiltInType::QualifiedName, value); }

void UaVariant::setLocalizedText(const UaLocalizedText& value) { assignScalar(UaBuiltInType::LocalizedText, value); }

void UaVariant::setExtensionObject(const UaExtensionObject& value)
{
    assignScalar(UaBuiltInType::ExtensionObject, value);
}

void UaVariant::setBooleanArray(std::vector<bool> values) { assign(UaBuiltInType::Boolean, true, std::move(values)); }

void UaVariant::setSByteArray(std::vector<std::int8_t> values)
{
    assign(UaBuiltInType::SByte, true, std::move(values));
}

void UaVariant::setByteArray(std::vector<std::uint8_t> values) { assign(UaBuiltInType::Byte, true, std::move(values)); }

void UaVariant::setInt16Array(std::vector<std::int16_t> values)
{
    assign(UaBuiltInType::Int16, true, std::move(values));
}

void UaVariant::setUInt16Array(std::vector<std::uint16_t> values)
{
    assign(UaBuiltInType::UInt16, true, std::move(values));
}

void UaVariant::setInt32Array(std::vector<std::int32_t> values)
{
    assign(UaBuiltInType::Int32, true, std::move(values));
}

void UaVariant::setUInt32Array(std::vector<std::uint32_t> values)
{
    assign(UaBuiltInType::UInt32, true, std::move(values));
}

void UaVariant::setInt64Array(std::vector<std::int64_t> values)
{
    assign(UaBuiltInType::Int64, true, std::move(values));
}

void UaVariant::setUInt64Array(std::vector<std::uint64_t> values)
{
    assign(UaBuiltInType::UInt64, true, std::move(values));
}

void UaVariant::setFloatArray(std::vector<float> values) { assign(UaBuiltInType::Float, true, std::move(values)); }

void UaVariant::setDoubleArray(std::vector<double> values) { assign(UaBuiltInType::Double, true, std::move(values)); }

void UaVariant::setStringArray(std::vector<UaString> values) { assign(UaBuiltInType::String, true, std::move(values)); }

void UaVariant::setDateTimeArray(std::vector<UaDateTime> values)
{
    assign(UaBuiltInType::DateTime, true, std::move(values));
}

void UaVariant::setGuidArray(std::vector<UaGuid> values) { assign(UaBuiltInType::Guid, true, std::move(values)); }

void UaVariant::setByteStringArray(std::vector<UaByteString> values)
{
    assign(UaBuiltInType::ByteString, true, std::move(values));
}

void UaVariant::setXmlElementArray(std::vector<UaString> values)
{
    assign(UaBuiltInType::XmlElement, true, std::move(values));
}

void UaVariant::setNodeIdArray(std::vector<UaNodeId> values) { assign(UaBuiltInType::NodeId, true, std::move(values)); }

void UaVariant::setQualifiedNameArray(std::vector<UaQualifiedName> values)
{
    assign(UaBuiltInType::QualifiedName, true, std::move(values));
}

void UaVariant::setLocalizedTextArray(std::vector<UaLocalizedText> values)
{
    assign(UaBuiltInType::LocalizedText, true, std::move(values));
}

void UaVariant::setExtensionObjectArray(std::vector<UaExtensionObject> values)
{
    assign(UaBuiltInType::ExtensionObject, true, std::move(values));
}

void UaVariant::setVariantArray(std::vector<UaVariant> values)
{
    assign(UaBuiltInType::Variant, true, std::move(values));
}

UaStatus UaVariant::toBoolean(bool& value) const { return readScalar(UaBuiltInType::Boolean, value); }

UaStatus UaVariant::toSByte(std::int8_t& value) const { return readScalar(UaBuiltInType::SByte, value); }

UaStatus UaVariant::toByte(std::uint8_t& value) const { return readScalar(UaBuiltInType::Byte, value); }

UaStatus UaVariant::toInt16(std::int16_t& value) const { return readScalar(UaBuiltInType::Int16, value); }

UaStatus UaVariant::toUInt16(std::uint16_t& value) const { return readScalar(UaBuiltInType::UInt16, value); }

UaStatus UaVariant::toInt32(std::int32_t& value) const { return readScalar(UaBuiltInType::Int32, value); }

UaStatus UaVariant::toUInt32(std::uint32_t& value) const { return readScalar(UaBuiltInType::UInt32, value); }

UaStatus UaVariant::toInt64(std::int64_t& value) const { return readScalar(UaBuiltInType::Int64, value); }

UaStatus UaVariant::toUInt64(std::uint64_t& value) const { return readScalar(UaBuiltInType::UInt64, value); }

UaStatus UaVariant::toFloat(float& value) const { return readScalar(UaBuiltInType::Float, value); }

UaStatus UaVariant::toDouble(double& value) const { return readScalar(UaBuiltInType::Double, value); }

UaStatus UaVariant::toString(UaString& value) const { return readScalar(UaBuiltInType::String, value); }

UaStatus UaVariant::toDateTime(UaDateTime& value) const { return readScalar(UaBuiltInType::DateTime, value); }

UaStatus UaVariant::toGuid(UaGuid& value) const { return readScalar(UaBuiltInType::Guid, value); }

UaStatus UaVariant::toByteString(UaByteString& value) const { return readScalar(UaBuiltInType::ByteString, value); }

UaStatus UaVariant::toXmlElement(UaString& value) const { return readScalar(UaBuiltInType::XmlElement, value); }

UaStatus UaVariant::toNodeId(UaNodeId& value) const { return readScalar(UaBuiltInType::NodeId, value); }

UaStatus UaVariant::toQualifiedName(UaQualifiedName& value) const
{
    return readScalar(UaBuiltInType::QualifiedName, value);
}

UaStatus UaVariant::toLocalizedText(UaLocalizedText& value) const
{
    return readScalar(UaBuiltInType::LocalizedText, value);
}

UaStatus UaVariant::toExtensionObject(UaExtensionObject& value) const
{
    return readScalar(UaBuiltInType::ExtensionObject, value);
}

UaStatus UaVariant::toBooleanArray(std::vector<bool>& values) const
{
    return readArray(UaBuiltInType::Boolean, values);
}

UaStatus UaVariant::toSByteArray(std::vector<std::int8_t>& values) const
{
    return readArray(UaBuiltInType::SByte, values);
}

UaStatus UaVariant::toByteArray(std::vector<std::uint8_t>& values) const
{
    return readArray(UaBuiltInType::Byte, values);
}

UaStatus UaVariant::toInt16Array(std::vector<std::int16_t>& values) const
{
    return readArray(UaBuiltInType::Int16, values);
}

UaStatus UaVariant::toUInt16Array(std::vector<std::uint16_t>& values) const
{
    return readArray(UaBuiltInType::UInt16, values);
}

UaStatus UaVariant::toInt32Array(std::vector<std::int32_t>& values) const
{
    return readArray(UaBuiltInType::Int32, values);
}

UaStatus UaVariant::toUInt32Array(std::vector<std::uint32_t>& values) const
{
    return readArray(UaBuiltInType::UInt32, values);
}

UaStatus UaVariant::toInt64Array(std::vector<std::int64_t>& values) const
{
    return readArray(UaBuiltInType::Int64, values);
}

UaStatus UaVariant::toUInt64Array(std::vector<std::uint64_t>& values) const
{
    return readArray(UaBuiltInType::UInt64, values);
}

UaStatus UaVariant::toFloatArray(std::vector<float>& values) const { return readArray(UaBuiltInType::Float, values); }

UaStatus UaVariant::toDoubleArray(std::vector<double>& values) const
{
    return readArray(UaBuiltInType::Double, values);
}

UaStatus UaVariant::toStringArray(std::vector<UaString>& values) const
{
    return readArray(UaBuiltInType::String, values);
}

UaStatus UaVariant::toDateTimeArray(std::vector<UaDateTime>& values) const
{
    return readArray(UaBuiltInType::DateTime, values);
}

UaStatus UaVariant::toGuidArray(std::vector<UaGuid>& values) const { return readArray(UaBuiltInType::Guid, values); }

UaStatus UaVariant::toByteStringArray(std::vector<UaByteString>& values) const
{
    return readArray(UaBuiltInType::ByteString, values);
}

UaStatus UaVariant::toXmlElementArray(std::vector<UaString>& values) const
{
    return readArray(UaBuiltInType::XmlElement, values);
}

UaStatus UaVariant::toNodeIdArray(std::vector<UaNodeId>& values) const
{
    return readArray(UaBuiltInType::NodeId, values);
}

UaStatus UaVariant::toQualifiedNameArray(std::vector<UaQualifiedName>& values) const
{
    return readArray(UaBuiltInType::QualifiedName, values);
}

UaStatus UaVariant::toLocalizedTextArray(std::vector<UaLocalizedText>& values) const
{
    return readArray(UaBuiltInType::LocalizedText, values);
}

UaStatus UaVariant::toExtensionObjectArray(std::vector<UaExtensionObject>& values) const
{
    return readArray(UaBuiltInType::ExtensionObject, values);
}

UaStatus UaVariant::toVariantArray(std::vector<UaVariant>& values) const
{
    return readArray(UaBuiltInType::Variant, values);
}
