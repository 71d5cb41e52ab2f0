#pragma once

struct _xmlNode;

/// A handle to one element of a loaded UaXmlDocument, as handed out by getChildren.
/// It owns nothing and is valid only while the document lives and the element is not removed.
class UaXmlElement {
public:
    UaXmlElement() = default;
    explicit UaXmlElement(_xmlNode* element)
        : m_element(element)
    {
    }

    bool isNull() const { return m_element == nullptr; }
    /// The element's local name, owned by the document; null for a null handle.
    const char* getNodeName() const;

    /// The attribute's value as a new string (free it with UaXmlDocument::freeXmlString); a string
    /// already in `value` is freed first. -1 and null when the attribute is absent.
    int getAttributeValue(const char* name, char*& value) const;
    /// The text of the element and all its descendants, as getAttributeValue hands out strings.
    int getContent(char*& content) const;

    _xmlNode* node() const { return m_element; }

private:
    _xmlNode* m_element = nullptr;
};
