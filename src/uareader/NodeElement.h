#pragma once

#include "uaxml/XmlText.h"

#include <array>
#include <cstddef>

struct _xmlAttr;
struct _xmlNode;

namespace UaBase {

/// A node element of a nodeset (`UAObject`, `UAVariable`, ...) with the attributes and child
/// elements the reader looks at, found in one pass over each: a nodeset has thousands of node
/// elements, and a search per attribute would walk the same lists a dozen times. The first
/// attribute or child of a name counts, as with the document layer's lookups.
class NodeElement {
public:
    enum class Attribute {
        NodeId,
        BrowseName,
        WriteMask,
        UserWriteMask,
        ParentNodeId,
        DataType,
        ValueRank,
        AccessLevel,
        UserAccessLevel,
        MinimumSamplingInterval,
        Historizing,
        EventNotifier,
        Executable,
        UserExecutable,
        IsAbstract,
        Symmetric,
    };
    enum class Child {
        DisplayName,
        Description,
        References,
        Value,
        Alarm,
        Extensions,
        Definition,
        InverseName,
    };

    explicit NodeElement(const _xmlNode* element);

    const _xmlNode* element() const { return m_element; }
    /// Absent when the element has no such attribute.
    XmlText attribute(Attribute which) const;
    /// Null when the element has no such child element.
    const _xmlNode* child(Child which) const { return m_children[static_cast<std::size_t>(which)]; }

private:
    static constexpr std::size_t kAttributeCount = static_cast<std::size_t>(Attribute::Symmetric) + 1;
    static constexpr std::size_t kChildCount = static_cast<std::size_t>(Child::InverseName) + 1;

    const _xmlNode* m_element;
    std::array<const _xmlAttr*, kAttributeCount> m_attributes {};
    std::array<const _xmlNode*, kChildCount> m_children {};
    // Only a document type declaration can give an element attributes it does not carry.
    bool m_hasDocumentType = false;
};

} // namespace UaBase
