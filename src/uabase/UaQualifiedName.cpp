#include "uabase/UaQualifiedName.h"

#include "uabase/UaNumberText.h"
#include "uabase/UaStatus.h"

#include <string_view>
#include <vector>

UaQualifiedName::UaQualifiedName(const UaString& name, std::uint16_t namespaceIndex)
    : m_name(name)
    , m_namespaceIndex(namespaceIndex)
{
}

UaString UaQualifiedName::toFullString() const { return UaString("ns=%1|%2").arg(m_namespaceIndex).arg(m_name); }

UaQualifiedName UaQualifiedName::fromBrowseNameText(const UaString& text)
{
    std::vector<std::string_view> parts;
    std::string_view rest = text.view();
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view part = rest.substr(0, colon);
        if (!part.empty())
            parts.push_back(part);
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }

    UaQualifiedName result;
    if (parts.size() == 1) {
        result.m_name = UaString(parts[0]);
    } else if (parts.size() == 2) {
        std::uint16_t index = 0;
        if (UaNumberText::toUInt16(parts[0], index).isGood())
            result.m_namespaceIndex = index;
        result.m_name = UaString(parts[1]);
    }
    return result;
}
