#pragma once

#include "uatypes/UaSharedRef.h"

#include <compare>
#include <cstdint>
#include <string_view>
#include <vector>

class UaString;
class UaStatus;

/// A byte string: length -1 is the null byte string, 0 the empty one. Held in a shared
/// immutable representation. Ordered by length (null first), then by bytes.
class UaByteString {
public:
    /// The null byte string.
    UaByteString() = default;
    /// `length` bytes at `data`; a negative length gives the null byte string.
    UaByteString(const void* data, std::int32_t length);
    /// The bytes of `bytes` (an empty view gives the empty, not the null, byte string).
    explicit UaByteString(std::string_view bytes);
    explicit UaByteString(const std::vector<std::uint8_t>& bytes);

    static UaByteString empty();

    /// -1 for the null byte string.
    std::int32_t length() const;
    bool isNull() const { return length() < 0; }
    /// True for the null and the empty byte string.
    bool isEmpty() const { return length() <= 0; }
    /// The bytes; never null (points at no bytes for a null or empty value).
    const std::uint8_t* data() const;
    std::string_view view() const;

    /// Base64 with "=" padding; empty for a null or empty value.
    UaString toBase64() const;
    /// Decodes base64 with "=" padding. The text must have a length that is a multiple of
    /// four, use only the base64 alphabet, and have nothing but "=" after its first "=";
    /// otherwise BadInvalidArgument, and this value is left unchanged. An empty text gives the
    /// empty byte string.
    UaStatus fromBase64(const UaString& text);
    /// The same over a view; with `skipXmlBlanks`, the blanks that XML allows between the
    /// characters of a base64 value (space, tab, line feed, carriage return) are skipped.
    UaStatus fromBase64(std::string_view text, bool skipXmlBlanks);
    /// Two upper-case hexadecimal digits per byte for the first `maxBytes` bytes.
    UaString toHex(std::size_t maxBytes) const;

    friend bool operator==(const UaByteString& a, const UaByteString& b);
    friend std::strong_ordering operator<=>(const UaByteString& a, const UaByteString& b);

private:
    struct Rep;
    static const Rep* sharedEmpty();
    explicit UaByteString(const Rep* rep);
    // So that initial(), declared after the class, may name Rep.
    friend class UaSharedRef<Rep>;
    UaSharedRef<Rep> m_rep;
};

template <> const UaSharedData* UaSharedRef<UaByteString::Rep>::initial() noexcept;
