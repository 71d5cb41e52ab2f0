#include "uaxml/UaXmlElement.h"

#include "uaxml/UaXmlDocument.h"

#include <libxml/tree.h>

namespace {

const char* asText(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

} // namespace

const char* UaXmlElement::getNodeName() const { return m_element ? asText(m_element->name) : nullptr; }

int UaXmlElement::getAttributeValue(const char* name, char*& value) const
{
    UaXmlDocument::freeXmlString(value);
    if (!m_element || !name)
        return -1;
    value = reinterpret_cast<char*>(xmlGetProp(m_element, reinterpret_cast<const xmlChar*>(name)));
    return value ? 0 : -1;
}

int UaXmlElement::getContent(char*& content) const
{
    UaXmlDocument::freeXmlString(content);
    if (!m_element)
        return -1;
    content = reinterpret_cast<char*>(xmlNodeGetContent(m_element));
    return content ? 0 : -1;
}
