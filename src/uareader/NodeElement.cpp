#include "uareader/NodeElement.h"

#include "uaxml/XmlNodeReader.h"

#include <libxml/tree.h>

#include <cstring>

namespace UaBase {

namespace {

constexpr const char* kAttributeNames[] = {
    "NodeId",
    "BrowseName",
    "WriteMask",
    "UserWriteMask",
    "ParentNodeId",
    "DataType",
    "ValueRank",
    "AccessLevel",
    "UserAccessLevel",
    "MinimumSamplingInterval",
    "Historizing",
    "EventNotifier",
    "Executable",
    "UserExecutable",
    "IsAbstract",
    "Symmetric",
};

constexpr const char* kChildNames[] = {
    "DisplayName",
    "Description",
    "References",
    "Value",
    "Tavox_Alarm",
    "Extensions",
    "Definition",
    "InverseName",
};

/// The index of `name` in `names`, or -1.
template <std::size_t N> int indexOf(const char* const (&names)[N], const xmlChar* name)
{
    const char* text = reinterpret_cast<const char*>(name);
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i][0] == text[0] && std::strcmp(names[i], text) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

NodeElement::NodeElement(const xmlNode* element)
    : m_element(element)
{
    static_assert(std::size(kAttributeNames) == kAttributeCount);
    static_assert(std::size(kChildNames) == kChildCount);
    if (element == nullptr || element->type != XML_ELEMENT_NODE) {
        return;
    }
    m_hasDocumentType = XmlNodeReader::mayHaveDefaultedAttributes(element);
    for (const xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        const int index = indexOf(kAttributeNames, attribute->name);
        if (index >= 0 && m_attributes[static_cast<std::size_t>(index)] == nullptr) {
            m_attributes[static_cast<std::size_t>(index)] = attribute;
        }
    }
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        const int index = indexOf(kChildNames, child->name);
        if (index >= 0 && m_children[static_cast<std::size_t>(index)] == nullptr) {
            m_children[static_cast<std::size_t>(index)] = child;
        }
    }
}

XmlText NodeElement::attribute(Attribute which) const
{
    const auto index = static_cast<std::size_t>(which);
    if (const xmlAttr* found = m_attributes[index]) {
        return XmlNodeReader::attributeValue(found);
    }
    return m_hasDocumentType ? XmlNodeReader::attribute(m_element, kAttributeNames[index]) : XmlText();
}

} // namespace UaBase
