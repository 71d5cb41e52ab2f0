#include "uaxml/UaXmlDocument.h"

#include "support/AtomicFile.h"
#include "support/FileReader.h"
#include "support/TextCodec.h"

#include <libxml/chvalid.h>
#include <libxml/dict.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xmlstring.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

std::atomic<int> g_libraryUsers { 0 };
// Source of document revisions: unique across all documents of the process.
std::atomic<std::uint64_t> g_revisions { 0 };

// No network access and no entity substitution: a node configuration file must never make the
// program fetch anything. Blank text between elements is dropped so the cursor never lands on it.
// Lines past 65535 are kept for text as for elements (lineOf).
constexpr int kParseOptions = XML_PARSE_NOBLANKS | XML_PARSE_NONET | XML_PARSE_BIG_LINES;

const xmlChar* asXml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

const char* asText(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

/// The file as the parser pulls it through: libxml2 asks for a few kilobytes at a time, which
/// read one by one would make a thousand system calls for a large nodeset; they are served from
/// a block read ahead instead. No copy of the whole file is made. The read stops, as at the end
/// of the file, at the size limit or a read error; the parse then fails and the reason is kept.
struct FileSource {
    static constexpr std::size_t kBlockSize = 256 * 1024;

    explicit FileSource(support::FileReader opened)
        : reader(std::move(opened))
        , block(kBlockSize)
    {
    }

    support::FileReader reader;
    std::vector<char> block;
    std::size_t offset = 0;
    std::size_t filled = 0;
    std::string failure;
};

int readFromFile(void* context, char* buffer, int length)
{
    auto& source = *static_cast<FileSource*>(context);
    if (length <= 0 || !source.failure.empty())
        return 0;
    if (source.offset == source.filled) {
        const support::Result<std::size_t> got = source.reader.read(source.block.data(), source.block.size());
        // Reported as the end of the file: libxml2 would print an I/O error of its own.
        if (!got) {
            source.failure = got.error().message;
            return 0;
        }
        source.offset = 0;
        source.filled = *got;
    }
    const std::size_t count = std::min(static_cast<std::size_t>(length), source.filled - source.offset);
    std::memcpy(buffer, source.block.data() + source.offset, count);
    source.offset += count;
    return static_cast<int>(count);
}

int writeToSink(void* context, const char* buffer, int length)
{
    (*static_cast<const std::function<void(std::string_view)>*>(context))(
        std::string_view(buffer, static_cast<std::size_t>(length)));
    return length;
}

void stopAtEntity(void* context)
{
    auto* parser = static_cast<xmlParserCtxt*>(context);
    parser->wellFormed = 0;
    xmlStopParser(parser);
}

void entityDeclared(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*)
{
    stopAtEntity(context);
}

void unparsedEntityDeclared(void* context, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*)
{
    stopAtEntity(context);
}

bool isElement(const xmlNode* node) { return node && node->type == XML_ELEMENT_NODE; }

xmlNode* firstElementFrom(xmlNode* node)
{
    while (node && !isElement(node))
        node = node->next;
    return node;
}

bool hasName(const xmlNode* node, const char* name)
{
    return isElement(node) && std::strcmp(asText(node->name), name) == 0;
}

/// Valid UTF-8 made only of characters an XML 1.0 document can hold. Anything else would be
/// saved into a file that no parser, this one included, reads back.
bool isStorableText(const char* text)
{
    for (std::string_view rest(text); !rest.empty();) {
        const support::DecodedCodePoint decoded = support::decodeUtf8(rest);
        if (!decoded.isValid() || !xmlIsCharQ(decoded.codePoint))
            return false;
        rest.remove_prefix(decoded.length);
    }
    return true;
}

/// Whether the element carries an attribute that is saved under this name (prefix included).
bool hasAttributeWritten(const xmlNode* element, const char* name)
{
    for (const xmlAttr* attribute = element->properties; attribute; attribute = attribute->next) {
        std::string written;
        if (attribute->ns && attribute->ns->prefix)
            written.append(asText(attribute->ns->prefix)).append(":");
        written.append(asText(attribute->name));
        if (written == name)
            return true;
    }
    return false;
}

bool isXmlName(const char* name) { return name && xmlValidateName(asXml(name), 0) == 0; }

} // namespace

UaXmlDocument::~UaXmlDocument() { freeXmlDocument(); }

void UaXmlDocument::changed() { m_revision = ++g_revisions; }

void UaXmlDocument::initXmlLibrary()
{
    if (g_libraryUsers.fetch_add(1) != 0)
        return;
    xmlInitParser();
    xmlCheckVersion(20904);
    xmlKeepBlanksDefault(0);
}

void UaXmlDocument::cleanupXmlLibrary()
{
    int users = g_libraryUsers.load();
    do {
        if (users <= 0)
            return; // unbalanced cleanup: the library is not ours to release
    } while (!g_libraryUsers.compare_exchange_weak(users, users - 1));
    if (users == 1)
        xmlCleanupParser();
}

