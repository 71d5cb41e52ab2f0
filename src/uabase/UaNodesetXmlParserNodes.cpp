// The seven node elements of a nodeset and what they carry: attributes with their defaults,
// references, extensions, values and the product's alarm element.

#include "uabase/UaNodesetXmlParser.h"

#include "uabase/BaseNodeFactory.h"
#include "uabase/DataType.h"
#include "uabase/Method.h"
#include "uabase/NodeElement.h"
#include "uabase/Object.h"
#include "uabase/ObjectType.h"
#include "uabase/ReferenceType.h"
#include "uabase/UaNumberText.h"
#include "uabase/UaTrace.h"
#include "uabase/UaVariant.h"
#include "uabase/UaXmlDocument.h"
#include "uabase/Variable.h"
#include "uabase/VariableType.h"
#include "uabase/XmlNodeReader.h"

#include <libxml/tree.h>

namespace UaBase {

namespace {

using Xml = XmlNodeReader;

constexpr std::uint32_t kBaseDataType = 24;

constexpr const char* kAlarmLimits[] = {"AlarmLimit_HH", "AlarmLimit_H", "AlarmLimit_L", "AlarmLimit_LL"};

using Attribute = NodeElement::Attribute;
using Child = NodeElement::Child;

template <class T> T numberAttribute(const NodeElement& element, Attribute which, T fallback,
    UaStatus (*convert)(std::string_view, T&))
{
    const XmlText text = element.attribute(which);
    T value = fallback;
    if (text.isPresent() && convert(text.view(), value).isNotGood()) {
        value = fallback;
    }
    return value;
}

bool booleanAttribute(const NodeElement& element, Attribute which, bool whenAbsent)
{
    const XmlText text = element.attribute(which);
    return text.isPresent() ? text.view() == "true" : whenAbsent;
}

bool booleanAttribute(const xmlNode* element, const char* name, bool whenAbsent)
{
    const XmlText text = Xml::attribute(element, name);
    return text.isPresent() ? text.view() == "true" : whenAbsent;
}

} // namespace

/// What every node element has: read before the node is created.
struct UaNodesetXmlParser::Header {
    UaNodeId nodeId;
    UaQualifiedName browseName;
    UaLocalizedText displayName;
    UaLocalizedText description;
    std::uint32_t writeMask = 0;
    std::uint32_t userWriteMask = 0;

