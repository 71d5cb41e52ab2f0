#include "uatypes/UaNumberText.h"

#include "support/TextCodec.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr std::size_t kMaxTextLength = 100;
constexpr std::size_t kMaxTextLength64 = 30;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// Digits only, at least one, at most `max`.
bool readDigits(std::string_view digits, std::uint64_t max, std::uint64_t& value)
{
    if (digits.empty())
        return false;
    std::uint64_t v = 0;
    for (char c : digits) {
        if (!isDigit(c))
            return false;
        const auto d = static_cast<std::uint64_t>(c - '0');
        if (v > (max - d) / 10)
            return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

/// "0x"/"0X" and 1 to `maxDigits` hexadecimal digits.
bool readHex(std::string_view text, std::size_t maxDigits, std::uint64_t& value)
{
    const std::string_view digits = text.substr(2);
    if (digits.empty() || digits.size() > maxDigits)
        return false;
    std::uint64_t v = 0;
    for (char c : digits) {
        const int h = support::hexDigitValue(c);
        if (h < 0)
            return false;
        v = (v << 4) | static_cast<std::uint64_t>(h);
    }
    value = v;
    return true;
}

bool hasHexPrefix(std::string_view text)
{
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

/// An unsigned decimal number up to `max`, or, when `hexDigits` is not 0, a hexadecimal one.
bool readUnsigned(std::string_view text, std::uint64_t max, std::size_t hexDigits, std::uint64_t& value)
{
    if (hexDigits > 0 && hasHexPrefix(text))
        return readHex(text, hexDigits, value);
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    return readDigits(text, max, value);
}

/// A signed decimal number from `min` to `max`.
bool readSigned(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t& value)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // Magnitude of the most negative value, computed without overflow.
    const std::uint64_t limit = negative ? static_cast<std::uint64_t>(-(min + 1)) + 1 : static_cast<std::uint64_t>(max);
    std::uint64_t magnitude = 0;
    if (!readDigits(text, limit, magnitude))
        return false;
    if (!negative)
        value = static_cast<std::int64_t>(magnitude);
    else if (magnitude == 0)
        value = 0;
    else
        value = -static_cast<std::int64_t>(magnitude - 1) - 1;
    return true;
}

bool tooLong(std::string_view text, std::size_t limit) { return text.size() >= limit; }

template <class T>
UaStatus convertUnsigned(std::string_view text, std::size_t hexDigits, std::size_t lengthLimit, T& value)
{
    std::uint64_t v = 0;
    if (tooLong(text, lengthLimit) || !readUnsigned(text, std::numeric_limits<T>::max(), hexDigits, v))
        return UaStatus::BadOutOfRange;
    value = static_cast<T>(v);
    return UaStatus::Good;
}

template <class T> UaStatus convertSigned(std::string_view text, std::size_t lengthLimit, T& value)
{
    std::int64_t v = 0;
    if (tooLong(text, lengthLimit)
        || !readSigned(text, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), v))
        return UaStatus::BadOutOfRange;
    value = static_cast<T>(v);
    return UaStatus::Good;
}

/// The parts of a decimal floating-point text, checked for its grammar:
/// [sign] (digits [. [digits]] | . digits) [(e|E) [sign] digits].
struct DecimalText {
    std::string_view integerDigits;
    std::string_view fractionDigits;
    long exponent = 0;
};

bool splitDecimal(std::string_view text, DecimalText& parts)
{
    std::size_t i = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    parts.integerDigits = text.substr(0, i);
    if (i < text.size() && text[i] == '.') {
        const std::size_t start = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        parts.fractionDigits = text.substr(start, i - start);
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty())
        return false;
    if (i == text.size())
        return true;
    if (text[i] != 'e' && text[i] != 'E')
        return false;
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    long exponent = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return false;
        // Far beyond any double; only the sign of the decimal magnitude matters from here.
        if (exponent < 100000)
            exponent = exponent * 10 + (text[i] - '0');
    }
    parts.exponent = negative ? -exponent : exponent;
    return true;
}

