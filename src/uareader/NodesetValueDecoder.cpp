#include "uareader/NodesetValueDecoder.h"

#include "uareader/NodeIdTextCache.h"
#include "uareader/UaTrace.h"
#include "uareader/XmlDateTime.h"
#include "uatypes/UaByteString.h"
#include "uatypes/UaDateTime.h"
#include "uatypes/UaExtensionObject.h"
#include "uatypes/UaGuid.h"
#include "uatypes/UaLocalizedText.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaNumberText.h"
#include "uatypes/UaQualifiedName.h"
#include "uatypes/UaString.h"
#include "uatypes/UaVariant.h"
#include "uaxml/XmlNodeReader.h"

#include <libxml/tree.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace UaBase {

namespace {

using Xml = XmlNodeReader;

// Type identifiers (XML encodings) of the standard structures that are decoded field by field.
constexpr std::uint32_t kArgumentXml = 297;
constexpr std::uint32_t kRangeXml = 885;
constexpr std::uint32_t kEuInformationXml = 888;
constexpr std::uint32_t kEnumValueTypeXml = 7616;

enum class Kind {
    Boolean,
    SByte,
    Byte,
    Int16,
    UInt16,
    Int32,
    UInt32,
    Int64,
    UInt64,
    Float,
    Double,
    String,
    DateTime,
    Guid,
    ByteString,
    XmlElement,
    NodeId,
    QualifiedName,
    LocalizedText,
    ExtensionObject,
    None,
};

struct KindName {
    std::string_view name;
    Kind kind;
};

constexpr KindName kKinds[] = {
    { "Boolean", Kind::Boolean },
    { "SByte", Kind::SByte },
    { "Byte", Kind::Byte },
    { "Int16", Kind::Int16 },
    { "UInt16", Kind::UInt16 },
    { "Int32", Kind::Int32 },
    { "UInt32", Kind::UInt32 },
    { "Int64", Kind::Int64 },
    { "UInt64", Kind::UInt64 },
    { "Float", Kind::Float },
    { "Double", Kind::Double },
    { "String", Kind::String },
    { "DateTime", Kind::DateTime },
    { "Guid", Kind::Guid },
    { "ByteString", Kind::ByteString },
    { "XmlElement", Kind::XmlElement },
    { "NodeId", Kind::NodeId },
    { "QualifiedName", Kind::QualifiedName },
    { "LocalizedText", Kind::LocalizedText },
    { "ExtensionObject", Kind::ExtensionObject },
};

constexpr std::string_view kListPrefix = "ListOf";

Kind kindOf(std::string_view name)
{
    for (const KindName& entry : kKinds) {
        if (entry.name == name) {
            return entry.kind;
        }
    }
    return Kind::None;
}

std::string_view nameOf(const xmlNode* element) { return reinterpret_cast<const char*>(element->name); }

UaString text(const xmlNode* element)
{
    const XmlText content = Xml::content(element);
    return UaString(content.view());
}

UaString childText(const xmlNode* element, const char* name)
{
    const xmlNode* child = Xml::firstChildNamed(element, name);
    return child == nullptr ? UaString() : text(child);
}

template <class T> T number(const xmlNode* element, UaStatus (*convert)(std::string_view, T&))
{
    T value {};
    if (element != nullptr) {
        const XmlText content = Xml::content(element);
        convert(content.view(), value);
    }
    return value;
}

bool readBoolean(const xmlNode* element) { return Xml::content(element) == "true"; }

UaDateTime readDateTime(const xmlNode* element)
{
    const support::Result<std::int64_t> ticks = XmlDateTime::toTicks(Xml::content(element).view());
    return UaDateTime(ticks ? *ticks : 0);
}

UaGuid readGuid(const xmlNode* element)
{
    UaGuid guid;
    const xmlNode* textElement = Xml::firstChildNamed(element, "String");
    if (textElement != nullptr && guid.fromString(text(textElement)).isNotGood()) {
        guid = UaGuid();
    }
    return guid;
}

/// Base64 as XML writes it may be broken into lines; the blanks are no part of the data.
UaByteString readByteString(const xmlNode* element)
{
    UaByteString bytes;
    if (bytes.fromBase64(Xml::content(element).view(), true).isNotGood()) {
        return UaByteString();
    }
    return bytes;
}

UaLocalizedText readLocalizedText(const xmlNode* element)
{
    if (element == nullptr) {
        return {};
    }
    return UaLocalizedText(childText(element, "Locale"), childText(element, "Text"));
}

std::vector<std::uint32_t> readUInt32List(const xmlNode* element)
{
    std::vector<std::uint32_t> values;
    for (const xmlNode* item = Xml::firstChildElement(element); item != nullptr; item = Xml::nextSiblingElement(item)) {
        if (Xml::hasName(item, "UInt32")) {
            values.push_back(number<std::uint32_t>(item, UaNumberText::toUInt32));
        }
    }
    return values;
}

using Field = std::pair<UaString, UaVariant>;

/// The fields of a structure moved into their list (an initializer list would copy each).
template <class... Fields> std::vector<Field> fieldList(Fields&&... fields)
{
    std::vector<Field> list;
    list.reserve(sizeof...(fields));
    (list.push_back(std::forward<Fields>(fields)), ...);
    return list;
}

template <class T> UaVariant variantOf(void (UaVariant::*set)(T), T value)
{
    UaVariant variant;
    (variant.*set)(value);
    return variant;
}

template <class T> UaVariant variantOf(void (UaVariant::*set)(const T&), const T& value)
{
    UaVariant variant;
    (variant.*set)(value);
    return variant;
}

/// The number in the child `name` of a structure element, as a variant.
template <class T>
UaVariant numberField(const xmlNode* element,
    const char* name,
    UaStatus (*convert)(std::string_view, T&),
    void (UaVariant::*set)(T))
{
    return variantOf(set, number<T>(Xml::firstChildNamed(element, name), convert));
}

/// The localized text in the child `name` of a structure element, as a variant.
UaVariant localizedTextField(const xmlNode* element, const char* name)
{
    return variantOf(&UaVariant::setLocalizedText, readLocalizedText(Xml::firstChildNamed(element, name)));
}

/// The element in an ExtensionObject's body that holds the fields of a standard structure
/// decoded field by field; null for every other type.
const char* decodedStructureElement(std::uint32_t type)
{
    switch (type) {
    case kArgumentXml:
        return "Argument";
    case kRangeXml:
        return "Range";
    case kEuInformationXml:
        return "EUInformation";
    case kEnumValueTypeXml:
        return "EnumValueType";
    default:
        return nullptr;
    }
}

} // namespace

