#include "platform/ProfileText.h"

#include "support/Lines.h"
#include "support/TextCodec.h"

#include <cassert>
#include <vector>

namespace platform::profile_text {
namespace {

constexpr std::string_view kNewLine = "\r\n";

using support::Line;

enum class Kind { Header, Key, Close, Other };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name; // section of a header, key of a key line
    std::string_view value;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    support::LineSplitter splitter(content);
    for (Line line; splitter.next(line);)
        lines.push_back(line);
    return lines;
}

Parsed parse(std::string_view text)
{
    const std::string_view t = trim(text);
    if (!t.empty() && t.front() == '[') {
        const auto close = t.find(']');
        if (close != std::string_view::npos)
            return { Kind::Header, trim(t.substr(1, close - 1)), {} };
        return {};
    }
    if (t == "-->")
        return { Kind::Close, {}, {} };
    if (t.empty() || t.front() == ';')
        return {};
    const auto eq = t.find('=');
    if (eq == std::string_view::npos)
        return {};
    return { Kind::Key, trim(t.substr(0, eq)), trim(t.substr(eq + 1)) };
}

/// Where the writer acts: the line of the key, or where a new key line goes.
struct Target {
    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> insertAfter; // last key line, or the header, of the first section
};

Target locate(const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    Target target;
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Parsed p = parse(lines[i].text);
        switch (p.kind) {
        case Kind::Header:
            inSection = support::equalsNoCase(p.name, section);
            inFirstSection = inSection && !target.insertAfter;
            if (inFirstSection)
                target.insertAfter = i;
            break;
        case Kind::Close:
            inSection = inFirstSection = false;
            break;
        case Kind::Key:
            if (!inSection)
                break;
            if (support::equalsNoCase(p.name, key)) {
                target.keyLine = i;
                return target;
            }
            if (inFirstSection)
                target.insertAfter = i;
            break;
        case Kind::Other:
            break;
        }
    }
    return target;
}

std::string joined(const std::vector<Line>& lines, std::size_t from, std::size_t to)
{
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        out += lines[i].text;
        out += lines[i].ending;
    }
    return out;
}

// Appends a line whole, giving it a line end when it has none and more text follows.
void appendEnded(std::string& out, const Line& line)
{
    out += line.text;
    out += line.ending.empty() ? kNewLine : line.ending;
}

std::string keyLine(std::string_view key, std::string_view value)
{
    std::string line(key);
    line += '=';
    line += value;
    line += kNewLine;
    return line;
}

} // namespace

std::optional<std::string> findValue(std::string_view content, std::string_view section, std::string_view key)
{
    section = trim(section);
    key = trim(key);
    bool inSection = false;
    for (const Line& line : splitLines(content)) {
        const Parsed p = parse(line.text);
        if (p.kind == Kind::Header)
            inSection = support::equalsNoCase(p.name, section);
        else if (p.kind == Kind::Close)
            inSection = false;
        else if (p.kind == Kind::Key && inSection && support::equalsNoCase(p.name, key))
            return std::string(p.value);
    }
    return std::nullopt;
}

bool isWritable(std::string_view section, std::string_view key, std::string_view value)
{
    const auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (hasBreak(section) || hasBreak(key) || hasBreak(value))
        return false;
    if (trim(section).empty() || trim(key).empty())
        return false;
    // A line that starts so is a comment or no key line: the key could never be read back.
    if (trim(key).front() == ';' || trim(key).front() == '[')
        return false;
    return section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos;
}

std::string withValue(std::string_view content, std::string_view section, std::string_view key, std::string_view value)
{
    assert(isWritable(section, key, value) && "profile write with text that would break lines");
    section = trim(section);
    key = trim(key);
    // The value is stored as given; readers ignore the blanks around it.
    const std::vector<Line> lines = splitLines(content);
    const Target target = locate(lines, section, key);

    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 8);
    if (target.keyLine) {
        const std::size_t i = *target.keyLine;
        const Line& line = lines[i];
        out += joined(lines, 0, i);
        out += line.text.substr(0, line.text.find('=') + 1);
        out += value;
        out += line.ending;
        out += joined(lines, i + 1, lines.size());
        return out;
    }
    if (target.insertAfter) {
        const std::size_t i = *target.insertAfter;
        out += joined(lines, 0, i);
        appendEnded(out, lines[i]);
        out += keyLine(key, value);
        out += joined(lines, i + 1, lines.size());
        return out;
    }

    // Appended piece by piece: GCC 12 reports a false -Wrestrict for "[" + std::string(...).
    std::string sectionLines = "[";
    sectionLines.append(section).append("]").append(kNewLine).append(keyLine(key, value));
    // A block closed by a last "-->" line keeps the new section inside it.
    std::size_t last = lines.size();
    while (last > 0 && trim(lines[last - 1].text).empty())
        --last;
    if (last > 0 && parse(lines[last - 1].text).kind == Kind::Close) {
        out += joined(lines, 0, last - 1);
        out += sectionLines;
        out += joined(lines, last - 1, lines.size());
        return out;
    }
    out += joined(lines, 0, lines.size());
    if (!lines.empty() && lines.back().ending.empty())
        out += kNewLine;
    out += sectionLines;
    return out;
}

} // namespace platform::profile_text
