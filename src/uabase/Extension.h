#pragma once

#include "uabase/UaByteString.h"
#include "uabase/UaString.h"

namespace UaBase {

/// One `Extension` payload of a node or of a document: the payload element's name, its XML
/// text, and (for document extensions only) its namespace URI.
class Extension {
public:
    Extension() = default;
    Extension(const UaString& name, const UaByteString& body, const UaString& namespaceUri = UaString())
        : m_name(name)
        , m_body(body)
        , m_namespaceUri(namespaceUri)
    {
    }

    const UaString& name() const { return m_name; }
    const UaByteString& body() const { return m_body; }
    const UaString& namespaceUri() const { return m_namespaceUri; }

private:
    UaString m_name;
    UaByteString m_body;
    UaString m_namespaceUri;
};

} // namespace UaBase
