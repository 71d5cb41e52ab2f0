#include "uaxml/XmlText.h"

#include <libxml/xmlmemory.h>

#include <utility>

namespace UaBase {

XmlText XmlText::adopt(unsigned char* owned)
{
    XmlText text;
    if (owned != nullptr) {
        text.m_owned = owned;
        text.m_view = reinterpret_cast<const char*>(owned);
        text.m_present = true;
    }
    return text;
}

XmlText::~XmlText() { release(); }

XmlText::XmlText(XmlText&& other) noexcept
    : m_view(other.m_view)
    , m_owned(std::exchange(other.m_owned, nullptr))
    , m_present(other.m_present)
{
}

XmlText& XmlText::operator=(XmlText&& other) noexcept
{
    if (this != &other) {
        release();
        m_view = other.m_view;
        m_owned = std::exchange(other.m_owned, nullptr);
        m_present = other.m_present;
    }
    return *this;
}

void XmlText::release()
{
    if (m_owned != nullptr) {
        xmlFree(m_owned);
        m_owned = nullptr;
    }
}

} // namespace UaBase
