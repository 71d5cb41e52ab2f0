#include "uatypes/UaNodeId.h"

#include "uatypes/UaByteString.h"
#include "uatypes/UaGuid.h"
#include "uatypes/UaStatus.h"
#include "uatypes/UaString.h"

#include <string>
#include <string_view>

struct UaNodeId::Rep : UaSharedData {
    UaString text;
    UaGuid guid;
    UaByteString opaque;
};

namespace {

/// Longest text form written by toString and toFullString (Opaque toString excepted).
constexpr std::size_t kMaxTextLength = 256;
/// Longest hexadecimal forms of an Opaque identifier.
constexpr std::size_t kMaxHexLength = 255;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

/// Cuts `text` to at most `max` bytes without splitting a UTF-8 sequence in two.
void cutText(std::string& text, std::size_t max)
{
    if (text.size() <= max)
        return;
    std::size_t end = max;
    while (end > 0 && end + 3 > max && isContinuationByte(text[end]))
        --end;
    // Not UTF-8 at all: cut where the limit says.
    if (isContinuationByte(text[end]))
        end = max;
    text.resize(end);
}

std::string decimal(std::uint32_t value) { return std::to_string(value); }

} // namespace

UaNodeId::UaNodeId() = default;

UaNodeId::UaNodeId(UaIdentifierType type, std::uint16_t namespaceIndex, const Rep* rep) noexcept
    : m_namespaceIndex(namespaceIndex)
    , m_type(type)
    , m_rep(rep)
{
    addRef(m_rep);
}

UaNodeId::UaNodeId(std::uint32_t identifier, std::uint16_t namespaceIndex)
    : m_numeric(identifier)
    , m_namespaceIndex(namespaceIndex)
{
}

UaNodeId::UaNodeId(const UaString& identifier, std::uint16_t namespaceIndex)
    : UaNodeId(UaIdentifierType::String, namespaceIndex, [&] {
        auto* rep = new Rep;
        rep->text = identifier;
        return rep;
    }())
{
}

UaNodeId::UaNodeId(const UaGuid& identifier, std::uint16_t namespaceIndex)
    : UaNodeId(UaIdentifierType::Guid, namespaceIndex, [&] {
        auto* rep = new Rep;
        rep->guid = identifier;
        return rep;
    }())
{
}

UaNodeId::UaNodeId(const UaByteString& identifier, std::uint16_t namespaceIndex)
    : UaNodeId(UaIdentifierType::Opaque, namespaceIndex, [&] {
        auto* rep = new Rep;
        rep->opaque = identifier;
        return rep;
    }())
{
}

void UaNodeId::addRef(const Rep* rep) noexcept { rep->addRef(); }

void UaNodeId::releaseRep(const Rep* rep) noexcept
{
    if (rep->release())
        delete rep;
}

UaString UaNodeId::identifierText() const { return m_type == UaIdentifierType::String ? m_rep->text : UaString(); }

UaGuid UaNodeId::identifierGuid() const { return m_type == UaIdentifierType::Guid ? m_rep->guid : UaGuid(); }

UaByteString UaNodeId::identifierOpaque() const
{
    return m_type == UaIdentifierType::Opaque ? m_rep->opaque : UaByteString();
}

void UaNodeId::setNamespaceIndex(std::uint16_t namespaceIndex)
{
    // The representation holds only the identifier, so it is shared by both namespaces.
    m_namespaceIndex = namespaceIndex;
}

bool UaNodeId::isNull() const
{
    if (m_namespaceIndex != 0)
        return false;
    switch (m_type) {
    case UaIdentifierType::Numeric:
        return m_numeric == 0;
    case UaIdentifierType::String:
        return m_rep->text.isEmpty();
    case UaIdentifierType::Guid:
        return m_rep->guid.isNull();
    case UaIdentifierType::Opaque:
        return m_rep->opaque.isNull();
    }
    return false;
}

UaString UaNodeId::toString() const
{
    std::string prefix = m_namespaceIndex == 0 ? std::string() : "ns=" + decimal(m_namespaceIndex) + ";";
    std::string out;
    switch (m_type) {
    case UaIdentifierType::Numeric:
        out = prefix + "i=" + decimal(m_numeric);
        break;
    case UaIdentifierType::String:
        out = prefix + "s=";
        out.append(m_rep->text.view());
        break;
    case UaIdentifierType::Guid:
        // The GUID text without its braces.
        out = prefix + "g=";
        out.append(m_rep->guid.toString().view().substr(1, 36));
        break;
    case UaIdentifierType::Opaque:
        // Written with its namespace even in namespace 0, and never cut: a cut value could
        // not be read back.
        out = "ns=" + decimal(m_namespaceIndex) + ";b=";
        out.append(m_rep->opaque.toBase64().view());
        return UaString(std::string_view(out));
    default:
        return UaString();
    }
    cutText(out, kMaxTextLength);
    return UaString(std::string_view(out));
}

