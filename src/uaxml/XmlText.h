#pragma once

#include <string_view>

namespace UaBase {

/// A text read from a loaded XML document: a view into the document where the text is stored in
/// one piece (almost always), otherwise a copy that this object frees. Distinguishes an absent
/// attribute or element from an empty one. Valid while the document is neither changed nor freed.
class XmlText {
public:
    XmlText() = default;
    explicit XmlText(std::string_view view)
        : m_view(view)
        , m_present(true)
    {
    }
    /// Takes over a libxml2 allocation (null gives an absent text).
    static XmlText adopt(unsigned char* owned);

    ~XmlText();
    XmlText(XmlText&& other) noexcept;
    XmlText& operator=(XmlText&& other) noexcept;
    XmlText(const XmlText&) = delete;
    XmlText& operator=(const XmlText&) = delete;

    bool isPresent() const { return m_present; }
    /// True when the text is read in place: the view lives as long as the document.
    bool isInPlace() const { return m_owned == nullptr; }
    std::string_view view() const { return m_view; }
    bool operator==(std::string_view text) const { return m_present && m_view == text; }

private:
    void release();

    std::string_view m_view;
    unsigned char* m_owned = nullptr;
    bool m_present = false;
};

} // namespace UaBase
