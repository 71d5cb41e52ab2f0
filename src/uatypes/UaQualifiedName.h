#pragma once

#include "uatypes/UaString.h"

#include <cstdint>
#include <string_view>

/// A name qualified by a namespace index, as in a browse name.
class UaQualifiedName {
public:
    UaQualifiedName() = default;
    UaQualifiedName(const UaString& name, std::uint16_t namespaceIndex);

    std::uint16_t namespaceIndex() const { return m_namespaceIndex; }
    const UaString& name() const { return m_name; }
    void setNamespaceIndex(std::uint16_t namespaceIndex) { m_namespaceIndex = namespaceIndex; }
    void setName(const UaString& name) { m_name = name; }
    bool isNull() const { return m_namespaceIndex == 0 && m_name.isEmpty(); }

    /// "ns=<index>|<name>", for example "ns=0|Temperature".
    UaString toFullString() const;

    /// Reads the text of a BrowseName attribute, split at ":" with empty parts skipped: two parts
    /// are a namespace index (as UInt16 text; 0 when unreadable) and a name, one part is a name
    /// in namespace 0, three or more give an empty name in namespace 0. The index is the file's
    /// own; translating it is the caller's business.
    static UaQualifiedName fromBrowseNameText(const UaString& text);
    static UaQualifiedName fromBrowseNameText(std::string_view text);
    static UaQualifiedName fromBrowseNameText(const char* text) { return fromBrowseNameText(UaString(text)); }

    friend bool operator==(const UaQualifiedName& a, const UaQualifiedName& b) = default;

private:
    UaString m_name;
    std::uint16_t m_namespaceIndex = 0;
};