UaString UaNodeId::toFullString() const
{
    std::string out = "NS" + decimal(m_namespaceIndex);
    switch (m_type) {
    case UaIdentifierType::Numeric:
        out += "|Numeric|" + decimal(m_numeric);
        break;
    case UaIdentifierType::String:
        out += "|String|";
        out.append(m_rep->text.view());
        break;
    case UaIdentifierType::Guid:
        out += "|Guid|";
        out.append(m_rep->guid.toString().view());
        break;
    case UaIdentifierType::Opaque: {
        out += "|Opaque|0x";
        const std::size_t room = (kMaxHexLength - out.size()) / 2;
        out.append(m_rep->opaque.toHex(room).view());
        return UaString(std::string_view(out));
    }
    default:
        return UaString();
    }
    cutText(out, kMaxTextLength);
    return UaString(std::string_view(out));
}

UaString UaNodeId::identifierString() const
{
    switch (m_type) {
    case UaIdentifierType::Numeric:
        return UaString(std::string_view(decimal(m_numeric)));
    case UaIdentifierType::String:
        return m_rep->text;
    case UaIdentifierType::Guid:
        return m_rep->guid.toString();
    case UaIdentifierType::Opaque:
        if (m_rep->opaque.isEmpty())
            return UaString();
        return UaString("0x") + m_rep->opaque.toHex((kMaxHexLength - 2) / 2);
    }
    return UaString();
}

namespace {

/// A decimal number of digits only, at most `max`.
bool readDecimal(std::string_view text, std::uint32_t max, std::uint32_t& value)
{
    if (text.empty())
        return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > max)
            return false;
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

} // namespace

UaNodeId UaNodeId::fromXmlString(const UaString& text)
{
    std::string_view s = text.view();
    if (s.size() < 3)
        return UaNodeId();

    std::uint16_t ns = 0;
    if (s.size() >= 4 && s.starts_with("ns=")) {
        const std::size_t semicolon = s.find(';', 3);
        if (semicolon == std::string_view::npos)
            return UaNodeId();
        const std::string_view part = s.substr(3, semicolon - 3);
        if (!part.empty()) {
            std::uint32_t value = 0;
            if (!readDecimal(part, 0xFFFF, value))
                return UaNodeId();
            ns = static_cast<std::uint16_t>(value);
        }
        s.remove_prefix(semicolon + 1);
    }

    if (s.size() < 2)
        return UaNodeId();
    const std::string_view kind = s.substr(0, 2);
    const std::string_view rest = s.substr(2);
    if (kind == "i=") {
        std::uint32_t value = 0;
        if (!readDecimal(rest, 0xFFFFFFFF, value))
            return UaNodeId();
        return UaNodeId(value, ns);
    }
    if (kind == "s=")
        return UaNodeId(UaString(rest), ns);
    if (kind == "g=") {
        UaGuid guid;
        if (guid.fromString(UaString(rest)).isNotGood())
            return UaNodeId();
        return UaNodeId(guid, ns);
    }
    if (kind == "b=") {
        UaByteString bytes;
        if (bytes.fromBase64(UaString(rest)).isNotGood())
            return UaNodeId();
        return UaNodeId(bytes, ns);
    }
    return UaNodeId();
}

bool UaNodeId::equalIdentifiers(const UaNodeId& a, const UaNodeId& b)
{
    return (a <=> b) == std::strong_ordering::equal;
}

std::strong_ordering operator<=>(const UaNodeId& a, const UaNodeId& b)
{
    if (a.m_type != b.m_type)
        return static_cast<std::uint16_t>(a.m_type) <=> static_cast<std::uint16_t>(b.m_type);
    if (a.m_namespaceIndex != b.m_namespaceIndex)
        return a.m_namespaceIndex <=> b.m_namespaceIndex;
    switch (a.m_type) {
    case UaIdentifierType::Numeric:
        return a.m_numeric <=> b.m_numeric;
    case UaIdentifierType::String:
        return a.m_rep->text <=> b.m_rep->text;
    case UaIdentifierType::Guid:
        return a.m_rep->guid <=> b.m_rep->guid;
    case UaIdentifierType::Opaque:
        return a.m_rep->opaque <=> b.m_rep->opaque;
    }
    return std::strong_ordering::equal;
}

std::size_t UaNodeId::hashOfIdentifier() const
{
    std::size_t h = 0;
    switch (m_type) {
    case UaIdentifierType::Numeric:
        h = std::hash<std::uint32_t> {}(m_numeric);
        break;
    case UaIdentifierType::String:
        h = std::hash<std::string_view> {}(m_rep->text.view());
        break;
    case UaIdentifierType::Guid: {
        const auto bytes = m_rep->guid.toBytes();
        h = std::hash<std::string_view> {}(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        break;
    }
    case UaIdentifierType::Opaque:
        h = std::hash<std::string_view> {}(m_rep->opaque.view());
        break;
    }
    const std::size_t kind = (static_cast<std::size_t>(m_type) << 16) | m_namespaceIndex;
    return mixHash(h, kind);
}
