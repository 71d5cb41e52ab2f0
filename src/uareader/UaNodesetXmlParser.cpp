#include "uareader/UaNodesetXmlParser.h"

#include "uanodes/BaseNode.h"
#include "uanodes/BaseNodeFactory.h"
#include "uareader/EarlyNodes.h"
#include "uareader/NodeIdTextCache.h"
#include "uareader/NodesetValueDecoder.h"
#include "uatypes/UaByteString.h"
#include "uatypes/UaExtensionObject.h"
#include "uatypes/UaVariant.h"
#include "uaxml/UaXmlDocument.h"
#include "uaxml/XmlNodeReader.h"

#include <libxml/tree.h>

#include <algorithm>
#include <cstring>

namespace UaBase {

namespace {

using Xml = XmlNodeReader;

constexpr const char* kNodesetNamespace = "http://opcfoundation.org/UA/2011/03/UANodeSet.xsd";

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

UaNodesetXmlParser::UaNodesetXmlParser(UaXmlDocument* document)
    : m_document(document)
    , m_valueDecoder(std::make_unique<NodesetValueDecoder>(m_namespaceTranslation))
{
}

UaNodesetXmlParser::~UaNodesetXmlParser()
{
    if (m_document != nullptr) {
        m_document->freeXmlDocument();
        delete m_document;
    }
}

void UaNodesetXmlParser::setXmlDocument(UaXmlDocument* document) { m_document = document; }

void UaNodesetXmlParser::setNodeFactory(BaseNodeFactory* factory) { m_nodeFactory = factory; }

void UaNodesetXmlParser::setTypeDefinitionProvider(TypeDefinitionProvider* provider)
{
    m_typeDefinitionProvider = provider;
}

BaseNodeFactory& UaNodesetXmlParser::factory()
{
    if (m_nodeFactory != nullptr) {
        return *m_nodeFactory;
    }
    if (!m_ownFactory) {
        m_ownFactory = std::make_unique<BaseNodeFactory>();
    }
    return *m_ownFactory;
}

const xmlNode* UaNodesetXmlParser::currentElement() const
{
    return m_document == nullptr ? nullptr : m_document->currentElement();
}

UaStatus UaNodesetXmlParser::loadNodeset(const UaString& fileName, UaString& errorText)
{
    auto document = std::make_unique<UaXmlDocument>();
    auto early = mayReadWhileLoading() ? std::make_unique<EarlyNodes>() : nullptr;
    m_loadFailure.clear();
    if (loadDocument(*document, fileName, early.get()) != 0) {
        m_loadFailure = document->loadFailure();
        errorText = "cannot load XML file";
        return UaStatus::BadInvalidArgument;
    }
    const char* rootName = document->getNodeName();
    if (rootName == nullptr || std::strcmp(rootName, "UANodeSet") != 0) {
        errorText = "root XML element name is not UANodeSet";
        return UaStatus::BadInvalidArgument;
    }
    if (std::strcmp(document->getNamespaceUri(), kNodesetNamespace) != 0) {
        errorText = "invalid XML schema";
        return UaStatus::BadInvalidArgument;
    }
    // The previous document stays with whoever took it before the load. Its tables go: the
    // aliases of another file must not shadow this file's own ("first definition wins").
    m_document = document.release();
    m_namespaceUris.clear();
    m_aliases.clear();
    m_aliasIndex.clear();
    m_aliasHasNumericName = false;
    m_documentExtensions.clear();
    m_earlyNodes.reset();
    if (early && early->usable) {
        early->document = m_document;
        early->revision = m_document->revision();
        early->factory = m_nodeFactory;
        m_earlyNodes = std::move(early);
    }
    if (m_document->getChild("NamespaceUris") == 0) {
        const UaStatus status = readNamespaceUris();
        m_document->toRoot();
        if (status.isNotGood()) {
            errorText = "reading namespace URIs failed";
            return status;
        }
    }
    return UaStatus::Good;
}

UaStatus UaNodesetXmlParser::readNamespaceUris()
{
    const xmlNode* namespaceUris = currentElement();
    for (const xmlNode* uri = Xml::firstChildElement(namespaceUris); uri != nullptr;
         uri = Xml::nextSiblingElement(uri)) {
        if (Xml::hasName(uri, "Uri")) {
            m_namespaceUris.emplace_back(Xml::content(uri).view());
        }
    }
    return UaStatus::Good;
}

void UaNodesetXmlParser::translate(UaNodeId& id) const
{
    if (!m_namespaceTranslation.empty()) {
        auto found = m_namespaceTranslation.find(id.namespaceIndex());
        if (found != m_namespaceTranslation.end()) {
            id.setNamespaceIndex(found->second);
        }
    }
}

UaNodeId UaNodesetXmlParser::parseNodeIdText(const UaString& utf8) const
{
    UaNodeId id = UaNodeId::fromXmlString(utf8);
    translate(id);
    return id;
}

UaNodeId UaNodesetXmlParser::resolveNodeId(const UaWideString& text) const
{
    // Alias names are kept by their UTF-8 form, which is one-to-one with the UTF-16 code units.
    const UaString utf8(text);
    auto alias = m_aliasIndex.find(utf8.view());
    if (alias != m_aliasIndex.end()) {
        return alias->second;
    }
    return parseNodeIdText(utf8);
}

UaNodeId UaNodesetXmlParser::resolveText(std::string_view utf8, bool inPlace) const
{
    // "i=N" and "ns=M;i=N", most texts of a nodeset, are read straight into the identifier
    // (which holds a number in place), unless an alias could have such a name.
    std::uint64_t key = 0;
    if (!m_aliasHasNumericName && NodeIdTextCache::numericKey(utf8, key)) {
        UaNodeId id(NodeIdTextCache::numberOf(key), NodeIdTextCache::namespaceOf(key));
        translate(id);
        return id;
    }
    // A text met before is found by its bytes (and was ASCII when it was first met).
    if (m_cache && inPlace) {
        if (const UaNodeId* known = m_cache->find(utf8)) {
            return *known;
        }
    }
    if (!m_cache || !isAscii(utf8)) {
        // Outside parseNodes (a subclass reading elements itself) nothing is remembered by text;
        // other texts take exactly the conversions of resolveNodeId (a character outside the
        // Basic Multilingual Plane becomes "?").
        return resolveNodeId(UaWideString(UaString(utf8)));
    }
    auto alias = m_aliasIndex.find(utf8);
    const UaNodeId id = alias != m_aliasIndex.end() ? alias->second : parseNodeIdText(UaString(utf8));
    if (inPlace) {
        m_cache->insert(utf8, id);
    }
    return id;
}

void UaNodesetXmlParser::readAliases(const xmlNode* aliases)
{
    for (const xmlNode* alias = Xml::firstChildElement(aliases); alias != nullptr;
         alias = Xml::nextSiblingElement(alias)) {
        if (!Xml::hasName(alias, "Alias")) {
            continue;
        }
        const XmlText name = Xml::attribute(alias, "Alias");
        const UaWideString key(UaString(name.view()));
        const XmlText target = Xml::content(alias);
        const UaNodeId id = resolveNodeId(UaWideString(UaString(target.view())));
        if (m_aliases.emplace(key, id).second) {
            const UaString utf8Key(key);
            std::uint64_t numeric = 0;
            m_aliasHasNumericName = m_aliasHasNumericName || NodeIdTextCache::numericKey(utf8Key.view(), numeric);
            m_aliasIndex.emplace(std::string(utf8Key.view()), id);
        }
    }
}

void UaNodesetXmlParser::readDocumentExtensions() { readExtensionList(m_documentExtensions, true); }

void UaNodesetXmlParser::readDocumentExtensionsAfter(const xmlNode* failed)
{
    // A read that stops at a bad node still has the document's extensions; they lie after it,
    // as the walk did not meet them. The cursor goes back to the bad node.
    m_document->toRoot();
    if (m_document->getChild("Extensions") == 0) {
        readDocumentExtensions();
    }
    m_document->toRoot();
    if (failed == nullptr || m_document->getFirstChild() != 0) {
        return;
    }
    while (currentElement() != failed && m_document->getFollowingSibling() == 0) {}
}

UaStatus UaNodesetXmlParser::readExtensionList(std::vector<Extension>& extensions, bool withNamespace)
{
    // The cursor is on an `Extensions` element and comes back to it.
    UaStatus status = UaStatus::Good;
    if (m_document->getFirstChild() != 0) {
        return status;
    }
    do {
        const char* name = m_document->getNodeName();
        if (name == nullptr || std::strcmp(name, "Extension") != 0) {
            break;
        }
        if (m_document->getFirstChild() != 0) {
            status = UaStatus::Bad;
            continue;
        }
        char* body = nullptr;
        int length = 0;
        UaByteString bodyBytes;
        if (m_document->dumpCurrent(body, length) == 0) {
            bodyBytes = UaByteString(body, length);
        }
        UaXmlDocument::freeXmlString(body);
        extensions.emplace_back(UaString(m_document->getNodeName()),
            bodyBytes,
            withNamespace ? UaString(m_document->getNamespaceUri()) : UaString(),
            UaString(Xml::content(currentElement()).view()));
        m_document->getParent();
    } while (m_document->getFollowingSibling() == 0);
    m_document->getParent();
    return status;
}

UaStatus UaNodesetXmlParser::parseNodes(NodeMap& nodes, UaString& errorText)
{
    m_failedLine = 0;
    m_failedPosition = 0;
    m_tookEarlyNodes = false;
    const std::unique_ptr<EarlyNodes> early = std::move(m_earlyNodes);
    if (m_document == nullptr || m_document->toRoot() != 0) {
        errorText = "no nodeset loaded";
        return UaStatus::BadInvalidArgument;
    }
    if (early && fitsEarlyNodes(*early, nodes)) {
        return takeEarlyNodes(*early, nodes, errorText);
    }
    // The alias table comes before the nodes: the walk that finds it stops there, as a walk
    // over all of a large nodeset's node elements would be as slow as reading them.
    const xmlNode* aliases = nullptr;
    for (const xmlNode* child = Xml::firstChildElement(currentElement()); child != nullptr && aliases == nullptr;
         child = Xml::nextSiblingElement(child)) {
        if (Xml::hasName(child, "Aliases")) {
            aliases = child;
        }
    }
    if (aliases != nullptr) {
        readAliases(aliases);
    }
    // Reading the same document again (after it was edited) reads its extensions anew; the first
    // `Extensions` element is read where the walk over the nodes meets it.
    m_documentExtensions.clear();
    bool extensionsRead = false;

    m_cache = std::make_unique<NodeIdTextCache>();
    m_browseNames = std::make_unique<TextTable<UaQualifiedName>>();
    UaStatus status = UaStatus::Good;
    std::size_t position = 0;
    if (m_document->getFirstChild() == 0) {
        do {
            ++position;
            const char* name = m_document->getNodeName();
            if (!parseNodeElement(name, nodes, status) && !extensionsRead && std::strcmp(name, "Extensions") == 0) {
                extensionsRead = true;
                readDocumentExtensions();
            }
            if (status.isNotGood()) {
                break;
            }
        } while (m_document->getFollowingSibling() == 0);
    }
    m_cache.reset();
    m_browseNames.reset();
    return finishNodes(nodes, status, position, extensionsRead, errorText);
}

bool UaNodesetXmlParser::parseNodeElement(const char* name, NodeMap& nodes, UaStatus& status)
{
    // Through the virtual parsers, so that a subclass's parser reads its elements.
    static constexpr struct {
        const char* element;
        UaStatus (UaNodesetXmlParser::*parse)(NodeMap&);
    } kParsers[] = {
        { "UAObject", &UaNodesetXmlParser::parseObject },
        { "UAVariable", &UaNodesetXmlParser::parseVariable },
        { "UAMethod", &UaNodesetXmlParser::parseMethod },
        { "UAObjectType", &UaNodesetXmlParser::parseObjectType },
        { "UAVariableType", &UaNodesetXmlParser::parseVariableType },
        { "UAReferenceType", &UaNodesetXmlParser::parseReferenceType },
        { "UADataType", &UaNodesetXmlParser::parseDataType },
    };
    for (const auto& [element, parse] : kParsers) {
        if (std::strcmp(name, element) == 0) {
            status = (this->*parse)(nodes);
            return true;
        }
    }
    return false;
}

UaStatus UaNodesetXmlParser::finishNodes(NodeMap& nodes,
    UaStatus status,
    std::size_t position,
    bool extensionsRead,
    UaString& errorText)
{
    // The cursor is on the node element that failed, if one did.
    if (status.isNotGood()) {
        const xmlNode* failed = currentElement();
        m_failedLine = UaXmlDocument::lineOf(failed);
        m_failedPosition = position;
        if (!extensionsRead) {
            readDocumentExtensionsAfter(failed);
        }
        nodes.clear();
        errorText = "parsing node fails";
        return status;
    }
    for (const auto& [nodeId, node] : nodes) {
        node->addInverseReferences(nodes);
    }
    completeDefinitions(nodes);
    return UaStatus::Good;
}

void UaNodesetXmlParser::linkChildren(NodeMap& nodes)
{
    for (const auto& [nodeId, node] : nodes) {
        node->linkChildren(nodes);
    }
}

UaStatus UaNodesetXmlParser::parseReserved() { return UaStatus::BadNotImplemented; }

void UaNodesetXmlParser::getValue(const xmlNode* element, UaVariant& value) const
{
    m_valueDecoder->decode(element, value);
}

UaExtensionObject UaNodesetXmlParser::getExtensionObjectValue(const xmlNode* element) const
{
    return m_valueDecoder->extensionObject(element);
}

UaNodeId UaNodesetXmlParser::getNodeIdValue(const xmlNode* element) const { return m_valueDecoder->nodeId(element); }

} // namespace UaBase
