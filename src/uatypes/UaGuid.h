#pragma once

#include <array>
#include <compare>
#include <cstdint>

class UaString;
class UaStatus;

/// A GUID: Data1 (32-bit), Data2 and Data3 (16-bit) and the eight bytes of Data4. The null
/// GUID has all bytes zero.
class UaGuid {
public:
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4 {};

    bool isNull() const;

    /// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}": lower-case hexadecimal, 38 characters.
    UaString toString() const;
    /// Reads the form of toString, either case, with or without the opening brace; anything
    /// after the last field (such as the closing brace) is ignored. An empty or malformed text
    /// gives BadInvalidArgument and leaves this GUID unchanged.
    UaStatus fromString(const UaString& text);

    /// The 16 bytes as stored: Data1, Data2 and Data3 little-endian, then Data4.
    std::array<std::uint8_t, 16> toBytes() const;
    static UaGuid fromBytes(const std::array<std::uint8_t, 16>& bytes);

    friend bool operator==(const UaGuid& a, const UaGuid& b) = default;
    /// By the 16 stored bytes (see toBytes), compared as unsigned bytes.
    friend std::strong_ordering operator<=>(const UaGuid& a, const UaGuid& b);
};
