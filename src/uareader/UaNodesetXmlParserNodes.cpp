// The seven node elements of a nodeset and what they carry: attributes with their defaults,
// references, extensions, values and the product's alarm element.

#include "uareader/UaNodesetXmlParser.h"

#include "uanodes/BaseNodeFactory.h"
#include "uanodes/DataType.h"
#include "uanodes/Method.h"
#include "uanodes/Object.h"
#include "uanodes/ObjectType.h"
#include "uanodes/ReferenceType.h"
#include "uanodes/StandardNodeIds.h"
#include "uanodes/TypeNode.h"
#include "uanodes/Variable.h"
#include "uanodes/VariableType.h"
#include "uareader/NodeElement.h"
#include "uareader/TextTable.h"
#include "uareader/UaTrace.h"
#include "uatypes/UaNumberText.h"
#include "uatypes/UaVariant.h"
#include "uaxml/UaXmlDocument.h"
#include "uaxml/XmlNodeReader.h"

#include <libxml/tree.h>

#include <cstring>
#include <type_traits>
#include <utility>

namespace UaBase {

namespace {

using Xml = XmlNodeReader;

constexpr std::size_t kInverseReferenceRoom = 4;

constexpr const char* kAlarmLimits[] = { "AlarmLimit_HH", "AlarmLimit_H", "AlarmLimit_L", "AlarmLimit_LL" };

using Attribute = NodeElement::Attribute;
using Child = NodeElement::Child;

template <class T>
T numberAttribute(const NodeElement& element, Attribute which, T fallback, UaStatus (*convert)(std::string_view, T&))
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

/// The two attributes of a `Reference` element, found in one walk over its attributes:
/// nodesets hold tens of thousands of references.
struct ReferenceAttributes {
    explicit ReferenceAttributes(const xmlNode* reference)
    {
        const xmlAttr* typeAttribute = nullptr;
        const xmlAttr* forwardAttribute = nullptr;
        for (const xmlAttr* attribute = reference->properties; attribute != nullptr; attribute = attribute->next) {
            const char* name = reinterpret_cast<const char*>(attribute->name);
            if (typeAttribute == nullptr && name[0] == 'R' && std::strcmp(name, "ReferenceType") == 0) {
                typeAttribute = attribute;
            } else if (forwardAttribute == nullptr && name[0] == 'I' && std::strcmp(name, "IsForward") == 0) {
                forwardAttribute = attribute;
            }
        }
        // Attributes that only a document type declaration gives are found the long way.
        const bool hasDocumentType = Xml::mayHaveDefaultedAttributes(reference);
        if (typeAttribute != nullptr) {
            type = Xml::attributeValue(typeAttribute);
        } else if (hasDocumentType) {
            type = Xml::attribute(reference, "ReferenceType");
        }
        if (forwardAttribute != nullptr) {
            isForward = Xml::attributeValue(forwardAttribute);
        } else if (hasDocumentType) {
            isForward = Xml::attribute(reference, "IsForward");
        }
    }