void UaXmlDocument::freeXmlString(char*& text)
{
    if (!text)
        return;
    xmlFree(text);
    text = nullptr;
}

int UaXmlDocument::adoptParsed(xmlDoc* document)
{
    if (!document) {
        if (m_loadFailure.empty())
            m_loadFailure = "the document does not read";
        return -1;
    }
    xmlNode* root = xmlDocGetRootElement(document);
    if (!root) {
        xmlFreeDoc(document);
        m_loadFailure = "the document has no root element";
        return -1;
    }
    m_document = document;
    m_root = root;
    m_current = root;
    changed();
    return 0;
}

int UaXmlDocument::loadXmlFile(const char* path) { return loadXmlFile(path, nullptr); }

int UaXmlDocument::loadXmlFile(const char* path, ElementListener* listener)
{
    if (!path)
        return -1;
    freeXmlDocument();
    m_loadFailure.clear();
    // Read as a plain file: libxml2's own file opener would take "-" for standard input and a
    // path with a scheme for a URL. A pipe or a device is refused before it can block the read.
    support::Result<support::FileReader> opened = support::FileReader::open(path, kMaxFileBytes);
    if (!opened) {
        m_loadFailure = opened.error().message;
        return -1;
    }
    // The source closes the file when the load ends, however it ends.
    FileSource source(std::move(*opened));
    xmlParserCtxt* parser
        = xmlCreateIOParserCtxt(nullptr, nullptr, readFromFile, nullptr, &source, XML_CHAR_ENCODING_NONE);
    if (!parser) {
        m_loadFailure = std::string("cannot read ") + path + ": out of memory";
        return -1;
    }
    xmlDoc* document = parse(parser, path, kParseOptions, listener, m_loadFailure);
    // A file that grows past the limit while it is read, or fails to read, ends early: that,
    // not the parser's complaint about the cut text, is the reason.
    if (!source.failure.empty()) {
        m_loadFailure = source.failure;
        xmlFreeDoc(document);
        return -1;
    }
    return adoptParsed(document);
}

int UaXmlDocument::loadXmlMemory(const char* buffer, int length, const char* baseUrl)
{
    if (!buffer || length < 0)
        return -1;
    freeXmlDocument();
    m_loadFailure.clear();
    xmlParserCtxt* parser = xmlCreateMemoryParserCtxt(buffer, length);
    if (!parser)
        return -1;
    return adoptParsed(parse(parser, baseUrl, kParseOptions, nullptr, m_loadFailure));
}

void UaXmlDocument::refuseEntityDeclarations(xmlParserCtxt* parser)
{
    parser->sax->entityDecl = entityDeclared;
    parser->sax->unparsedEntityDecl = unparsedEntityDeclared;
}

int UaXmlDocument::saveXmlFile(const char* path) const
{
    if (!path || !m_document)
        return -1;
    std::string text;
    if (saveXmlMemory(text) != 0)
        return -1;
    // Serialised whole first: the file is replaced only by complete content.
    return support::writeFileAtomically(path, text) ? 0 : -1;
}

int UaXmlDocument::saveXmlMemory(std::string& text) const
{
    text.clear();
    if (saveXmlTo([&text](std::string_view piece) { text.append(piece); }) != 0) {
        text.clear();
        return -1;
    }
    return 0;
}

int UaXmlDocument::saveXmlTo(const std::function<void(std::string_view)>& sink) const
{
    if (!m_document || !sink)
        return -1;
    // What xmlSaveFormatFile does: indented, as XML, in the document's own encoding.
    const char* encoding = m_document->encoding ? asText(m_document->encoding) : nullptr;
    auto* context = const_cast<std::function<void(std::string_view)>*>(&sink);
    xmlSaveCtxtPtr save = xmlSaveToIO(writeToSink, nullptr, context, encoding, XML_SAVE_FORMAT | XML_SAVE_AS_XML);
    if (!save)
        return -1;
    const long saved = xmlSaveDoc(save, m_document);
    const int closed = xmlSaveClose(save);
    return saved < 0 || closed < 0 ? -1 : 0;
}

void UaXmlDocument::freeXmlDocument()
{
    if (m_document) {
        xmlFreeDoc(m_document);
        changed();
    }
    m_document = nullptr;
    m_root = nullptr;
    m_current = nullptr;
}

xmlNode* UaXmlDocument::currentElement() const { return m_document && isElement(m_current) ? m_current : nullptr; }

bool UaXmlDocument::mayVisit(const xmlNode* element) const
{
    if (!m_listenerView)
        return true;
    for (const xmlNode* node = element; node != nullptr; node = node->parent) {
        if (node == m_root)
            return true;
    }
    return false;
}

int UaXmlDocument::moveTo(const xmlNode* element)
{
    if (!m_document || !isElement(element) || element->doc != m_document || !mayVisit(element))
        return -1;
    m_current = const_cast<xmlNode*>(element);
    return 0;
}

