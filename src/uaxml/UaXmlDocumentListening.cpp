// Parsing a document with the layer's own hooks on libxml2's callbacks: every element's line is
// kept where libxml2 keeps none, and a listener may read the root's finished children on a
// thread of its own while the parser goes on with the next elements, so that a reader that
// builds something from every element costs little more time than the parse itself.

#include "uaxml/UaXmlDocument.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cassert>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// libxml2 keeps an element's line in 16 bits and stores this value for every line from here on.
constexpr unsigned kLastKeptLine = USHRT_MAX;

} // namespace

/// The hooks of one parse, all on the start of an element (a hook on every end would cost as
/// much again). The listener's thread only reads elements the parser no longer writes: a child
/// of the root is handed over once the next one starts, and the last one when the document
/// ends; the parser waits there for the listener, so that nothing it writes at the end (the
/// document's encoding and properties) is read at the same time.
class UaXmlDocument::Parse {
public:
    Parse(xmlParserCtxt* parser, ElementListener* listener)
        : m_parser(parser)
        , m_listener(listener)
        , m_endDocument(parser->sax->endDocument)
    {
        // The hooks take the place of the tree builder's own start, which they call.
        assert(parser->sax->startElementNs == &xmlSAX2StartElementNs && "the parser does not build a tree");
        parser->_private = this;
        if (m_listener == nullptr) {
            parser->sax->startElementNs = &Parse::elementStarted;
            return;
        }
        parser->sax->startElementNs = &Parse::elementStartedListened;
        parser->sax->endDocument = &Parse::documentEnded;
        m_view.m_listenerView = true;
        try {
            m_worker = std::thread([this] { run(); });
        } catch (...) {
            // No thread to be had: the listener is told on the loading thread.
        }
    }

    ~Parse() { finish(true); }
    Parse(const Parse&) = delete;
    Parse& operator=(const Parse&) = delete;

    /// Waits for the listener to be done; `abandon` drops the elements it has not taken up yet.
    void finish(bool abandon)
    {
        // Told at the end of the document already, unless the parser stopped without one.
        if (!abandon && m_lastTopLevel != nullptr)
            pass(m_lastTopLevel);
        m_lastTopLevel = nullptr;
        if (!m_worker.joinable())
            return;
        if (!abandon)
            handOver();
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
            m_abandoned = abandon;
        }
        m_wake.notify_one();
        m_worker.join();
    }

private:
    static Parse& of(void* parser) { return *static_cast<Parse*>(static_cast<xmlParserCtxt*>(parser)->_private); }

    // Called for every element of the document: kept as short as the parse allows.
    static void elementStarted(void* parser,
        const xmlChar* localName,
        const xmlChar* prefix,
        const xmlChar* uri,
        int namespaceCount,
        const xmlChar** namespaces,
        int attributeCount,
        int defaultedCount,
        const xmlChar** attributes)
    {
        xmlSAX2StartElementNs(
            parser, localName, prefix, uri, namespaceCount, namespaces, attributeCount, defaultedCount, attributes);
        auto* context = static_cast<xmlParserCtxt*>(parser);
        if (static_cast<unsigned>(context->input->line) >= kLastKeptLine) [[unlikely]]
            keepLine(context);
    }

    static void elementStartedListened(void* parser,
        const xmlChar* localName,
        const xmlChar* prefix,
        const xmlChar* uri,
        int namespaceCount,
        const xmlChar** namespaces,
        int attributeCount,
        int defaultedCount,
        const xmlChar** attributes)
    {
        elementStarted(
            parser, localName, prefix, uri, namespaceCount, namespaces, attributeCount, defaultedCount, attributes);
        // The root is the first element on the parser's stack; its children are the second.
        auto* context = static_cast<xmlParserCtxt*>(parser);
        if (context->nodeNr == 2 && context->wellFormed && context->node != nullptr) [[unlikely]]
            of(parser).nextTopLevelStarted(context->node);
    }

    /// The line as libxml2 counts it, kept in the element's type information field, which holds
    /// a text node's line in the same case (XML_PARSE_BIG_LINES) and is otherwise only used by
    /// schema validation, which this layer never runs.
    static void keepLine(xmlParserCtxt* parser)
    {
        xmlNode* element = parser->node;
        if (element != nullptr && element->type == XML_ELEMENT_NODE && element->psvi == nullptr)
            element->psvi = reinterpret_cast<void*>(static_cast<std::intptr_t>(parser->input->line));
    }

    static void documentEnded(void* parser)
    {
        Parse& self = of(parser);
        if (self.m_parser->wellFormed && self.m_lastTopLevel != nullptr)
            self.pass(self.m_lastTopLevel);
        self.m_lastTopLevel = nullptr;
        self.waitUntilIdle();
        self.m_endDocument(parser);
    }

    /// The previous child of the root is complete once the next one starts.
    void nextTopLevelStarted(xmlNode* element)
    {
        if (m_lastTopLevel != nullptr)
            pass(m_lastTopLevel);
        m_lastTopLevel = element;
    }

    void pass(xmlNode* element)
    {
        if (!m_worker.joinable()) {
            tell(element);
            return;
        }
        m_batch.push_back(element);
        if (m_batch.size() >= kBatchSize)
            handOver();
    }

    void handOver()
    {
        if (m_batch.empty())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_queue.insert(m_queue.end(), m_batch.begin(), m_batch.end());
        }
        m_batch.clear();
        m_wake.notify_one();
    }

    void waitUntilIdle()
    {
        if (!m_worker.joinable())
            return;
        handOver();
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
    }

    void run()
    {
        std::vector<xmlNode*> batch;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return !m_queue.empty() || m_finished; });
            if (m_abandoned || m_queue.empty())
                return;
            batch.swap(m_queue);
            m_busy = true;
            lock.unlock();
            for (xmlNode* element : batch)
                tell(element);
            batch.clear();
            lock.lock();
            m_busy = false;
            if (m_queue.empty())
                m_idle.notify_all();
        }
    }

    void tell(xmlNode* element)
    {
        // The view's root is the element: it never leaves the element's subtree.
        m_view.m_document = m_parser->myDoc;
        m_view.m_root = element;
        m_view.m_current = element;
        m_listener->topLevelElementRead(m_view);
        // The view never owns the document.
        m_view.m_document = nullptr;
        m_view.m_root = nullptr;
        m_view.m_current = nullptr;
    }

    xmlParserCtxt* m_parser;
    ElementListener* m_listener;
    endDocumentSAXFunc m_endDocument;
    UaXmlDocument m_view;
    // The child of the root started last, until the next one starts or the document ends.
    xmlNode* m_lastTopLevel = nullptr;

    // Elements are handed over a few dozen at a time: waking the listener's thread for each one
    // would cost the parser more than the listener saves it.
    static constexpr std::size_t kBatchSize = 256;
    std::vector<xmlNode*> m_batch;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<xmlNode*> m_queue;
    bool m_busy = false;
    bool m_finished = false;
    bool m_abandoned = false;
    std::thread m_worker;
};