NodesetValueDecoder::NodesetValueDecoder(const std::map<std::uint16_t, std::uint16_t>& namespaceTranslation)
    : m_namespaceTranslation(namespaceTranslation)
{
}

std::uint16_t NodesetValueDecoder::translate(std::uint16_t namespaceIndex) const
{
    if (m_namespaceTranslation.empty()) {
        return namespaceIndex;
    }
    auto found = m_namespaceTranslation.find(namespaceIndex);
    return found == m_namespaceTranslation.end() ? namespaceIndex : found->second;
}

UaNodeId NodesetValueDecoder::nodeId(const xmlNode* element) const
{
    const xmlNode* identifier = Xml::firstChildNamed(element, "Identifier");
    if (identifier == nullptr) {
        UaTrace::error(1, "Error UaNodesetXmlParser::getNodeIdValue - XML Element Identifier missing");
        return UaNodeId();
    }
    const XmlText content = Xml::content(identifier);
    // "i=N" and "ns=M;i=N", nearly every identifier of a nodeset, read without a string copy.
    std::uint64_t key = 0;
    if (NodeIdTextCache::numericKey(content.view(), key)) {
        return UaNodeId(NodeIdTextCache::numberOf(key), translate(NodeIdTextCache::namespaceOf(key)));
    }
    UaNodeId id = UaNodeId::fromXmlString(UaString(content.view()));
    const std::uint16_t translated = translate(id.namespaceIndex());
    if (translated != id.namespaceIndex()) {
        id.setNamespaceIndex(translated);
    }
    return id;
}