    void applyTo(BaseNode& node) const
    {
        node.setBrowseName(browseName);
        node.setDisplayName(displayName);
        node.setDescription(description);
        node.setWriteMask(writeMask);
        node.setUserWriteMask(userWriteMask);
    }
};

UaLocalizedText UaNodesetXmlParser::localizedText(const xmlNode* element, const UaString* sameText) const
{
    if (element == nullptr) {
        return {};
    }
    const XmlText locale = Xml::attribute(element, "Locale");
    const XmlText text = Xml::content(element);
    // Display names mostly repeat the browse name and locales are a handful: share their strings.
    UaString textString = sameText != nullptr && sameText->view() == text.view() ? *sameText : UaString(text.view());
    return UaLocalizedText(internLocale(locale.view()), textString);
}

UaString UaNodesetXmlParser::internLocale(std::string_view locale) const
{
    if (locale.empty()) {
        return UaString();
    }
    for (const UaString& known : m_locales) {
        if (known.view() == locale) {
            return known;
        }
    }
    m_locales.emplace_back(locale);
    return m_locales.back();
}

UaStatus UaNodesetXmlParser::readHeader(const NodeElement& element, Header& header) const
{
    const XmlText nodeId = element.attribute(Attribute::NodeId);
    if (!nodeId.isPresent()) {
        return UaStatus::Bad;
    }
    header.nodeId = resolveText(nodeId.view(), nodeId.isInPlace());
    const XmlText browseName = element.attribute(Attribute::BrowseName);
    if (!browseName.isPresent()) {
        return UaStatus::Bad;
    }
    header.browseName = UaQualifiedName::fromBrowseNameText(browseName.view());
    auto translated = m_namespaceTranslation.find(header.browseName.namespaceIndex());
    header.browseName.setNamespaceIndex(translated == m_namespaceTranslation.end() ? 0 : translated->second);
    header.writeMask = numberAttribute<std::uint32_t>(element, Attribute::WriteMask, 0, UaNumberText::toUInt32);
    header.userWriteMask =
        numberAttribute<std::uint32_t>(element, Attribute::UserWriteMask, 0, UaNumberText::toUInt32);
    header.displayName = localizedText(element.child(Child::DisplayName), &header.browseName.name());
    header.description = localizedText(element.child(Child::Description), nullptr);
    return UaStatus::Good;
}

UaNodeId UaNodesetXmlParser::nodeIdAttribute(const NodeElement& element, NodeElement::Attribute which) const
{
    const XmlText text = element.attribute(which);
    return text.isPresent() ? resolveText(text.view(), text.isInPlace()) : UaNodeId();
}

bool UaNodesetXmlParser::isDuplicate(const NodeMap& nodes, const UaNodeId& nodeId, const char* operation) const
{
    if (!nodes.contains(nodeId)) {
        return false;
    }
    UaTrace::error(1, "Error NodeManagerAdvancedXmlParser::%s - NodeId already exists %s", operation,
        nodeId.toString().toUtf8());
    return true;
}

UaStatus UaNodesetXmlParser::storeNode(std::unique_ptr<BaseNode> node, const Header& header, UaStatus status,
    NodeMap& nodes)
{
    header.applyTo(*node);
    if (status.isGood()) {
        status = parseReferences(node.get());
        if (status.isGood()) {
            status = parseExtensions(node.get());
        }
    }
    nodes.insert(std::move(node));
    return status;
}

UaNodeId UaNodesetXmlParser::dataTypeAttribute(const NodeElement& element) const
{
    const XmlText text = element.attribute(Attribute::DataType);
    return text.isPresent() ? resolveText(text.view(), text.isInPlace()) : UaNodeId(kBaseDataType, 0);
}

void UaNodesetXmlParser::readValue(const NodeElement& element, UaVariant& value) const
{
    const xmlNode* selecting = Xml::firstChildElement(element.child(Child::Value));
    if (selecting != nullptr) {
        getValue(selecting, value);
    }
}

UaStatus UaNodesetXmlParser::parseObject(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    Header header;
    const UaStatus status = readHeader(element, header);
    const auto eventNotifier = numberAttribute<std::uint8_t>(element, Attribute::EventNotifier, 0, UaNumberText::toByte);
    const UaNodeId parent = nodeIdAttribute(element, Attribute::ParentNodeId);
    if (isDuplicate(nodes, header.nodeId, "parseVariable")) {
        return UaStatus::BadNodeIdExists;
    }
    std::unique_ptr<Object> object = factory().createObject(header.nodeId);
    object->setEventNotifier(eventNotifier);
    object->setParentNodeId(parent);
    return storeNode(std::move(object), header, status, nodes);
}

UaStatus UaNodesetXmlParser::parseVariable(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    Header header;
    UaStatus status = readHeader(element, header);
    const UaNodeId dataType = dataTypeAttribute(element);
    const auto valueRank = numberAttribute<std::int32_t>(element, Attribute::ValueRank, -1, UaNumberText::toInt32);
    const auto accessLevel = numberAttribute<std::uint8_t>(element, Attribute::AccessLevel, 1, UaNumberText::toByte);
    const auto userAccessLevel = numberAttribute<std::uint8_t>(element, Attribute::UserAccessLevel, 1, UaNumberText::toByte);
    const auto samplingInterval =
        numberAttribute<double>(element, Attribute::MinimumSamplingInterval, 0.0, UaNumberText::toDouble);
    const bool historizing = booleanAttribute(element, Attribute::Historizing, false);
    const UaNodeId parent = nodeIdAttribute(element, Attribute::ParentNodeId);
    if (isDuplicate(nodes, header.nodeId, "parseVariable")) {
        return UaStatus::BadNodeIdExists;
    }
    std::unique_ptr<Variable> created = factory().createVariable(header.nodeId);
    Variable* variable = created.get();
    variable->setDataType(dataType);
    variable->setValueRank(valueRank);
    variable->setAccessLevel(accessLevel);
    variable->setUserAccessLevel(userAccessLevel);
    variable->setMinimumSamplingInterval(samplingInterval);
    variable->setHistorizing(historizing);
    variable->setParentNodeId(parent);
    UaVariant value;
    readValue(element, value);
    variable->setValue(value);
    status = storeNode(std::move(created), header, status, nodes);
    readAlarm(element, variable);
    return status;
}

void UaNodesetXmlParser::readAlarm(const NodeElement& element, Variable* variable) const
{
    const xmlNode* alarm = element.child(Child::Alarm);
    if (alarm == nullptr) {
        variable->setAlarmEnabled(false);
        return;
    }
    const XmlText enabled = Xml::attribute(alarm, "Alarm");
    if (enabled.isPresent() && enabled.view() != "true") {
        variable->setAlarmEnabled(false);
        return;
    }
    AlarmSettings settings;
    if (enabled.isPresent()) {
        variable->setAlarmEnabled(true);
        settings.emplace("Alarm", "true");
    }
    for (const char* limit : kAlarmLimits) {
        const XmlText text = Xml::attribute(alarm, limit);
        if (text.isPresent()) {
            settings.emplace(limit, UaString(text.view()));
        }
    }
    variable->setAlarmSettings(settings);
}

UaStatus UaNodesetXmlParser::parseMethod(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    Header header;
    const UaStatus status = readHeader(element, header);
    const bool executable = booleanAttribute(element, Attribute::Executable, true);
    const bool userExecutable = booleanAttribute(element, Attribute::UserExecutable, true);
    const UaNodeId parent = nodeIdAttribute(element, Attribute::ParentNodeId);
    if (isDuplicate(nodes, header.nodeId, "parseVariable")) {
        return UaStatus::BadNodeIdExists;
    }
    std::unique_ptr<Method> method = factory().createMethod(header.nodeId);
    method->setExecutable(executable);
    method->setUserExecutable(userExecutable);
    method->setParentNodeId(parent);
    return storeNode(std::move(method), header, status, nodes);
}

UaStatus UaNodesetXmlParser::parseObjectType(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    Header header;
    const UaStatus status = readHeader(element, header);
    const bool isAbstract = booleanAttribute(element, Attribute::IsAbstract, false);
    if (isDuplicate(nodes, header.nodeId, "parseReferenceType")) {
        return UaStatus::BadNodeIdExists;
    }
    std::unique_ptr<ObjectType> objectType = factory().createObjectType(header.nodeId);
    objectType->setIsAbstract(isAbstract);
    return storeNode(std::move(objectType), header, status, nodes);
}

UaStatus UaNodesetXmlParser::parseVariableType(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    Header header;
    const UaStatus status = readHeader(element, header);
    const bool isAbstract = booleanAttribute(element, Attribute::IsAbstract, false);
    const UaNodeId dataType = dataTypeAttribute(element);
    const auto valueRank = numberAttribute<std::int32_t>(element, Attribute::ValueRank, -1, UaNumberText::toInt32);
    if (isDuplicate(nodes, header.nodeId, "parseVariable")) {
        return UaStatus::BadNodeIdExists;
    }
    std::unique_ptr<VariableType> variableType = factory().createVariableType(header.nodeId);
    variableType->setIsAbstract(isAbstract);
    variableType->setDataType(dataType);
    variableType->setValueRank(valueRank);
    UaVariant value;
    readValue(element, value);
    variableType->setValue(value);
    return storeNode(std::move(variableType), header, status, nodes);
}

UaStatus UaNodesetXmlParser::parseReferenceType(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    Header header;
    const UaStatus status = readHeader(element, header);
    const bool isAbstract = booleanAttribute(element, Attribute::IsAbstract, false);
    const bool symmetric = booleanAttribute(element, Attribute::Symmetric, false);
    const UaLocalizedText inverseName = localizedText(element.child(Child::InverseName), nullptr);
    if (isDuplicate(nodes, header.nodeId, "parseReferenceType")) {
        return UaStatus::BadNodeIdExists;
    }
    std::unique_ptr<ReferenceType> referenceType = factory().createReferenceType(header.nodeId);
    referenceType->setIsAbstract(isAbstract);
    referenceType->setSymmetric(symmetric);
    referenceType->setInverseName(inverseName);
    return storeNode(std::move(referenceType), header, status, nodes);
}

UaStatus UaNodesetXmlParser::parseDataType(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    Header header;
    UaStatus status = readHeader(element, header);
    const bool isAbstract = booleanAttribute(element, Attribute::IsAbstract, false);
    if (isDuplicate(nodes, header.nodeId, "parseVariable")) {
        return UaStatus::BadNodeIdExists;
    }
    std::unique_ptr<DataType> created = factory().createDataType(header.nodeId);
    DataType* dataType = created.get();
    dataType->setIsAbstract(isAbstract);
    status = storeNode(std::move(created), header, status, nodes);
    if (status.isGood()) {
        readEnumerationSubtype(dataType);
    }
    parseDataTypeDefinition(dataType);
    return status;
}

UaStatus UaNodesetXmlParser::parseReferences(BaseNode* node)
{
    const xmlNode* references = Xml::firstChildNamed(currentElement(), "References");
    UaStatus status = UaStatus::Good;
    std::size_t count = 0;
    for (const xmlNode* reference = Xml::firstChildElement(references); reference != nullptr;
         reference = Xml::nextSiblingElement(reference)) {
        ++count;
    }
    node->reserveReferences(count);
    for (const xmlNode* reference = Xml::firstChildElement(references); reference != nullptr;
         reference = Xml::nextSiblingElement(reference)) {
        if (!Xml::hasName(reference, "Reference")) {
            continue;
        }
        const XmlText type = Xml::attribute(reference, "ReferenceType");
        if (!type.isPresent()) {
            status = UaStatus::Bad;
            continue;
        }
        const XmlText target = Xml::content(reference);
        node->addReference(resolveText(type.view(), type.isInPlace()), booleanAttribute(reference, "IsForward", true),
            resolveText(target.view(), target.isInPlace()));
    }
    return status;
}

UaStatus UaNodesetXmlParser::parseExtensions(BaseNode* node)
{
    if (Xml::firstChildNamed(currentElement(), "Extensions") == nullptr) {
        return UaStatus::Good;
    }
    m_document->getChild("Extensions");
    std::vector<Extension> extensions;
    const UaStatus status = readExtensionList(extensions, false);
    m_document->getParent();
    for (const Extension& extension : extensions) {
        node->addExtension(extension);
    }
    return status;
}

} // namespace UaBase
