// Walks, dumps and edits whatever the XML layer accepts; any crash, leak or sanitizer report
// is a finding.
#include "uaxml/UaXmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void visit(UaXmlDocument& doc, int depth)
{
    char* text = nullptr;
    int length = 0;
    doc.getAttributeValue("NodeId", text);
    doc.getContent(text);
    doc.dumpCurrent(text, length);
    UaXmlDocument::freeXmlString(text);
    doc.getNamespaceUri();
    if (depth > 64 || doc.getFirstChild() != 0)
        return;
    do {
        visit(doc, depth + 1);
    } while (doc.getFollowingSibling() == 0);
    doc.getParent();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool initialised = [] {
        UaXmlDocument::initXmlLibrary();
        return true;
    }();
    (void)initialised;
    UaXmlDocument doc;
    if (doc.loadXmlMemory(reinterpret_cast<const char*>(data), static_cast<int>(size), nullptr) != 0)
        return 0;
    visit(doc, 0);
    // Edits with the input itself as text: refused or stored, never a broken document.
    std::string value(reinterpret_cast<const char*>(data), size);
    doc.toRoot();
    if (doc.addChild("Tavox_Alarm", value.c_str()) == 0) {
        doc.setAttributeValue("Alarm", value.c_str());
        doc.removeCurrent();
    }
    return 0;
}
