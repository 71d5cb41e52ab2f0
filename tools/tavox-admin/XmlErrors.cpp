#include "XmlErrors.h"

#include <libxml/xmlerror.h>

namespace admin {
namespace {

void keepFirst(void* context, xmlErrorPtr error)
{
    if (!error || !error->message)
        return;
    std::string message = error->message;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    static_cast<XmlErrors*>(context)->keep("line " + std::to_string(error->line) + ": " + message);
}

} // namespace

XmlErrors::XmlErrors()
    : m_previousContext(xmlStructuredErrorContext)
    , m_previousHandler(reinterpret_cast<void (*)()>(xmlStructuredError))
{
    xmlSetStructuredErrorFunc(this, keepFirst);
}

XmlErrors::~XmlErrors()
{
    xmlSetStructuredErrorFunc(m_previousContext, reinterpret_cast<xmlStructuredErrorFunc>(m_previousHandler));
}

void XmlErrors::keep(std::string complaint)
{
    if (m_first.empty())
        m_first = std::move(complaint);
}

std::string withXmlError(std::string message, const XmlErrors& xml)
{
    if (xml.first().empty())
        return message;
    const bool stop = !message.empty() && message.back() == '.';
    if (stop)
        message.pop_back();
    return message + " (" + xml.first() + ")" + (stop ? "." : "");
}

} // namespace admin
