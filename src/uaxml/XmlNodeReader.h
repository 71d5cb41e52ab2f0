#pragma once

#include "uaxml/XmlText.h"

struct _xmlAttr;
struct _xmlNode;

namespace UaBase {

/// Read-only access to the elements of a loaded document for the nodeset reader, which visits
/// tens of thousands of elements and attributes and must not copy each of them. Elements are
/// matched by local name, as the document layer does; the results are the document layer's.
class XmlNodeReader {
public:
    static bool hasName(const _xmlNode* element, const char* name);
    static const _xmlNode* firstChildElement(const _xmlNode* element);
    static const _xmlNode* nextSiblingElement(const _xmlNode* element);
    /// The first child element named `name`, or null.
    static const _xmlNode* firstChildNamed(const _xmlNode* element, const char* name);

    /// The first attribute of that local name (whatever its namespace, and with the defaults a
    /// document type declares); absent when there is none.
    static XmlText attribute(const _xmlNode* element, const char* name);
    /// Whether the element's document has a document type declaration, the only way an
    /// element can have attributes it does not carry (defaults from the declaration).
    static bool mayHaveDefaultedAttributes(const _xmlNode* element);
    /// The value of an attribute the caller found.
    static XmlText attributeValue(const _xmlAttr* attribute);
    /// The text of the element and all its descendants; absent for a null element.
    static XmlText content(const _xmlNode* element);
};

} // namespace UaBase
