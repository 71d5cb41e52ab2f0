#pragma once

#include <string>

namespace admin {

/// Keeps the XML library's complaints off standard error while it lives, since a command's
/// error output is one line, and remembers the first of them for that line.
class XmlErrors {
public:
    XmlErrors();
    ~XmlErrors();
    XmlErrors(const XmlErrors&) = delete;
    XmlErrors& operator=(const XmlErrors&) = delete;

    /// "line N: message" of the first complaint, or "".
    const std::string& first() const { return m_first; }

    /// Keeps a complaint when none is kept yet.
    void keep(std::string complaint);

private:
    std::string m_first;
    // The handler in place before, put back at the end (as a generic function pointer).
    void* m_previousContext = nullptr;
    void (*m_previousHandler)() = nullptr;
};

/// `message` with the first complaint in brackets before its full stop, when there was one.
std::string withXmlError(std::string message, const XmlErrors& xml);

} // namespace admin
