#pragma once

#include "uatypes/UaStatus.h"

#include <cstdint>
#include <string_view>

/// The conversions of attribute and value texts to numbers. Each gives Good and sets `value`
/// when the whole text is a number of the target type, else BadOutOfRange and leaves `value`
/// alone. Texts of 100 bytes or more (30 or more for the 64-bit types) are refused.
///
/// Decimal texts may carry one leading sign ("-" only for signed types); no blanks.
/// Hexadecimal "0x"/"0X" forms are read for UInt16 (1 to 4 digits), UInt32 (1 to 8) and
/// UInt64 (1 to 16) only. Floating-point texts are decimal (with optional fraction and
/// exponent) or "inf", "infinity", "nan" in any case; they never depend on the locale.
class UaNumberText {
public:
    static UaStatus toSByte(std::string_view text, std::int8_t& value);
    static UaStatus toByte(std::string_view text, std::uint8_t& value);
    static UaStatus toInt16(std::string_view text, std::int16_t& value);
    static UaStatus toUInt16(std::string_view text, std::uint16_t& value);
    static UaStatus toInt32(std::string_view text, std::int32_t& value);
    static UaStatus toUInt32(std::string_view text, std::uint32_t& value);
    static UaStatus toInt64(std::string_view text, std::int64_t& value);
    static UaStatus toUInt64(std::string_view text, std::uint64_t& value);
    /// A value that overflows a double is refused; one too small for it reads as zero.
    static UaStatus toDouble(std::string_view text, double& value);
    /// As toDouble, and the value must round to a finite single-precision number that is zero
    /// or at least the smallest normal one (2 to the power -126) in magnitude.
    static UaStatus toFloat(std::string_view text, float& value);
    /// True exactly for "true"; always Good.
    static bool toBoolean(std::string_view text) { return text == "true"; }
};