namespace {

/// The parser's first error, kept as one line instead of being printed: the programs tell what
/// is wrong with a file in their own words.
struct FirstError {
    static void found(void* context, xmlErrorPtr error)
    {
        auto* parser = static_cast<xmlParserCtxt*>(context);
        if (parser == nullptr || error == nullptr || error->level < XML_ERR_ERROR)
            return;
        auto* self = static_cast<FirstError*>(parser->sax->_private);
        if (self == nullptr || !self->text.empty())
            return;
        std::string message = error->message != nullptr ? error->message : "not well-formed";
        for (char& c : message)
            if (c == '\n' || c == '\r' || c == '\t')
                c = ' ';
        while (!message.empty() && message.back() == ' ')
            message.pop_back();
        self->text = "line " + std::to_string(error->line) + ": " + message;
    }

    std::string text;
};

} // namespace

xmlDoc* UaXmlDocument::parse(xmlParserCtxt* parser,
    const char* url,
    int options,
    ElementListener* listener,
    std::string& failure)
{
    // What xmlReadIO and xmlReadMemory do, with the hooks, and with the parser's document kept
    // until the listener is done with it.
    xmlCtxtUseOptions(parser, options);
    refuseEntityDeclarations(parser);
    FirstError firstError;
    parser->sax->_private = &firstError;
    parser->sax->serror = &FirstError::found;
    if (url && parser->input && !parser->input->filename)
        parser->input->filename = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(url)));
    xmlDoc* document = nullptr;
    {
        Parse parse(parser, listener);
        xmlParseDocument(parser);
        parse.finish(!parser->wellFormed);
        document = parser->myDoc;
        parser->myDoc = nullptr;
    }
    if (document && !parser->wellFormed) {
        xmlFreeDoc(document);
        document = nullptr;
    }
    failure = std::move(firstError.text);
    if (!parser->wellFormed && parser->errNo == XML_ERR_USER_STOP)
        failure = "line " + std::to_string(parser->input != nullptr ? parser->input->line : 0)
            + ": the document type declares an entity";
    else if (!parser->wellFormed && failure.empty())
        failure = "the document is not well-formed";
    parser->sax->_private = nullptr;
    xmlFreeParserCtxt(parser);
    return document;
}

long UaXmlDocument::lineOf(const xmlNode* element)
{
    if (element == nullptr)
        return 0;
    if (element->type == XML_ELEMENT_NODE && element->line == kLastKeptLine && element->psvi != nullptr)
        return static_cast<long>(reinterpret_cast<std::intptr_t>(element->psvi));
    return xmlGetLineNo(element);
}
