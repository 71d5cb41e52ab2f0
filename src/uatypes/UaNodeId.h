#pragma once

#include "uatypes/UaSharedRef.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

class UaByteString;
class UaGuid;
class UaString;

/// Kind of identifier of a node identifier, with its stored number.
enum class UaIdentifierType : std::uint16_t { Numeric = 0, String = 1, Guid = 2, Opaque = 3 };

/// A node identifier: identifier type, namespace index and identifier. Numeric identifiers, by
/// far the most common, are held in the value itself; the others in a shared immutable
/// representation. Copies are cheap either way and may be used from several threads at once.
/// The null node identifier is Numeric 0 in namespace 0.
///
/// Ordered by identifier type (Numeric, String, Guid, Opaque), then namespace index, then
/// identifier: numbers by value, strings and opaque values by length then bytes, GUIDs by
/// their 16 stored bytes.
class UaNodeId {
public:
    /// The null node identifier (the shared null representation).
    UaNodeId();
    UaNodeId(std::uint32_t identifier, std::uint16_t namespaceIndex);
    UaNodeId(const UaString& identifier, std::uint16_t namespaceIndex);
    UaNodeId(const UaGuid& identifier, std::uint16_t namespaceIndex);
    UaNodeId(const UaByteString& identifier, std::uint16_t namespaceIndex);
    // Copies, moves and destruction are inline: a numeric identifier is copied as plain data.
    UaNodeId(const UaNodeId& other) noexcept
        : m_numeric(other.m_numeric)
        , m_namespaceIndex(other.m_namespaceIndex)
        , m_type(other.m_type)
        , m_rep(other.m_rep)
    {
        if (m_rep != nullptr)
            addRef(m_rep);
    }
    /// Takes the identifier over; `other` is left the null node identifier.
    UaNodeId(UaNodeId&& other) noexcept
        : m_numeric(other.m_numeric)
        , m_namespaceIndex(other.m_namespaceIndex)
        , m_type(other.m_type)
        , m_rep(other.m_rep)
    {
        other.m_numeric = 0;
        other.m_namespaceIndex = 0;
        other.m_type = UaIdentifierType::Numeric;
        other.m_rep = nullptr;
    }
    UaNodeId& operator=(const UaNodeId& other) noexcept
    {
        // Reference the new one first, so that self-assignment never frees.
        const Rep* rep = other.m_rep;
        if (rep != nullptr)
            addRef(rep);
        const std::uint32_t numeric = other.m_numeric;
        const std::uint16_t namespaceIndex = other.m_namespaceIndex;
        const UaIdentifierType type = other.m_type;
        release();
        m_numeric = numeric;
        m_namespaceIndex = namespaceIndex;
        m_type = type;
        m_rep = rep;
        return *this;
    }
    UaNodeId& operator=(UaNodeId&& other) noexcept
    {
        std::swap(m_numeric, other.m_numeric);
        std::swap(m_namespaceIndex, other.m_namespaceIndex);
        std::swap(m_type, other.m_type);
        std::swap(m_rep, other.m_rep);
        return *this;
    }
    ~UaNodeId() { release(); }

    std::uint16_t namespaceIndex() const { return m_namespaceIndex; }
    UaIdentifierType identifierType() const { return m_type; }
    /// The number of a Numeric identifier; 0 for other types.
    std::uint32_t identifierNumeric() const { return m_numeric; }
    /// The text of a String identifier; empty for other types.
    UaString identifierText() const;
    /// The GUID of a Guid identifier; the null GUID for other types.
    UaGuid identifierGuid() const;
    /// The bytes of an Opaque identifier; the null byte string for other types.
    UaByteString identifierOpaque() const;

    /// Same identifier in another namespace (a new representation).
    void setNamespaceIndex(std::uint16_t namespaceIndex);

    /// Null: namespace 0 and Numeric 0, an empty String, an all-zero GUID or a null (not
    /// merely empty) Opaque value.
    bool isNull() const;

    /// The XML text form: "i=85", "ns=2;s=Line1", "g=<guid>", "ns=0;b=<base64>". Results over
    /// 256 bytes are cut to 256 (at a character boundary); Opaque results are never cut.
    UaString toString() const;
    /// The display form "NS<ns>|<type>|<identifier>", for example "NS2|Numeric|1001", at most
    /// 256 bytes; Opaque values are written as "0x" and upper-case hexadecimal, cut to whole
    /// bytes within 255 characters.
    UaString toFullString() const;
    /// The identifier alone: the number in decimal, the string, the GUID with braces, or "0x"
    /// and upper-case hexadecimal (at most 126 bytes; empty for an empty Opaque value).
    UaString identifierString() const;
    /// Reads the XML text form. Never fails: any unusable text gives the null node identifier.
    static UaNodeId fromXmlString(const UaString& text);

    // Inline for the numeric case: lookups in a nodeset's tables compare and hash identifiers
    // tens of thousands of times.
    friend bool operator==(const UaNodeId& a, const UaNodeId& b)
    {
        if (a.m_type != b.m_type || a.m_namespaceIndex != b.m_namespaceIndex || a.m_numeric != b.m_numeric)
            return false;
        return a.m_rep == b.m_rep || equalIdentifiers(a, b);
    }
    friend std::strong_ordering operator<=>(const UaNodeId& a, const UaNodeId& b);

    std::size_t hash() const
    {
        if (m_type != UaIdentifierType::Numeric)
            return hashOfIdentifier();
        return mixHash(m_numeric, static_cast<std::size_t>(m_namespaceIndex));
    }

private:
    struct Rep;
    UaNodeId(UaIdentifierType type, std::uint16_t namespaceIndex, const Rep* rep) noexcept;
    void release() noexcept
    {
        if (m_rep != nullptr)
            releaseRep(m_rep);
        m_rep = nullptr;
    }
    static void addRef(const Rep* rep) noexcept;
    static void releaseRep(const Rep* rep) noexcept;
    static bool equalIdentifiers(const UaNodeId& a, const UaNodeId& b);
    std::size_t hashOfIdentifier() const;
    static std::size_t mixHash(std::size_t h, std::size_t kind)
    {
        return h ^ (kind + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2));
    }

    std::uint32_t m_numeric = 0;
    std::uint16_t m_namespaceIndex = 0;
    UaIdentifierType m_type = UaIdentifierType::Numeric;
    // The String, Guid or Opaque identifier, with one reference taken; null for Numeric.
    const Rep* m_rep = nullptr;
};

template <> struct std::hash<UaNodeId> {
    std::size_t operator()(const UaNodeId& id) const noexcept { return id.hash(); }
};
