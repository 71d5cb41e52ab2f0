// Loading a document while a listener reads the root's finished children on a thread of its
// own: the parser goes on with the next elements meanwhile, so a reader that builds something
// from every element costs little more time than the parse itself.

#include "uabase/UaXmlDocument.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

/// The elements the parser finished, on their way to the listener's thread. The listener only
/// reads elements the parser no longer writes: a finished child of the root and what lies
/// below it. The parser waits for the listener when the root ends, so that nothing the parser
/// writes after that (trailing comments, the document's encoding) is read at the same time.
class UaXmlDocument::Listening {
public:
    Listening(xmlParserCtxt* parser, ElementListener& listener)
        : m_parser(parser)
        , m_listener(listener)
        , m_endElement(parser->sax->endElementNs)
    {
        m_view.m_listenerView = true;
        parser->_private = this;
        parser->sax->endElementNs = &UaXmlDocument::elementEnded;
        try {
            m_worker = std::thread([this] { run(); });
        } catch (...) {
            // No thread to be had: the listener is told on the loading thread.
        }
    }

    ~Listening() { finish(true); }
    Listening(const Listening&) = delete;
    Listening& operator=(const Listening&) = delete;

    void endElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
    {
        xmlNode* element = m_parser->node;
        m_endElement(m_parser, localName, prefix, uri);
        if (!m_parser->wellFormed || !element || element->type != XML_ELEMENT_NODE || !element->parent)
            return;
        const auto* documentNode = reinterpret_cast<const xmlNode*>(m_parser->myDoc);
        if (element->parent == documentNode)
            waitUntilIdle();
        else if (element->parent->parent == documentNode)
            pass(element);
    }

    /// Waits for the listener to be done; `abandon` drops the elements it has not taken up yet.
    void finish(bool abandon)
    {
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
        m_view.m_document = m_parser->myDoc;
        m_view.m_root = element->parent;
        m_view.m_current = element;
        m_listener.topLevelElementRead(m_view);
        // The view never owns the document.
        m_view.m_document = nullptr;
        m_view.m_root = nullptr;
        m_view.m_current = nullptr;
    }

    xmlParserCtxt* m_parser;
    ElementListener& m_listener;
    void (*m_endElement)(void*, const xmlChar*, const xmlChar*, const xmlChar*);
    UaXmlDocument m_view;

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

void UaXmlDocument::elementEnded(void* parser, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
{
    auto* listening = static_cast<Listening*>(static_cast<xmlParserCtxt*>(parser)->_private);
    listening->endElement(localName, prefix, uri);
}

xmlDoc* UaXmlDocument::parseListening(int (*read)(void*, char*, int), int (*close)(void*), void* source,
    const char* path, int options, ElementListener& listener)
{
    // What xmlReadIO does, with the parser's document kept until the listener is done with it.
    xmlParserCtxt* parser = xmlCreateIOParserCtxt(nullptr, nullptr, read, close, source, XML_CHAR_ENCODING_NONE);
    if (!parser)
        return nullptr; // the source is closed
    xmlCtxtUseOptions(parser, options);
    refuseEntityDeclarations(parser);
    if (parser->input && !parser->input->filename)
        parser->input->filename = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(path)));
    xmlDoc* document = nullptr;
    {
        Listening listening(parser, listener);
        xmlParseDocument(parser);
        listening.finish(!parser->wellFormed);
        document = parser->myDoc;
        parser->myDoc = nullptr;
    }
    if (document && !parser->wellFormed) {
        xmlFreeDoc(document);
        document = nullptr;
    }
    xmlFreeParserCtxt(parser);
    return document;
}
