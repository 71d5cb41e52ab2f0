#pragma once

#include "uatypes/UaSharedRef.h"

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

class UaString;

/// UTF-16 text (16-bit code units) with a length in code units, in a shared immutable
/// representation. Ordered by length first, then by the raw bytes of the code units.
class UaWideString {
public:
    /// The empty string (the shared empty representation).
    UaWideString() = default;
    /// From NUL-terminated UTF-8 (see decodeUtf8); a null pointer gives the empty string.
    explicit UaWideString(const char* utf8);
    /// From UTF-8 (see decodeUtf8).
    explicit UaWideString(const UaString& utf8);
    explicit UaWideString(std::u16string_view utf16);

    /// UTF-8 to UTF-16 code units: a 1-, 2- or 3-byte sequence gives one code unit (its
    /// continuation bytes are taken as they come); a 4-, 5- or 6-byte sequence gives one "?"; a
    /// byte that cannot start a sequence (10xxxxxx, 0xFE, 0xFF) is dropped, and so is a
    /// sequence cut short by the end of the text.
    static std::u16string decodeUtf8(std::string_view utf8);

    /// The code units, NUL-terminated; never null.
    const char16_t* data() const;
    std::u16string_view view() const;
    std::size_t length() const;
    bool isEmpty() const { return length() == 0; }

    friend bool operator==(const UaWideString& a, const UaWideString& b);
    friend std::strong_ordering operator<=>(const UaWideString& a, const UaWideString& b);

private:
    struct Rep;
    // So that initial(), declared after the class, may name Rep.
    friend class UaSharedRef<Rep>;
    UaSharedRef<Rep> m_rep;
};

template <> const UaSharedData* UaSharedRef<UaWideString::Rep>::initial() noexcept;
