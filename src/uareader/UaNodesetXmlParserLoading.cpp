// Reading the node elements of a nodeset while its document is being parsed: each finished
// element is read on the document layer's listener thread while the parser goes on with the
// next, so that loading and reading a large nodeset takes little longer than parsing it.

#include "uareader/EarlyNodes.h"

#include "uareader/NodeIdTextCache.h"
#include "uareader/TextTable.h"
#include "uareader/UaTrace.h"
#include "uaxml/UaXmlDocument.h"
#include "uaxml/XmlNodeReader.h"

#include <libxml/tree.h>

#include <utility>

namespace UaBase {

using Xml = XmlNodeReader;

/// Hands each child element of the root to the reader as the parser finishes it.
class UaNodesetXmlParser::LoadListener final : public UaXmlDocument::ElementListener {
public:
    LoadListener(UaNodesetXmlParser& reader, EarlyNodes& early)
        : m_reader(reader)
        , m_early(early)
    {
    }

    void topLevelElementRead(UaXmlDocument& document) noexcept override
    {
        if (!m_early.usable) {
            return;
        }
        try {
            m_reader.readElementWhileLoading(document, m_early);
        } catch (...) {
            // parseNodes then reads the document the usual way and meets the problem itself.
            m_early.usable = false;
        }
    }

private:
    UaNodesetXmlParser& m_reader;
    EarlyNodes& m_early;
};

/// For the time of a load: the reader's alias tables are those of the file being loaded (its
/// own come back afterwards, as a failed load leaves the reader unchanged), and texts are
/// remembered as during parseNodes.
class UaNodesetXmlParser::LoadScope {
public:
    LoadScope(UaNodesetXmlParser& reader, EarlyNodes& early)
        : m_reader(reader)
        , m_early(early)
    {
        swapAliases();
        m_reader.m_cache = std::make_unique<NodeIdTextCache>();
        m_reader.m_browseNames = std::make_unique<TextTable<UaQualifiedName>>();
    }

    ~LoadScope()
    {
        // Both remember texts by views into the document, which a failed load frees.
        m_reader.m_cache.reset();
        m_reader.m_browseNames.reset();
        swapAliases();
    }

    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;

private:
    void swapAliases()
    {
        std::swap(m_reader.m_aliases, m_early.aliases);
        std::swap(m_reader.m_aliasIndex, m_early.aliasIndex);
        std::swap(m_reader.m_aliasHasNumericName, m_early.aliasHasNumericName);
    }

    UaNodesetXmlParser& m_reader;
    EarlyNodes& m_early;
};

namespace {

/// Points the reader's document at the one being loaded while an element of it is read.
class DocumentSwap {
public:
    DocumentSwap(UaXmlDocument*& current, UaXmlDocument& loading)
        : m_current(current)
        , m_previous(current)
    {
        m_current = &loading;
    }
    ~DocumentSwap() { m_current = m_previous; }
    DocumentSwap(const DocumentSwap&) = delete;
    DocumentSwap& operator=(const DocumentSwap&) = delete;

private:
    UaXmlDocument*& m_current;
    UaXmlDocument* m_previous;
};

} // namespace

bool UaNodesetXmlParser::mayReadWhileLoading() const
{
    // Trace lines must come during parseNodes, in its order.
    return m_readWhileLoading && UaTrace::traceLevel() <= 0;
}

int UaNodesetXmlParser::loadDocument(UaXmlDocument& document, const UaString& fileName, EarlyNodes* early)
{
    if (early == nullptr) {
        return document.loadXmlFile(fileName.toUtf8());
    }
    const LoadScope scope(*this, *early);
    LoadListener listener(*this, *early);
    return document.loadXmlFile(fileName.toUtf8(), &listener);
}

void UaNodesetXmlParser::readElementWhileLoading(UaXmlDocument& document, EarlyNodes& early)
{
    // Only the element's own subtree may be read here; a root that is no nodeset fails the load,
    // which drops all of this.
    const xmlNode* element = document.currentElement();
    ++early.position;
    early.last = element;
    if (!early.aliasesSeen && Xml::hasName(element, "Aliases")) {
        early.aliasesSeen = true;
        // The first alias table applies to all nodes, also to those before it.
        if (early.nodeSeen) {
            early.usable = false;
        } else {
            readAliases(element);
        }
        return;
    }
    if (early.status.isNotGood()) {
        return; // parseNodes stops at the failed node element
    }
    const DocumentSwap swap(m_document, document);
    const char* name = reinterpret_cast<const char*>(element->name);
    UaStatus status = UaStatus::Good;
    if (parseNodeElement(name, early.nodes, status)) {
        early.nodeSeen = true;
        if (status.isNotGood()) {
            early.status = status;
            early.failed = element;
            early.failedPosition = early.position;
        }
    } else if (early.extensions == nullptr && Xml::hasName(element, "Extensions")) {
        early.extensions = element;
    }
}

bool UaNodesetXmlParser::fitsEarlyNodes(const EarlyNodes& early, const NodeMap& nodes) const
{
    return early.usable && early.document == m_document && m_document->revision() == early.revision
        && early.factory == m_nodeFactory && nodes.empty() && UaTrace::traceLevel() <= 0;
}

UaStatus UaNodesetXmlParser::takeEarlyNodes(EarlyNodes& early, NodeMap& nodes, UaString& errorText)
{
    m_tookEarlyNodes = true;
    // The reader's alias tables were emptied by the load, as parseNodes would find them.
    m_aliases = std::move(early.aliases);
    m_aliasIndex = std::move(early.aliasIndex);
    m_aliasHasNumericName = early.aliasHasNumericName;
    m_documentExtensions.clear();
    const bool extensionsRead = early.extensions != nullptr;
    if (extensionsRead) {
        m_document->moveTo(early.extensions);
        readDocumentExtensions();
    }
    nodes = std::move(early.nodes);
    // The cursor ends where the walk over the nodes would have left it.
    m_document->moveTo(early.status.isGood() ? early.last : early.failed);
    return finishNodes(nodes, early.status, early.failedPosition, extensionsRead, errorText);
}

} // namespace UaBase