std::vector<std::pair<UaString, UaVariant>> NodesetValueDecoder::standardFields(std::uint32_t type,
    const xmlNode* element) const
{
    // The field names are shared by every object: nodesets hold a thousand method arguments.
    static const UaString kName("Name");
    static const UaString kDataType("DataType");
    static const UaString kValueRank("ValueRank");
    static const UaString kArrayDimensions("ArrayDimensions");
    static const UaString kDescription("Description");
    static const UaString kLow("Low");
    static const UaString kHigh("High");
    static const UaString kNamespaceUri("NamespaceUri");
    static const UaString kUnitId("UnitId");
    static const UaString kDisplayName("DisplayName");
    static const UaString kValue("Value");
    switch (type) {
    case kArgumentXml: {
        const xmlNode* dataType = Xml::firstChildNamed(element, "DataType");
        UaVariant dimensions;
        dimensions.setUInt32Array(readUInt32List(Xml::firstChildNamed(element, "ArrayDimensions")));
        return fieldList(Field { kName, variantOf(&UaVariant::setString, childText(element, "Name")) },
            Field { kDataType, variantOf(&UaVariant::setNodeId, dataType == nullptr ? UaNodeId() : nodeId(dataType)) },
            Field { kValueRank, numberField(element, "ValueRank", UaNumberText::toInt32, &UaVariant::setInt32) },
            Field { kArrayDimensions, std::move(dimensions) },
            Field { kDescription, localizedTextField(element, "Description") });
    }
    case kRangeXml:
        return fieldList(Field { kLow, numberField(element, "Low", UaNumberText::toDouble, &UaVariant::setDouble) },
            Field { kHigh, numberField(element, "High", UaNumberText::toDouble, &UaVariant::setDouble) });
    case kEuInformationXml:
        return fieldList(Field { kNamespaceUri, variantOf(&UaVariant::setString, childText(element, "NamespaceUri")) },
            Field { kUnitId, numberField(element, "UnitId", UaNumberText::toInt32, &UaVariant::setInt32) },
            Field { kDisplayName, localizedTextField(element, "DisplayName") },
            Field { kDescription, localizedTextField(element, "Description") });
    default: // kEnumValueTypeXml
        return fieldList(Field { kValue, numberField(element, "Value", UaNumberText::toInt64, &UaVariant::setInt64) },
            Field { kDisplayName, localizedTextField(element, "DisplayName") },
            Field { kDescription, localizedTextField(element, "Description") });
    }
}

UaExtensionObject NodesetValueDecoder::extensionObject(const xmlNode* element) const
{
    UaNodeId typeId;
    const xmlNode* typeElement = Xml::firstChildNamed(element, "TypeId");
    if (typeElement != nullptr && Xml::firstChildNamed(typeElement, "Identifier") != nullptr) {
        typeId = nodeId(typeElement);
    } else {
        UaTrace::error(1, "Error UaNodesetXmlParser::getExtensionObjectValue - XML Element TypeId missing");
    }
    const xmlNode* body = Xml::firstChildNamed(element, "Body");
    if (body == nullptr) {
        UaTrace::error(1, "Error UaNodesetXmlParser::getExtensionObjectValue - XML Element Body missing");
        return UaExtensionObject(typeId);
    }
    const bool standard = typeId.namespaceIndex() == 0 && typeId.identifierType() == UaIdentifierType::Numeric;
    const std::uint32_t type = standard ? typeId.identifierNumeric() : 0;
    if (const char* structure = decodedStructureElement(type)) {
        const xmlNode* fields = Xml::firstChildNamed(body, structure);
        if (fields == nullptr) {
            return UaExtensionObject(typeId);
        }
        return UaExtensionObject(typeId, standardFields(type, fields));
    }
    UaExtensionObject object(typeId);
    if (const xmlNode* binary = Xml::firstChildNamed(body, "ByteString")) {
        object.setBinaryBody(readByteString(binary));
        return object;
    }
    const UaString typeText = typeId.toString();
    UaTrace::error(3,
        "Error UaNodesetXmlParser::getExtensionObjectValue binary body for extension object (type %s) expected.",
        typeText.toUtf8());
    UaTrace::error(1,
        "Error UaNodesetXmlParser::getExtensionObjectValue extension object type %s not supported",
        typeText.toUtf8());
    return object;
}

