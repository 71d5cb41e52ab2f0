#include "uabase/UaNodeId.h"

#include "uabase/UaByteString.h"
#include "uabase/UaGuid.h"
#include "uabase/UaStatus.h"
#include "uabase/UaString.h"

#include <string>
#include <string_view>

struct UaNodeId::Rep : UaSharedData {
    UaIdentifierType type = UaIdentifierType::Numeric;
    std::uint16_t namespaceIndex = 0;
    std::uint32_t numeric = 0;
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

UaNodeId::UaNodeId()
    : m_rep(sharedNull())
{
}

UaNodeId::UaNodeId(const Rep* rep)
    : m_rep(rep)
{
}

UaNodeId::UaNodeId(std::uint32_t identifier, std::uint16_t namespaceIndex)
    : m_rep(identifier == 0 && namespaceIndex == 0 ? sharedNull() : [&] {
        auto* rep = new Rep;
        rep->namespaceIndex = namespaceIndex;
        rep->numeric = identifier;
        return rep;
    }())
{
}

UaNodeId::UaNodeId(const UaString& identifier, std::uint16_t namespaceIndex)
    : m_rep([&] {
        auto* rep = new Rep;
        rep->type = UaIdentifierType::String;
        rep->namespaceIndex = namespaceIndex;
        rep->text = identifier;
        return rep;
    }())
{
}

UaNodeId::UaNodeId(const UaGuid& identifier, std::uint16_t namespaceIndex)
    : m_rep([&] {
        auto* rep = new Rep;
        rep->type = UaIdentifierType::Guid;
        rep->namespaceIndex = namespaceIndex;
        rep->guid = identifier;
        return rep;
    }())
{
}

UaNodeId::UaNodeId(const UaByteString& identifier, std::uint16_t namespaceIndex)
    : m_rep([&] {
        auto* rep = new Rep;
        rep->type = UaIdentifierType::Opaque;
        rep->namespaceIndex = namespaceIndex;
        rep->opaque = identifier;
        return rep;
    }())
{
}

std::uint16_t UaNodeId::namespaceIndex() const { return m_rep->namespaceIndex; }

UaIdentifierType UaNodeId::identifierType() const { return m_rep->type; }

std::uint32_t UaNodeId::identifierNumeric() const { return m_rep->numeric; }

UaString UaNodeId::identifierText() const { return m_rep->text; }

UaGuid UaNodeId::identifierGuid() const { return m_rep->guid; }

UaByteString UaNodeId::identifierOpaque() const { return m_rep->opaque; }

void UaNodeId::setNamespaceIndex(std::uint16_t namespaceIndex)
{
    auto* rep = new Rep;
    rep->type = m_rep->type;
    rep->namespaceIndex = namespaceIndex;
    rep->numeric = m_rep->numeric;
    rep->text = m_rep->text;
    rep->guid = m_rep->guid;
    rep->opaque = m_rep->opaque;
    m_rep = UaSharedRef<Rep>(rep);
}

bool UaNodeId::isNull() const
{
    if (m_rep->namespaceIndex != 0)
        return false;
    switch (m_rep->type) {
    case UaIdentifierType::Numeric:
        return m_rep->numeric == 0;
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
    const Rep& r = *m_rep;
    std::string prefix = r.namespaceIndex == 0 ? std::string() : "ns=" + decimal(r.namespaceIndex) + ";";
    std::string out;
    switch (r.type) {
    case UaIdentifierType::Numeric:
        out = prefix + "i=" + decimal(r.numeric);
        break;
    case UaIdentifierType::String:
        out = prefix + "s=";
        out.append(r.text.view());
        break;
    case UaIdentifierType::Guid:
        // The GUID text without its braces.
        out = prefix + "g=";
        out.append(r.guid.toString().view().substr(1, 36));
        break;
    case UaIdentifierType::Opaque:
        // Written with its namespace even in namespace 0, and never cut: a cut value could
        // not be read back.
        out = "ns=" + decimal(r.namespaceIndex) + ";b=";
        out.append(r.opaque.toBase64().view());
        return UaString(std::string_view(out));
    default:
        return UaString();
    }
    cutText(out, kMaxTextLength);
    return UaString(std::string_view(out));
}

UaString UaNodeId::toFullString() const
{
    const Rep& r = *m_rep;
    std::string out = "NS" + decimal(r.namespaceIndex);
    switch (r.type) {
    case UaIdentifierType::Numeric:
        out += "|Numeric|" + decimal(r.numeric);
        break;
    case UaIdentifierType::String:
        out += "|String|";
        out.append(r.text.view());
        break;
    case UaIdentifierType::Guid:
        out += "|Guid|";
        out.append(r.guid.toString().view());
        break;
    case UaIdentifierType::Opaque: {
        out += "|Opaque|0x";
        const std::size_t room = (kMaxHexLength - out.size()) / 2;
        out.append(r.opaque.toHex(room).view());
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
    const Rep& r = *m_rep;
    switch (r.type) {
    case UaIdentifierType::Numeric:
        return UaString(std::string_view(decimal(r.numeric)));
    case UaIdentifierType::String:
        return r.text;
    case UaIdentifierType::Guid:
        return r.guid.toString();
    case UaIdentifierType::Opaque:
        if (r.opaque.isEmpty())
            return UaString();
        return UaString("0x") + r.opaque.toHex((kMaxHexLength - 2) / 2);
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

bool operator==(const UaNodeId& a, const UaNodeId& b)
{
    if (a.m_rep.get() == b.m_rep.get())
        return true;
    return (a <=> b) == std::strong_ordering::equal;
}

std::strong_ordering operator<=>(const UaNodeId& a, const UaNodeId& b)
{
    const UaNodeId::Rep& x = *a.m_rep;
    const UaNodeId::Rep& y = *b.m_rep;
    if (x.type != y.type)
        return static_cast<std::uint16_t>(x.type) <=> static_cast<std::uint16_t>(y.type);
    if (x.namespaceIndex != y.namespaceIndex)
        return x.namespaceIndex <=> y.namespaceIndex;
    switch (x.type) {
    case UaIdentifierType::Numeric:
        return x.numeric <=> y.numeric;
    case UaIdentifierType::String:
        return x.text <=> y.text;
    case UaIdentifierType::Guid:
        return x.guid <=> y.guid;
    case UaIdentifierType::Opaque:
        return x.opaque <=> y.opaque;
    }
    return std::strong_ordering::equal;
}

std::size_t UaNodeId::hash() const
{
    const Rep& r = *m_rep;
    std::size_t h = 0;
    switch (r.type) {
    case UaIdentifierType::Numeric:
        h = std::hash<std::uint32_t> {}(r.numeric);
        break;
    case UaIdentifierType::String:
        h = std::hash<std::string_view> {}(r.text.view());
        break;
    case UaIdentifierType::Guid: {
        const auto bytes = r.guid.toBytes();
        h = std::hash<std::string_view> {}(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        break;
    }
    case UaIdentifierType::Opaque:
        h = std::hash<std::string_view> {}(r.opaque.view());
        break;
    }
    const std::size_t kind = (static_cast<std::size_t>(r.type) << 16) | r.namespaceIndex;
    return h ^ (kind + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2));
}

const UaNodeId::Rep* UaNodeId::sharedNull()
{
    // Never freed: see UaString::sharedEmpty.
    static const Rep* const rep = [] {
        auto* created = new Rep;
        created->addRef();
        return created;
    }();
    return rep;
}
