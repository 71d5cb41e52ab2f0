#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace support {

/// One line of a text: its text and its line end ("\r\n", "\n", or "" for a last line
/// without one). Both are views into the text that was split.
struct Line {
    std::string_view text;
    std::string_view ending;
};

/// The lines of a text, one at a time. Lines end at LF; a CR in front of the LF belongs to the
/// line end. A text that ends with a line end has no empty line after it, and the empty text
/// has no line.
class LineSplitter {
public:
    explicit LineSplitter(std::string_view text)
        : m_rest(text)
    {
    }

    /// The next line in `line`; false after the last.
    bool next(Line& line)
    {
        if (m_rest.empty())
            return false;
        const std::size_t lf = m_rest.find('\n');
        if (lf == std::string_view::npos) {
            line = { m_rest, {} };
            m_rest = {};
            return true;
        }
        const std::size_t textEnd = lf > 0 && m_rest[lf - 1] == '\r' ? lf - 1 : lf;
        line = { m_rest.substr(0, textEnd), m_rest.substr(textEnd, lf + 1 - textEnd) };
        m_rest.remove_prefix(lf + 1);
        return true;
    }

private:
    std::string_view m_rest;
};

/// Calls `visit` with the text of every line of `text` (see LineSplitter).
template <typename Visit> void forEachLine(std::string_view text, Visit&& visit)
{
    LineSplitter lines(text);
    for (Line line; lines.next(line);)
        visit(line.text);
}

/// Hands out the lines of a text that arrives in pieces, as forEachLine would of the whole.
class LineAssembler {
public:
    template <typename Visit> void feed(std::string_view piece, Visit&& visit)
    {
        LineSplitter lines(piece);
        for (Line line; lines.next(line);) {
            if (line.ending.empty()) {
                m_partial.append(line.text);
                break;
            }
            std::string_view text = line.text;
            if (!m_partial.empty()) {
                // The CR of a CR LF may have come at the end of the piece before.
                m_partial.append(text);
                text = m_partial;
                if (line.ending == "\n" && text.back() == '\r')
                    text.remove_suffix(1);
            }
            visit(text);
            m_partial.clear();
        }
    }
    /// The last line, when the text does not end with a line end.
    template <typename Visit> void finish(Visit&& visit)
    {
        if (!m_partial.empty())
            visit(std::string_view(m_partial));
        m_partial.clear();
    }

private:
    std::string m_partial;
};

} // namespace support