namespace {

/// One reading of a value element per kind, for scalars and list items alike.
class ItemReader {
public:
    ItemReader(const NodesetValueDecoder& decoder, const std::map<std::uint16_t, std::uint16_t>& translation)
        : m_decoder(decoder)
        , m_translation(translation)
    {
    }

    UaQualifiedName qualifiedName(const xmlNode* element) const
    {
        std::uint16_t index
            = number<std::uint16_t>(Xml::firstChildNamed(element, "NamespaceIndex"), UaNumberText::toUInt16);
        auto found = m_translation.find(index);
        if (found != m_translation.end()) {
            index = found->second;
        }
        return UaQualifiedName(childText(element, "Name"), index);
    }

    /// The items of a list element: its children named `itemName`, in document order.
    template <class T, class Read> std::vector<T> items(const xmlNode* list, std::string_view itemName, Read read) const
    {
        std::vector<T> values;
        for (const xmlNode* item = Xml::firstChildElement(list); item != nullptr;
             item = Xml::nextSiblingElement(item)) {
            if (nameOf(item) == itemName) {
                values.push_back(read(item));
            }
        }
        return values;
    }

    void scalar(Kind kind, const xmlNode* element, UaVariant& value) const
    {
        switch (kind) {
        case Kind::Boolean:
            return value.setBoolean(readBoolean(element));
        case Kind::SByte:
            return value.setSByte(number<std::int8_t>(element, UaNumberText::toSByte));
        case Kind::Byte:
            return value.setByte(number<std::uint8_t>(element, UaNumberText::toByte));
        case Kind::Int16:
            return value.setInt16(number<std::int16_t>(element, UaNumberText::toInt16));
        case Kind::UInt16:
            return value.setUInt16(number<std::uint16_t>(element, UaNumberText::toUInt16));
        case Kind::Int32:
            return value.setInt32(number<std::int32_t>(element, UaNumberText::toInt32));
        case Kind::UInt32:
            return value.setUInt32(number<std::uint32_t>(element, UaNumberText::toUInt32));
        case Kind::Int64:
            return value.setInt64(number<std::int64_t>(element, UaNumberText::toInt64));
        case Kind::UInt64:
            return value.setUInt64(number<std::uint64_t>(element, UaNumberText::toUInt64));
        case Kind::Float:
            return value.setFloat(number<float>(element, UaNumberText::toFloat));
        case Kind::Double:
            return value.setDouble(number<double>(element, UaNumberText::toDouble));
        case Kind::String:
            return value.setString(text(element));
        case Kind::DateTime:
            return value.setDateTime(readDateTime(element));
        case Kind::Guid:
            return value.setGuid(readGuid(element));
        case Kind::ByteString:
            return value.setByteString(readByteString(element));
        case Kind::XmlElement:
            return value.setXmlElement(text(element));
        case Kind::NodeId:
            return value.setNodeId(m_decoder.nodeId(element));
        case Kind::QualifiedName:
            return value.setQualifiedName(qualifiedName(element));
        case Kind::LocalizedText:
            return value.setLocalizedText(readLocalizedText(element));
        case Kind::ExtensionObject:
            return value.setExtensionObject(m_decoder.extensionObject(element));
        case Kind::None:
            return value.clear();
        }
    }

    template <class T>
    void numbers(const xmlNode* list,
        std::string_view itemName,
        UaStatus (*convert)(std::string_view, T&),
        void (UaVariant::*set)(std::vector<T>),
        UaVariant& value) const
    {
        (value.*set)(items<T>(list, itemName, [convert](const xmlNode* item) { return number<T>(item, convert); }));
    }

