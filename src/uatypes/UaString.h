#pragma once

#include "uatypes/UaSharedRef.h"

#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class UaWideString;

/// UTF-8 text with a length in bytes, held in a shared immutable representation: copies are
/// cheap and may be used from several threads at once. A null and an empty string are the
/// same value (length 0, reads as ""). Ordered by length first, then by bytes.
class UaString {
public:
    /// The empty string (the shared empty representation).
    UaString() = default;
    /// From NUL-terminated UTF-8; a null pointer gives the empty string.
    UaString(const char* utf8); // NOLINT: text literals are strings
    /// From `length` bytes at `data` (which may hold NUL bytes).
    UaString(const char* data, std::size_t length);
    explicit UaString(std::string_view utf8);
    /// From UTF-16: every code unit is encoded on its own (one, two or three bytes), so each
    /// half of a surrogate pair becomes its own three-byte sequence.
    explicit UaString(const UaWideString& utf16);

    /// The text, NUL-terminated; never null.
    const char* toUtf8() const;
    std::string_view view() const;
    std::string toStdString() const { return std::string(view()); }
    std::size_t length() const;
    std::size_t size() const { return length(); }
    bool isEmpty() const { return length() == 0; }

    /// Replaces every occurrence of the lowest placeholder ("%1" to "%99") in the text with
    /// `value`; without a placeholder the text is returned unchanged. The inserted text is not
    /// searched again by this call (a later call does see it).
    UaString arg(const UaString& value) const;
    /// As above with the number written in decimal.
    template <std::integral T>
    requires(!std::same_as<T, bool>) UaString arg(T value)
    const { return arg(UaString(std::to_string(value))); }

    friend UaString operator+(const UaString& a, const UaString& b);

    friend bool operator==(const UaString& a, const UaString& b);
    /// Shorter strings first; strings of equal length by their bytes (unsigned).
    friend std::strong_ordering operator<=>(const UaString& a, const UaString& b);

private:
    struct Rep;
    // So that initial(), declared after the class, may name Rep.
    friend class UaSharedRef<Rep>;
    UaSharedRef<Rep> m_rep;
};

template <> const UaSharedData* UaSharedRef<UaString::Rep>::initial() noexcept;

template <> struct std::hash<UaString> {
    std::size_t operator()(const UaString& s) const noexcept { return std::hash<std::string_view> {}(s.view()); }
};
