#pragma once

#include "uatypes/UaByteString.h"
#include "uatypes/UaString.h"

namespace UaBase {

/// One `Extension` payload of a node or of a document: the payload element's name, its XML
/// text, (for document extensions only) its namespace URI, and the text it holds (the texts of
/// the payload element and its descendants), which the reader takes from the document so that
/// the node model never parses XML.
class Extension {
public:
    Extension() = default;
    Extension(const UaString& name,
        const UaByteString& body,
        const UaString& namespaceUri = UaString(),
        const UaString& text = UaString())
        : m_name(name)
        , m_body(body)
        , m_namespaceUri(namespaceUri)
        , m_text(text)
    {
    }

    const UaString& name() const { return m_name; }
    const UaByteString& body() const { return m_body; }
    const UaString& namespaceUri() const { return m_namespaceUri; }
    const UaString& text() const { return m_text; }

private:
    UaString m_name;
    UaByteString m_body;
    UaString m_namespaceUri;
    UaString m_text;
};

} // namespace UaBase