    XmlText type;
    XmlText isForward;
};

} // namespace

UaLocalizedText UaNodesetXmlParser::localizedText(const xmlNode* element, const UaString* sameText) const
{
    if (element == nullptr) {
        return {};
    }
    const XmlText locale = Xml::attribute(element, "Locale");
    const XmlText text = Xml::content(element);
    // Display names mostly repeat the browse name and locales are a handful: share their strings.
    if (sameText != nullptr && sameText->view() == text.view()) {
        return UaLocalizedText(internLocale(locale.view()), *sameText);
    }
    return UaLocalizedText(internLocale(locale.view()), UaString(text.view()));
}

const UaString& UaNodesetXmlParser::internLocale(std::string_view locale) const
{
    static const UaString kNoLocale;
    if (locale.empty()) {
        return kNoLocale;
    }
    for (const UaString& known : m_locales) {
        if (known.view() == locale) {
            return known;
        }
    }
    m_locales.emplace_back(locale);
    return m_locales.back();
}

UaQualifiedName UaNodesetXmlParser::browseNameOf(const XmlText& text) const
{
    if (m_browseNames && text.isInPlace()) {
        if (const UaQualifiedName* known = m_browseNames->find(text.view())) {
            return *known;
        }
        return m_browseNames->insert(text.view(), UaQualifiedName::fromBrowseNameText(text.view()));
    }
    return UaQualifiedName::fromBrowseNameText(text.view());
}

UaNodeId UaNodesetXmlParser::readNodeId(const NodeElement& element, UaStatus& status) const
{
    const XmlText nodeId = element.attribute(Attribute::NodeId);
    if (!nodeId.isPresent()) {
        status = UaStatus::Bad;
        return UaNodeId();
    }
    return resolveText(nodeId.view(), nodeId.isInPlace());
}

UaStatus UaNodesetXmlParser::readNames(const NodeElement& element, BaseNode& node, UaStatus status) const
{
    // The node is built first and written once: nodesets have thousands of nodes, and each
    // copy of a name is a reference count taken and given back.
    if (status.isNotGood()) {
        return status;
    }
    const XmlText browseText = element.attribute(Attribute::BrowseName);
    if (!browseText.isPresent()) {
        return UaStatus::Bad;
    }
    UaQualifiedName browseName = browseNameOf(browseText);
    auto translated = m_namespaceTranslation.find(browseName.namespaceIndex());
    browseName.setNamespaceIndex(translated == m_namespaceTranslation.end() ? 0 : translated->second);
    node.setWriteMask(numberAttribute<std::uint32_t>(element, Attribute::WriteMask, 0, UaNumberText::toUInt32));
    node.setUserWriteMask(numberAttribute<std::uint32_t>(element, Attribute::UserWriteMask, 0, UaNumberText::toUInt32));
    if (const xmlNode* displayName = element.child(Child::DisplayName)) {
        node.setDisplayName(localizedText(displayName, &browseName.name()));
    }
    node.setBrowseName(std::move(browseName));
    if (const xmlNode* description = element.child(Child::Description)) {
        node.setDescription(localizedText(description, nullptr));
    }
    return status;
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
    UaTrace::error(
        1, "Error NodeManagerAdvancedXmlParser::%s - NodeId already exists %s", operation, nodeId.toString().toUtf8());
    return true;
}

UaStatus UaNodesetXmlParser::storeNode(const NodeElement& element,
    std::unique_ptr<BaseNode> node,
    UaStatus status,
    NodeMap& nodes)
{
    // parseReferences and parseExtensions find their elements in the one already walked.
    const NodeElement* const outer = m_nodeElement;
    m_nodeElement = &element;
    if (status.isGood()) {
        status = parseReferences(node.get());
        if (status.isGood()) {
            status = parseExtensions(node.get());
        }
    }
    m_nodeElement = outer;
    nodes.insert(std::move(node));
    return status;
}

const xmlNode* UaNodesetXmlParser::currentChild(NodeElement::Child which, const char* name) const
{
    const xmlNode* current = currentElement();
    if (m_nodeElement != nullptr && m_nodeElement->element() == current) {
        return m_nodeElement->child(which);
    }
    return Xml::firstChildNamed(current, name);
}

UaNodeId UaNodesetXmlParser::dataTypeAttribute(const NodeElement& element) const
{
    const XmlText text = element.attribute(Attribute::DataType);
    return text.isPresent() ? resolveText(text.view(), text.isInPlace()) : UaNodeId(DataTypeIds::BaseDataType, 0);
}

UaVariant UaNodesetXmlParser::readValue(const NodeElement& element) const
{
    UaVariant value;
    const xmlNode* selecting = Xml::firstChildElement(element.child(Child::Value));
    if (selecting != nullptr) {
        getValue(selecting, value);
    }
    return value;
}

template <class Node, class Fill>
UaStatus UaNodesetXmlParser::parseNode(const NodeElement& element,
    NodeMap& nodes,
    const char* operation,
    std::unique_ptr<Node> (BaseNodeFactory::*create)(const UaNodeId&),
    Fill fill)
{
    UaStatus status = UaStatus::Good;
    const UaNodeId nodeId = readNodeId(element, status);
    if (isDuplicate(nodes, nodeId, operation)) {
        return UaStatus::BadNodeIdExists;
    }
    std::unique_ptr<Node> node = (factory().*create)(nodeId);
    status = readNames(element, *node, status);
    if constexpr (std::is_base_of_v<TypeNode, Node>) {
        node->setIsAbstract(booleanAttribute(element, Attribute::IsAbstract, false));
    } else {
        node->setParentNodeId(nodeIdAttribute(element, Attribute::ParentNodeId));
    }
    fill(*node);
    return storeNode(element, std::move(node), status, nodes);
}

void UaNodesetXmlParser::readValueAttributes(const NodeElement& element, ValueAttributes& node) const
{
    node.setDataType(dataTypeAttribute(element));
    node.setValueRank(numberAttribute<std::int32_t>(element, Attribute::ValueRank, -1, UaNumberText::toInt32));
    if (element.child(Child::Value) != nullptr) {
        node.setValue(readValue(element));
    }
}

// The operation names in the duplicate traces are the server's own and are kept as they are,
// also where they name another parser (parseObject traces "parseVariable"): do not correct them.

UaStatus UaNodesetXmlParser::parseObject(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    return parseNode(element, nodes, "parseVariable", &BaseNodeFactory::createObject, [&](Object& object) {
        object.setEventNotifier(
            numberAttribute<std::uint8_t>(element, Attribute::EventNotifier, 0, UaNumberText::toByte));
    });
}

UaStatus UaNodesetXmlParser::parseVariable(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    Variable* variable = nullptr;
    const UaStatus status
        = parseNode(element, nodes, "parseVariable", &BaseNodeFactory::createVariable, [&](Variable& read) {
              variable = &read;
              readValueAttributes(element, read);
              read.setAccessLevel(
                  numberAttribute<std::uint8_t>(element, Attribute::AccessLevel, 1, UaNumberText::toByte));
              read.setUserAccessLevel(
                  numberAttribute<std::uint8_t>(element, Attribute::UserAccessLevel, 1, UaNumberText::toByte));
              read.setMinimumSamplingInterval(
                  numberAttribute<double>(element, Attribute::MinimumSamplingInterval, 0.0, UaNumberText::toDouble));
              read.setHistorizing(booleanAttribute(element, Attribute::Historizing, false));
          });
    if (variable != nullptr) {
        readAlarm(element, variable);
    }
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
    return parseNode(element, nodes, "parseVariable", &BaseNodeFactory::createMethod, [&](Method& method) {
        method.setExecutable(booleanAttribute(element, Attribute::Executable, true));
        method.setUserExecutable(booleanAttribute(element, Attribute::UserExecutable, true));
    });
}

UaStatus UaNodesetXmlParser::parseObjectType(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    return parseNode(element, nodes, "parseReferenceType", &BaseNodeFactory::createObjectType, [](ObjectType&) {});
}

UaStatus UaNodesetXmlParser::parseVariableType(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    return parseNode(element, nodes, "parseVariable", &BaseNodeFactory::createVariableType, [&](VariableType& type) {
        readValueAttributes(element, type);
    });
}

UaStatus UaNodesetXmlParser::parseReferenceType(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    return parseNode(
        element, nodes, "parseReferenceType", &BaseNodeFactory::createReferenceType, [&](ReferenceType& type) {
            type.setSymmetric(booleanAttribute(element, Attribute::Symmetric, false));
            if (const xmlNode* inverseName = element.child(Child::InverseName)) {
                type.setInverseName(localizedText(inverseName, nullptr));
            }
        });
}

UaStatus UaNodesetXmlParser::parseDataType(NodeMap& nodes)
{
    const NodeElement element(currentElement());
    DataType* dataType = nullptr;
    const UaStatus status = parseNode(
        element, nodes, "parseVariable", &BaseNodeFactory::createDataType, [&](DataType& read) { dataType = &read; });
    if (dataType == nullptr) {
        return status;
    }
    if (status.isGood()) {
        readEnumerationSubtype(dataType);
    }
    parseDataTypeDefinition(dataType);
    return status;
}

UaStatus UaNodesetXmlParser::parseReferences(BaseNode* node)
{
    const xmlNode* references = currentChild(Child::References, "References");
    UaStatus status = UaStatus::Good;
    std::size_t count = 0;
    for (const xmlNode* reference = Xml::firstChildElement(references); reference != nullptr;
         reference = Xml::nextSiblingElement(reference)) {
        ++count;
    }
    // Room for the few inverse references most nodes receive once all nodes are read.
    node->reserveReferences(count + kInverseReferenceRoom);
    for (const xmlNode* reference = Xml::firstChildElement(references); reference != nullptr;
         reference = Xml::nextSiblingElement(reference)) {
        if (!Xml::hasName(reference, "Reference")) {
            continue;
        }
        const ReferenceAttributes attributes(reference);
        if (!attributes.type.isPresent()) {
            status = UaStatus::Bad;
            continue;
        }
        const XmlText target = Xml::content(reference);
        const bool isForward = attributes.isForward.isPresent() ? attributes.isForward.view() == "true" : true;
        node->addReference(resolveText(attributes.type.view(), attributes.type.isInPlace()),
            isForward,
            resolveText(target.view(), target.isInPlace()));
    }
    return status;
}

UaStatus UaNodesetXmlParser::parseExtensions(BaseNode* node)
{
    if (currentChild(Child::Extensions, "Extensions") == nullptr) {
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