/// Whether an out-of-range decimal text is too large (rather than too small) for a double.
bool isOverflow(const DecimalText& parts)
{
    const std::size_t firstNonZero = parts.integerDigits.find_first_not_of('0');
    long magnitude = 0;
    if (firstNonZero != std::string_view::npos) {
        magnitude = static_cast<long>(parts.integerDigits.size() - firstNonZero);
    } else {
        const std::size_t k = parts.fractionDigits.find_first_not_of('0');
        magnitude = -static_cast<long>(k == std::string_view::npos ? 100000 : k);
    }
    return magnitude + parts.exponent > 0;
}

/// Reads a floating-point text; `underflow` tells that a non-zero value came out as zero.
bool readFloating(std::string_view text, double& value, bool& underflow)
{
    underflow = false;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const double sign = negative ? -1.0 : 1.0;
    if (support::equalsNoCase(text, "inf") || support::equalsNoCase(text, "infinity")) {
        value = sign * std::numeric_limits<double>::infinity();
        return true;
    }
    if (support::equalsNoCase(text, "nan")) {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    DecimalText parts;
    if (!splitDecimal(text, parts))
        return false;
    double magnitude = 0;
    // from_chars never looks at the locale, unlike strtod.
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (ec == std::errc::result_out_of_range) {
        if (isOverflow(parts))
            return false;
        underflow = true;
        magnitude = 0;
    } else if (ec != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = sign * magnitude;
    return true;
}

} // namespace

UaStatus UaNumberText::toSByte(std::string_view text, std::int8_t& value)
{
    return convertSigned(text, kMaxTextLength, value);
}

UaStatus UaNumberText::toByte(std::string_view text, std::uint8_t& value)
{
    return convertUnsigned(text, 0, kMaxTextLength, value);
}

UaStatus UaNumberText::toInt16(std::string_view text, std::int16_t& value)
{
    return convertSigned(text, kMaxTextLength, value);
}

UaStatus UaNumberText::toUInt16(std::string_view text, std::uint16_t& value)
{
    return convertUnsigned(text, 4, kMaxTextLength, value);
}

UaStatus UaNumberText::toInt32(std::string_view text, std::int32_t& value)
{
    return convertSigned(text, kMaxTextLength, value);
}

UaStatus UaNumberText::toUInt32(std::string_view text, std::uint32_t& value)
{
    return convertUnsigned(text, 8, kMaxTextLength, value);
}

UaStatus UaNumberText::toInt64(std::string_view text, std::int64_t& value)
{
    return convertSigned(text, kMaxTextLength64, value);
}

UaStatus UaNumberText::toUInt64(std::string_view text, std::uint64_t& value)
{
    return convertUnsigned(text, 16, kMaxTextLength64, value);
}

UaStatus UaNumberText::toDouble(std::string_view text, double& value)
{
    bool underflow = false;
    double v = 0;
    if (tooLong(text, kMaxTextLength) || !readFloating(text, v, underflow))
        return UaStatus::BadOutOfRange;
    value = v;
    return UaStatus::Good;
}

UaStatus UaNumberText::toFloat(std::string_view text, float& value)
{
    // Magnitudes that round to the largest finite and to the smallest normal single-precision
    // value (halfway points included, as rounding to even goes their way).
    constexpr double kOverflow = 0x1.ffffffp+127;
    constexpr double kSmallest = 0x1.fffffep-127;
    bool underflow = false;
    double v = 0;
    if (tooLong(text, kMaxTextLength) || !readFloating(text, v, underflow) || underflow)
        return UaStatus::BadOutOfRange;
    if (std::isnan(v)) {
        value = std::numeric_limits<float>::quiet_NaN();
        return UaStatus::Good;
    }
    const double magnitude = std::fabs(v);
    if (magnitude >= kOverflow || (magnitude != 0 && magnitude < kSmallest))
        return UaStatus::BadOutOfRange;
    if (magnitude > std::numeric_limits<float>::max())
        value = std::copysign(std::numeric_limits<float>::max(), static_cast<float>(v > 0 ? 1 : -1));
    else
        value = static_cast<float>(v);
    return UaStatus::Good;
}
