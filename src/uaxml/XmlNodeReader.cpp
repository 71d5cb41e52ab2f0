#include "uaxml/XmlNodeReader.h"

#include <libxml/tree.h>

#include <cstring>

namespace UaBase {

namespace {

const char* asText(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

const xmlNode* firstElementFrom(const xmlNode* node)
{
    while (node != nullptr && node->type != XML_ELEMENT_NODE) {
        node = node->next;
    }
    return node;
}

/// A view when the value is one plain text node, the common case.
bool isSingleText(const xmlNode* children)
{
    return children != nullptr && children->next == nullptr && children->type == XML_TEXT_NODE
        && children->content != nullptr;
}

} // namespace

bool XmlNodeReader::hasName(const xmlNode* element, const char* name)
{
    return element != nullptr && element->type == XML_ELEMENT_NODE && asText(element->name)[0] == name[0]
        && std::strcmp(asText(element->name), name) == 0;
}

const xmlNode* XmlNodeReader::firstChildElement(const xmlNode* element)
{
    return element == nullptr ? nullptr : firstElementFrom(element->children);
}

const xmlNode* XmlNodeReader::nextSiblingElement(const xmlNode* element)
{
    return element == nullptr ? nullptr : firstElementFrom(element->next);
}

const xmlNode* XmlNodeReader::firstChildNamed(const xmlNode* element, const char* name)
{
    if (element == nullptr) {
        return nullptr;
    }
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (hasName(child, name)) {
            return child;
        }
    }
    return nullptr;
}

XmlText XmlNodeReader::attribute(const xmlNode* element, const char* name)
{
    if (element == nullptr || element->type != XML_ELEMENT_NODE) {
        return {};
    }
    for (const xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
        // The first letter tells most names apart without a call.
        if (asText(attr->name)[0] != name[0] || std::strcmp(asText(attr->name), name) != 0) {
            continue;
        }
        return attributeValue(attr);
    }
    if (mayHaveDefaultedAttributes(element)) {
        return XmlText::adopt(xmlGetProp(element, reinterpret_cast<const xmlChar*>(name)));
    }
    return {};
}

bool XmlNodeReader::mayHaveDefaultedAttributes(const xmlNode* element)
{
    return element->doc != nullptr && (element->doc->intSubset != nullptr || element->doc->extSubset != nullptr);
}

XmlText XmlNodeReader::attributeValue(const xmlAttr* attribute)
{
    if (attribute->children == nullptr) {
        return XmlText(std::string_view());
    }
    if (isSingleText(attribute->children)) {
        return XmlText(std::string_view(asText(attribute->children->content)));
    }
    return XmlText::adopt(xmlNodeListGetString(attribute->doc, attribute->children, 1));
}

XmlText XmlNodeReader::content(const xmlNode* element)
{
    if (element == nullptr) {
        return {};
    }
    if (element->children == nullptr) {
        return XmlText(std::string_view());
    }
    if (isSingleText(element->children)) {
        return XmlText(std::string_view(asText(element->children->content)));
    }
    return XmlText::adopt(xmlNodeGetContent(element));
}

} // namespace UaBase