    void list(Kind kind, std::string_view itemName, const xmlNode* list, UaVariant& value) const
    {
        switch (kind) {
        case Kind::Boolean:
            return value.setBooleanArray(items<bool>(list, itemName, readBoolean));
        case Kind::SByte:
            return numbers(list, itemName, UaNumberText::toSByte, &UaVariant::setSByteArray, value);
        case Kind::Byte:
            return numbers(list, itemName, UaNumberText::toByte, &UaVariant::setByteArray, value);
        case Kind::Int16:
            return numbers(list, itemName, UaNumberText::toInt16, &UaVariant::setInt16Array, value);
        case Kind::UInt16:
            return numbers(list, itemName, UaNumberText::toUInt16, &UaVariant::setUInt16Array, value);
        case Kind::Int32:
            return numbers(list, itemName, UaNumberText::toInt32, &UaVariant::setInt32Array, value);
        case Kind::UInt32:
            return numbers(list, itemName, UaNumberText::toUInt32, &UaVariant::setUInt32Array, value);
        case Kind::Int64:
            return numbers(list, itemName, UaNumberText::toInt64, &UaVariant::setInt64Array, value);
        case Kind::UInt64:
            return numbers(list, itemName, UaNumberText::toUInt64, &UaVariant::setUInt64Array, value);
        case Kind::Float:
            return numbers(list, itemName, UaNumberText::toFloat, &UaVariant::setFloatArray, value);
        case Kind::Double:
            return numbers(list, itemName, UaNumberText::toDouble, &UaVariant::setDoubleArray, value);
        case Kind::String:
            return value.setStringArray(items<UaString>(list, itemName, text));
        case Kind::DateTime:
            return value.setDateTimeArray(items<UaDateTime>(list, itemName, readDateTime));
        case Kind::Guid:
            return value.setGuidArray(items<UaGuid>(list, itemName, readGuid));
        case Kind::ByteString:
            return value.setByteStringArray(items<UaByteString>(list, itemName, readByteString));
        case Kind::XmlElement:
            return value.setXmlElementArray(items<UaString>(list, itemName, text));
        case Kind::NodeId:
            return value.setNodeIdArray(
                items<UaNodeId>(list, itemName, [this](const xmlNode* item) { return m_decoder.nodeId(item); }));
        case Kind::QualifiedName:
            return value.setQualifiedNameArray(
                items<UaQualifiedName>(list, itemName, [this](const xmlNode* item) { return qualifiedName(item); }));
        case Kind::LocalizedText:
            return value.setLocalizedTextArray(items<UaLocalizedText>(list, itemName, readLocalizedText));
        case Kind::ExtensionObject:
            return value.setExtensionObjectArray(items<UaExtensionObject>(
                list, itemName, [this](const xmlNode* item) { return m_decoder.extensionObject(item); }));
        case Kind::None:
            return value.clear();
        }
    }

private:
    const NodesetValueDecoder& m_decoder;
    const std::map<std::uint16_t, std::uint16_t>& m_translation;
};

} // namespace

void NodesetValueDecoder::decode(const xmlNode* element, UaVariant& value) const
{
    value.clear();
    if (element == nullptr || element->type != XML_ELEMENT_NODE) {
        return;
    }
    const ItemReader reader(*this, m_namespaceTranslation);
    const std::string_view name = nameOf(element);
    if (!name.starts_with(kListPrefix)) {
        reader.scalar(kindOf(name), element, value);
        return;
    }
    const std::string_view itemName = name.substr(kListPrefix.size());
    if (itemName == "Variant") {
        std::vector<UaVariant> items;
        for (const xmlNode* item = Xml::firstChildElement(element); item != nullptr;
             item = Xml::nextSiblingElement(item)) {
            // Writers wrap each item in a Variant element; its content is the item.
            const xmlNode* selecting = Xml::hasName(item, "Variant") ? Xml::firstChildElement(item) : item;
            UaVariant itemValue;
            decode(selecting, itemValue);
            items.push_back(itemValue);
        }
        value.setVariantArray(std::move(items));
        return;
    }
    const Kind kind = kindOf(itemName);
    if (kind != Kind::None) {
        reader.list(kind, itemName, element, value);
    }
}

} // namespace UaBase
