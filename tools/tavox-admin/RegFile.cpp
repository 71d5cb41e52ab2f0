#include "RegFile.h"

#include "support/Lines.h"
#include "support/TextCodec.h"

#include <cstdio>

namespace admin {
namespace {

constexpr std::size_t kLineWidth = 80;

std::string quoteForFile(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A string is written as text only when reading the text back gives the same bytes: one
// terminating NUL at the end, no other NUL, no line break, no unpaired surrogate.
bool isPlainString(const Bytes& data, std::string& text)
{
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 1] != 0 || data[data.size() - 2] != 0)
        return false;
    const std::u16string units = platform::regSzText(data.data(), data.size());
    if ((units.size() + 1) * 2 != data.size())
        return false;
    text = support::utf16ToUtf8(units);
    if (text.find_first_of("\r\n") != std::string::npos)
        return false;
    return support::utf8ToUtf16(text) == units;
}

std::string hexLines(std::string line, const Bytes& data)
{
    std::string out;
    char piece[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        const bool last = i + 1 == data.size();
        std::snprintf(piece, sizeof piece, last ? "%02x" : "%02x,", data[i]);
        if (line.size() + 3 > kLineWidth - 2) {
            out += line + "\\\r\n";
            line = "  ";
        }
        line += piece;
    }
    return out + line + "\r\n";
}

std::string valueLines(const RegFileValue& value)
{
    std::string line = (value.name.empty() ? std::string("@") : quoteForFile(value.name)) + "=";
    if (value.remove)
        return line + "-\r\n";
    std::string text;
    if (value.type == platform::kRegSz && isPlainString(value.data, text))
        return line + quoteForFile(text) + "\r\n";
    if (value.type == platform::kRegDword && value.data.size() == 4) {
        char word[16];
        std::snprintf(word, sizeof word, "dword:%08x", platform::regDwordValue(value.data.data()));
        return line + word + "\r\n";
    }
    if (value.type == platform::kRegBinary)
        return hexLines(line + "hex:", value.data);
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    return hexLines(line + prefix, value.data);
}

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

std::string_view trim(std::string_view s)
{
    s = trimLeft(s);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && support::equalsNoCase(s.substr(0, prefix.size()), prefix);
}

bool parseHexNumber(std::string_view digits, std::size_t maxDigits, std::uint32_t& value)
{
    if (digits.empty() || digits.size() > maxDigits)
        return false;
    value = 0;
    for (char c : digits) {
        const int d = support::hexDigitValue(c);
        if (d < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

/// The lines of one file, one at a time and numbered, for the parser.
class LineReader {
public:
    explicit LineReader(std::string_view text)
        : m_lines(text)
    {
    }
    bool next(std::string_view& line)
    {
        support::Line found;
        if (!m_lines.next(found))
            return false;
        line = found.text;
        ++m_number;
        return true;
    }
    std::size_t number() const { return m_number; }

private:
    support::LineSplitter m_lines;
    std::size_t m_number = 0;
};

/// Parses the value lines of a registry file; failures carry their message without the line.
class ValueParser {
public:
    ValueParser(std::string_view line, LineReader& reader)
        : m_rest(line)
        , m_reader(reader)
    {
    }

    support::Result<RegFileValue> parse()
    {
        RegFileValue value;
        if (!m_rest.empty() && m_rest.front() == '@') {
            m_rest.remove_prefix(1);
        } else {
            auto name = quotedText();
            if (!name)
                return name.error();
            value.name = *name;
            if (value.name.find('\0') != std::string::npos)
                return support::Error::invalidInput("a value name must not hold a NUL character");
            if (support::utf8ToUtf16(value.name).size() > platform::kMaxValueNameLength)
                return support::Error::invalidInput(
                    "a value name has at most " + std::to_string(platform::kMaxValueNameLength) + " characters");
        }
        m_rest = trimLeft(m_rest);
        if (m_rest.empty() || m_rest.front() != '=')
            return support::Error::invalidInput("\"=\" expected after the value name");
        m_rest = trim(m_rest.substr(1));
        if (m_rest == "-") {
            value.remove = true;
            return value;
        }
        if (!m_rest.empty() && m_rest.front() == '"')
            return stringValue(std::move(value));
        if (startsWithNoCase(m_rest, "dword:"))
            return dwordValue(std::move(value));
        if (startsWithNoCase(m_rest, "hex"))
            return hexValue(std::move(value));
        return support::Error::invalidInput("unknown value data \"" + std::string(m_rest) + "\"");
    }

private:
    support::Result<std::string> quotedText()
    {
        if (m_rest.empty() || m_rest.front() != '"')
            return support::Error::invalidInput("a value name in double quotes or @ expected");
        std::string text;
        for (std::size_t i = 1; i < m_rest.size(); ++i) {
            const char c = m_rest[i];
            if (c == '"') {
                m_rest.remove_prefix(i + 1);
                return text;
            }
            if (c == '\\') {
                if (i + 1 == m_rest.size() || (m_rest[i + 1] != '\\' && m_rest[i + 1] != '"'))
                    return support::Error::invalidInput("only \\\\ and \\\" may follow a backslash in quotes");
                ++i;
            }
            text.push_back(m_rest[i]);
        }
        return support::Error::invalidInput("the closing double quote is missing");
    }

    support::Result<RegFileValue> stringValue(RegFileValue value)
    {
        auto text = quotedText();
        if (!text)
            return text.error();
        if (!trim(m_rest).empty())
            return support::Error::invalidInput("unexpected text after the closing double quote");
        value.type = platform::kRegSz;
        value.data = platform::regSzBytesFromUtf8(*text);
        return value;
    }

    support::Result<RegFileValue> dwordValue(RegFileValue value)
    {
        std::uint32_t word = 0;
        if (!parseHexNumber(trim(m_rest.substr(6)), 8, word))
            return support::Error::invalidInput("dword: needs one to eight hexadecimal digits");
        value.type = platform::kRegDword;
        const auto bytes = platform::regDwordBytes(word);
        value.data.assign(bytes.begin(), bytes.end());
        return value;
    }

    support::Result<RegFileValue> hexValue(RegFileValue value)
    {
        std::string_view rest = m_rest.substr(3);
        value.type = platform::kRegBinary;
        if (!rest.empty() && rest.front() == '(') {
            const std::size_t close = rest.find(')');
            if (close == std::string_view::npos || !parseHexNumber(rest.substr(1, close - 1), 8, value.type))
                return support::Error::invalidInput("hex( needs a hexadecimal type number and \")\"");
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':')
            return support::Error::invalidInput("\":\" expected after hex");
        std::string list(trim(rest.substr(1)));
        // A trailing backslash continues the byte list on the next line.
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            std::string_view next;
            if (!m_reader.next(next))
                return support::Error::invalidInput("the file ends inside a continued hex value");
            list += trim(next);
        }
        std::string_view items = list;
        while (!items.empty()) {
            const std::size_t comma = items.find(',');
            const std::string_view item = trim(items.substr(0, comma));
            std::uint32_t byte = 0;
            const bool lastEmpty = item.empty() && comma == std::string_view::npos;
            if (!lastEmpty && !parseHexNumber(item, 2, byte)) {
                // Appended: GCC 12 misreads "\"" + string as overlapping copies (-Wrestrict).
                std::string message = "\"";
                message += item;
                message += "\" is not a hexadecimal byte";
                return support::Error::invalidInput(message);
            }
            if (!lastEmpty)
                value.data.push_back(static_cast<std::uint8_t>(byte));
            items = comma == std::string_view::npos ? std::string_view() : items.substr(comma + 1);
        }
        return value;
    }

    std::string_view m_rest;
    LineReader& m_reader;
};

support::Result<std::string> decodeText(const Bytes& content)
{
    if (content.size() >= 2 && content[0] == 0xFF && content[1] == 0xFE) {
        if (content.size() % 2 != 0)
            return support::Error::invalidInput("the UTF-16 text ends in the middle of a character");
        std::u16string units;
        for (std::size_t i = 2; i + 1 < content.size(); i += 2)
            units.push_back(static_cast<char16_t>(content[i] | (content[i + 1] << 8)));
        return support::utf16ToUtf8(units);
    }
    std::string_view text(reinterpret_cast<const char*>(content.data()), content.size());
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    if (!isUtf8(text))
        return support::Error::invalidInput("the file is neither UTF-16 nor UTF-8 text");
    return std::string(text);
}

} // namespace

support::Result<Bytes> formatRegFile(const std::vector<RegFileKey>& keys)
{
    std::string text = std::string(kRegFileHeader) + "\r\n\r\n";
    for (const RegFileKey& key : keys) {
        // Appended piece by piece: GCC 12 reports a false -Wrestrict for "[" + std::string(...).
        text.append("[").append(key.key.fullName()).append("]\r\n");
        for (const RegFileValue& value : key.values) {
            if (value.name.find_first_of("\r\n") != std::string::npos)
                return support::Error::invalidInput(
                    "the value name \"" + value.name + "\" holds a line break and cannot be exported");
            text += valueLines(value);
        }
        text += "\r\n";
    }
    const std::u16string units = support::utf8ToUtf16(text);
    Bytes bytes = { 0xFF, 0xFE };
    bytes.reserve(2 + units.size() * 2);
    for (char16_t c : units) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

support::Result<std::vector<RegFileKey>> parseRegFile(const Bytes& content)
{
    const auto text = decodeText(content);
    if (!text)
        return text.error();
    LineReader reader(*text);
    std::string_view line;
    while (reader.next(line) && trim(line).empty()) {}
    if (trim(line) != kRegFileHeader && trim(line) != "REGEDIT4")
        return support::Error::invalidInput(
            "not a registry file: the first line must be \"" + std::string(kRegFileHeader) + "\"");

    std::vector<RegFileKey> keys;
    while (reader.next(line)) {
        const std::size_t number = reader.number();
        const auto failAt = [number](const std::string& why) {
            return support::Error::invalidInput("line " + std::to_string(number) + ": " + why);
        };
        const std::string_view body = trim(line);
        if (body.empty() || body.front() == ';')
            continue;
        if (body.front() == '[') {
            if (body.back() != ']')
                return failAt("\"]\" expected at the end of the key line");
            const std::string_view name = body.substr(1, body.size() - 2);
            if (!name.empty() && name.front() == '-')
                return failAt("removing a whole key is not supported");
            auto key = parseRegKeyName(name);
            if (!key)
                return failAt(key.error().message);
            keys.push_back({ *key, {} });
            continue;
        }
        if (keys.empty())
            return failAt("a value comes before the first [key] line");
        ValueParser parser(body, reader);
        auto value = parser.parse();
        if (!value)
            return failAt(value.error().message);
        keys.back().values.push_back(std::move(*value));
    }
    return keys;
}

} // namespace admin
