#include "RegValueText.h"

#include "platform/Registry.h"
#include "support/TextCodec.h"

#include <charconv>
#include <cstdio>
#include <utility>

namespace admin {
namespace {

constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegQword = 11;

std::string upperHex(const Bytes& data)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : data) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0xF]);
    }
    return text;
}

support::Result<Bytes> parseDword(std::string_view data)
{
    const auto bad = support::Error::invalidInput("invalid REG_DWORD data \"" + std::string(data)
        + "\": give a number from 0 to 4294967295, decimal or 0x-hexadecimal");
    int base = 10;
    std::string_view digits = data;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
        return bad;
    const auto bytes = platform::regDwordBytes(value);
    return Bytes(bytes.begin(), bytes.end());
}

support::Result<Bytes> parseBinary(std::string_view data)
{
    if (data.size() % 2 != 0)
        return support::Error::invalidInput("invalid REG_BINARY data: give an even number of hexadecimal digits");
    Bytes bytes;
    for (std::size_t i = 0; i < data.size(); i += 2) {
        const int hi = support::hexDigitValue(data[i]);
        const int lo = support::hexDigitValue(data[i + 1]);
        if (hi < 0 || lo < 0)
            return support::Error::invalidInput(
                "invalid REG_BINARY data: \"" + std::string(data.substr(i, 2)) + "\" is not a hexadecimal byte");
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

} // namespace

std::string regTypeName(std::uint32_t type)
{
    static constexpr std::pair<std::uint32_t, std::string_view> kNames[] = {
        { kRegNone, "REG_NONE" },
        { platform::kRegSz, "REG_SZ" },
        { platform::kRegExpandSz, "REG_EXPAND_SZ" },
        { platform::kRegBinary, "REG_BINARY" },
        { platform::kRegDword, "REG_DWORD" },
        { kRegMultiSz, "REG_MULTI_SZ" },
        { kRegQword, "REG_QWORD" },
    };
    for (const auto& [value, name] : kNames) {
        if (value == type)
            return std::string(name);
    }
    return "REG_TYPE_" + std::to_string(type);
}

support::Result<std::uint32_t> parseAddType(std::string_view name)
{
    for (std::uint32_t type : { platform::kRegSz, platform::kRegDword, platform::kRegBinary }) {
        if (support::equalsNoCase(name, regTypeName(type)))
            return type;
    }
    return support::Error::invalidInput(
        "invalid type \"" + std::string(name) + "\": use REG_SZ, REG_DWORD or REG_BINARY");
}

support::Result<Bytes> parseAddData(std::uint32_t type, std::string_view data)
{
    if (type == platform::kRegDword)
        return parseDword(data);
    if (type == platform::kRegBinary)
        return parseBinary(data);
    if (!isUtf8(data))
        return support::Error::invalidInput("invalid REG_SZ data: the text is not UTF-8");
    return platform::regSzBytesFromUtf8(data);
}

std::string formatQueryData(std::uint32_t type, const Bytes& data)
{
    char buffer[24];
    if (platform::isRegString(type))
        return support::utf16ToUtf8(platform::regSzText(data.data(), data.size()));
    if (type == platform::kRegDword && data.size() == 4) {
        std::snprintf(buffer, sizeof buffer, "0x%x", platform::regDwordValue(data.data()));
        return buffer;
    }
    if (type == kRegQword && data.size() == 8) {
        const std::uint64_t value = platform::regDwordValue(data.data())
            | (static_cast<std::uint64_t>(platform::regDwordValue(data.data() + 4)) << 32);
        std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
        return buffer;
    }
    if (type == kRegMultiSz) {
        // The strings one after another, each shown with the separator the reg program uses.
        std::string text;
        std::size_t start = 0;
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
            if (data[i] == 0 && data[i + 1] == 0) {
                if (i == start)
                    break;
                if (!text.empty())
                    text += "\\0";
                text += support::utf16ToUtf8(platform::regSzText(data.data() + start, i - start));
                start = i + 2;
            }
        }
        return text;
    }
    return upperHex(data);
}

std::string formatQueryLine(std::string_view name, std::uint32_t type, const Bytes& data)
{
    const std::string shownName = name.empty() ? std::string("(Default)") : std::string(name);
    return "    " + shownName + "    " + regTypeName(type) + "    " + formatQueryData(type, data);
}

bool isUtf8(std::string_view text)
{
    // Malformed bytes become U+FFFD on the way in and do not come back as themselves.
    return support::utf16ToUtf8(support::utf8ToUtf16(text)) == text;
}

} // namespace admin
