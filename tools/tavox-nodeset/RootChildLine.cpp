#include "tavox-nodeset/RootChildLine.h"

#include <algorithm>

namespace {

class Scanner {
public:
    explicit Scanner(std::string_view text)
        : m_text(text)
    {
    }

    bool atEnd() const { return m_at >= m_text.size(); }
    long line() const { return m_line; }
    bool startsWith(std::string_view prefix) const { return m_text.substr(m_at).starts_with(prefix); }

    void advance(std::size_t count)
    {
        const std::size_t end = std::min(m_text.size(), m_at + count);
        m_line += std::count(m_text.begin() + static_cast<std::ptrdiff_t>(m_at),
            m_text.begin() + static_cast<std::ptrdiff_t>(end), '\n');
        m_at = end;
    }

    /// Moves past the next `terminator` (or to the end).
    void skipPast(std::string_view terminator)
    {
        const std::size_t found = m_text.find(terminator, m_at);
        advance(found == std::string_view::npos ? m_text.size() : found - m_at + terminator.size());
    }

    /// Moves past the '>' that closes a tag, stepping over quoted values (and, for a document
    /// type declaration, over its bracketed internal subset). Returns the character before it.
    char skipTag()
    {
        char quote = 0;
        int brackets = 0;
        char previous = 0;
        while (!atEnd()) {
            const char c = m_text[m_at];
            advance(1);
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets <= 0) {
                return previous;
            }
            previous = c;
        }
        return previous;
    }

    void skipText()
    {
        const std::size_t found = m_text.find('<', m_at);
        advance(found == std::string_view::npos ? m_text.size() - m_at : found - m_at);
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
    long m_line = 1;
};

} // namespace

long lineOfRootChild(std::string_view xml, std::size_t position)
{
    Scanner scanner(xml);
    int depth = 0;
    std::size_t seen = 0;
    while (!scanner.atEnd()) {
        scanner.skipText();
        if (scanner.atEnd()) {
            break;
        }
        if (scanner.startsWith("<!--")) {
            scanner.skipPast("-->");
        } else if (scanner.startsWith("<![CDATA[")) {
            scanner.skipPast("]]>");
        } else if (scanner.startsWith("<?")) {
            scanner.skipPast("?>");
        } else if (scanner.startsWith("<!")) {
            scanner.skipTag();
        } else if (scanner.startsWith("</")) {
            scanner.skipTag();
            --depth;
        } else {
            const long line = scanner.line();
            const bool empty = scanner.skipTag() == '/';
            if (depth == 1 && ++seen == position) {
                return line;
            }
            if (!empty) {
                ++depth;
            }
        }
    }
    return 0;
}
