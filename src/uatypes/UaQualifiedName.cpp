#include "uatypes/UaQualifiedName.h"

#include "uatypes/UaNumberText.h"
#include "uatypes/UaStatus.h"

#include <string_view>

UaQualifiedName::UaQualifiedName(const UaString& name, std::uint16_t namespaceIndex)
    : m_name(name)
    , m_namespaceIndex(namespaceIndex)
{
}

UaString UaQualifiedName::toFullString() const { return UaString("ns=%1|%2").arg(m_namespaceIndex).arg(m_name); }

UaQualifiedName UaQualifiedName::fromBrowseNameText(const UaString& text) { return fromBrowseNameText(text.view()); }

UaQualifiedName UaQualifiedName::fromBrowseNameText(std::string_view text)
{
    // Every node of a nodeset has a browse name: the parts are counted, not collected.
    std::string_view first;
    std::string_view second;
    std::size_t count = 0;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view part = rest.substr(0, colon);
        if (!part.empty()) {
            if (count == 0)
                first = part;
            else if (count == 1)
                second = part;
            ++count;
        }
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }

    UaQualifiedName result;
    if (count == 1) {
        result.m_name = UaString(first);
    } else if (count == 2) {
        std::uint16_t index = 0;
        if (UaNumberText::toUInt16(first, index).isGood())
            result.m_namespaceIndex = index;
        result.m_name = UaString(second);
    }
    return result;
}