int UaXmlDocument::toRoot()
{
    if (!m_document || !m_root)
        return -1;
    m_current = m_root;
    return 0;
}

int UaXmlDocument::getChild(const char* name)
{
    if (!m_document || !m_current || !name)
        return -1;
    // Element names are kept in the document's dictionary: a name it does not hold is no
    // element's, and the walk over thousands of children is spared.
    if (!m_listenerView && m_document->dict != nullptr && xmlDictExists(m_document->dict, asXml(name), -1) == nullptr)
        return -1;
    for (xmlNode* child = m_current->children; child; child = child->next) {
        if (hasName(child, name)) {
            m_current = child;
            return 0;
        }
    }
    return -1;
}

int UaXmlDocument::getChildren(const char* name, std::vector<UaXmlElement>& elements) const
{
    elements.clear();
    if (!m_document || !m_current || !name)
        return -1;
    for (xmlNode* child = m_current->children; child; child = child->next) {
        if (hasName(child, name))
            elements.emplace_back(child);
    }
    return elements.empty() ? -1 : 0;
}

int UaXmlDocument::getFirstChild()
{
    if (!m_document || !m_current)
        return -1;
    return moveTo(firstElementFrom(m_current->children));
}

int UaXmlDocument::getFollowingSibling()
{
    // A listener's element may be getting its next sibling linked right now.
    if (!m_document || !m_current || (m_listenerView && m_current == m_root))
        return -1;
    return moveTo(firstElementFrom(m_current->next));
}

int UaXmlDocument::getParent()
{
    if (!m_document || !m_current || !m_current->parent || (m_listenerView && m_current == m_root))
        return -1;
    m_current = m_current->parent;
    return 0;
}

const char* UaXmlDocument::getNodeName() const
{
    xmlNode* element = currentElement();
    return element ? asText(element->name) : nullptr;
}

const char* UaXmlDocument::getNamespaceUri() const
{
    xmlNode* element = currentElement();
    if (!element)
        return "";
    if (element->ns && element->ns->href)
        return asText(element->ns->href);
    xmlNs* inScope = xmlSearchNs(m_document, element, nullptr);
    if (inScope && inScope->href)
        return asText(inScope->href);
    return "";
}

int UaXmlDocument::getAttributeValue(const char* name, char*& value) const
{
    return UaXmlElement(currentElement()).getAttributeValue(name, value);
}

int UaXmlDocument::getContent(char*& content) const { return UaXmlElement(currentElement()).getContent(content); }

int UaXmlDocument::dumpCurrent(char*& buffer, int& length) const
{
    freeXmlString(buffer);
    length = 0;
    xmlNode* element = currentElement();
    if (!element)
        return -1;
    xmlBuffer* dump = xmlBufferCreate();
    if (!dump)
        return -1;
    int size = xmlNodeDump(dump, m_document, element, 1, 1);
    int result = -1;
    if (size > 0) {
        buffer = static_cast<char*>(xmlMalloc(static_cast<std::size_t>(size)));
        if (buffer) {
            std::memcpy(buffer, xmlBufferContent(dump), static_cast<std::size_t>(size));
            length = size;
            result = 0;
        }
    }
    xmlBufferFree(dump);
    return result;
}

xmlNode* UaXmlDocument::attributeTarget(const char* name, const char* value) const
{
    xmlNode* element = currentElement();
    if (!element || !isEditable() || !isXmlName(name) || !value || !isStorableText(value))
        return nullptr;
    return element;
}

int UaXmlDocument::setAttributeValue(const char* name, const char* value)
{
    xmlNode* element = attributeTarget(name, value);
    if (!element || !xmlSetProp(element, asXml(name), asXml(value)))
        return -1;
    changed();
    return 0;
}

int UaXmlDocument::addAttribute(const char* name, const char* value)
{
    xmlNode* element = attributeTarget(name, value);
    // A second attribute of one name would make the saved file unreadable.
    if (!element || hasAttributeWritten(element, name) || !xmlNewProp(element, asXml(name), asXml(value)))
        return -1;
    changed();
    return 0;
}

int UaXmlDocument::addChild(const char* name, const char* content)
{
    xmlNode* element = currentElement();
    if (!element || !isEditable() || !isXmlName(name) || (content && !isStorableText(content)))
        return -1;
    // The raw form keeps the content as literal text ("&" stays "&" and is escaped on save).
    xmlNode* child = xmlNewDocRawNode(m_document, nullptr, asXml(name), content ? asXml(content) : nullptr);
    if (!child)
        return -1;
    if (!xmlAddChild(element, child)) {
        xmlFreeNode(child);
        return -1;
    }
    m_current = child;
    changed();
    return 0;
}

int UaXmlDocument::removeCurrent()
{
    xmlNode* element = currentElement();
    if (!element || !isEditable() || element == m_root)
        return -1;
    xmlNode* parent = element->parent;
    xmlUnlinkNode(element);
    xmlFreeNode(element);
    m_current = parent;
    changed();
    return 0;
}
