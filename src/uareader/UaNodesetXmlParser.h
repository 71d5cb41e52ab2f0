#pragma once

#include "uanodes/Extension.h"
#include "uanodes/NodeMap.h"
#include "uanodes/UaEnumDefinition.h"
#include "uanodes/UaStructureDefinition.h"
#include "uareader/NodeElement.h"
#include "uatypes/UaLocalizedText.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaStatus.h"
#include "uatypes/UaString.h"
#include "uatypes/UaWideString.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct _xmlNode;
class UaExtensionObject;
class UaVariant;
class UaXmlDocument;

namespace UaBase {

class BaseNode;
class BaseNodeFactory;
class DataType;
class NodeIdTextCache;
template <class T> class TextTable;
class NodesetValueDecoder;
class ValueAttributes;
class Variable;

/// Answers definition requests for data types that are not in the node map.
class TypeDefinitionProvider {
public:
    virtual ~TypeDefinitionProvider() = default;
    virtual UaStructureDefinition structureDefinition(const UaNodeId& dataTypeId) = 0;
    virtual UaEnumDefinition enumDefinition(const UaNodeId& dataTypeId) = 0;
};

/// The data types whose structure definitions were completed during one parseNodes.
using VisitedMap = std::unordered_set<UaNodeId>;

/// Reads a node configuration file in the OPC UA nodeset format (the UANodeSet schema of
/// 2011/03) into nodes of the node model. It keeps the parsed document, which its users edit
/// and save; the nodes belong to the node map they were read into.
///
/// Only the elements and attributes the reader knows are looked at, by local name; the rest
/// is ignored. Reading is fast enough for the standard nodesets: texts are read in place,
/// node identifier texts are resolved once per distinct text, and inverse references are
/// added in time linear in the number of references.
///
/// Reading while loading (on unless setReadWhileLoading(false)): each node element is read on
/// the document layer's listener thread while loadNodeset still parses the rest of the file, so
/// the parse operations, the node factory and the type definitions run there, one element at a
/// time, during loadNodeset. parseNodes takes those nodes over when the document, the node
/// factory and the trace level are still what they were and the node map is empty, and otherwise
/// reads the document anew; either way the nodes, the statuses, the trace lines and where the
/// cursor ends are the same. A subclass whose overrides must run during parseNodes or on the
/// caller's thread, or a node factory that may only create nodes there, switches it off.
class UaNodesetXmlParser {
public:
    /// Takes ownership of `document` (may be null).
    explicit UaNodesetXmlParser(UaXmlDocument* document = nullptr);
    /// Frees the document; never touches nodes handed out.
    virtual ~UaNodesetXmlParser();
    UaNodesetXmlParser(const UaNodesetXmlParser&) = delete;
    UaNodesetXmlParser& operator=(const UaNodesetXmlParser&) = delete;

    /// Loads and checks the file. On failure the error text says why and the result is
    /// BadInvalidArgument; the reader's document is then unchanged. On success the new document
    /// replaces the old pointer WITHOUT freeing it (the caller took it with xmlDocument first),
    /// and the namespace URIs, aliases and document extensions of the old one are dropped.
    virtual UaStatus loadNodeset(const UaString& fileName, UaString& errorText);
    /// Appends the `Uri` texts of the `NamespaceUris` element under the cursor.
    virtual UaStatus readNamespaceUris();
    /// Creates the nodes of the loaded document in `nodes`. On failure ("parsing node fails")
    /// every node in the map is deleted and the map is left empty.
    virtual UaStatus parseNodes(NodeMap& nodes, UaString& errorText);
    /// Builds the child links of the nodes from their parent node identifiers.
    virtual void linkChildren(NodeMap& nodes);
    virtual UaStatus parseVariable(NodeMap& nodes);
    virtual UaStatus parseObject(NodeMap& nodes);
    virtual UaStatus parseMethod(NodeMap& nodes);
    virtual UaStatus parseDataType(NodeMap& nodes);
    virtual UaStatus parseReferenceType(NodeMap& nodes);
    virtual UaStatus parseObjectType(NodeMap& nodes);
    virtual UaStatus parseVariableType(NodeMap& nodes);
    /// Reserved for a later element kind: BadNotImplemented.
    virtual UaStatus parseReserved();
    /// The `References` of the node element under the cursor; Bad when a reference has no type.
    virtual UaStatus parseReferences(BaseNode* node);
    /// The `Extensions` of the node element under the cursor; Bad for an empty `Extension`.
    virtual UaStatus parseExtensions(BaseNode* node);
    /// The `Definition` of the `UADataType` element under the cursor.
    virtual void parseDataTypeDefinition(DataType* dataType);
    /// Puts the fields of the super types in front of the data type's own fields.
    virtual UaStatus completeStructureDefinition(DataType* dataType, NodeMap& nodes, VisitedMap& visited);
    /// Sets the built-in type of every field that has none from its data type or a super type.
    virtual void resolveFieldBuiltInTypes(DataType* dataType, NodeMap& nodes);
    virtual UaStructureDefinition
    getStructureDefinition(const UaNodeId& dataTypeId, NodeMap& nodes, VisitedMap& visited);
    virtual UaEnumDefinition getEnumDefinition(const UaNodeId& dataTypeId, NodeMap& nodes, VisitedMap& visited);

    /// An alias name gives the alias's node identifier; any other text is read as a node
    /// identifier text (an unusable one gives the null node identifier).
    UaNodeId resolveNodeId(const UaWideString& text) const;

    /// Installs the factory for all node creation (null: the reader's own base factory).
    /// The caller keeps ownership.
    void setNodeFactory(BaseNodeFactory* factory);
    void setTypeDefinitionProvider(TypeDefinitionProvider* provider);
    /// Whether the next loadNodeset reads node elements while the file loads (see above).
    void setReadWhileLoading(bool on) { m_readWhileLoading = on; }
    bool readsWhileLoading() const { return m_readWhileLoading; }

    UaXmlDocument* xmlDocument() const { return m_document; }
    /// Replaces the document pointer; the reader owns the new document, the old one is not freed.
    void setXmlDocument(UaXmlDocument* document);
    const std::vector<UaString>& namespaceUris() const { return m_namespaceUris; }
    const std::vector<Extension>& documentExtensions() const { return m_documentExtensions; }

    /// Where the last parseNodes failed: the line of the node element that did not read (where
    /// its start tag ends, as UaXmlDocument::lineOf counts; 0 when it is unknown or nothing
    /// failed) and its position among the root's child elements (1 for the first; 0 when nothing
    /// failed). For messages that help find the element.
    long failedElementLine() const { return m_failedLine; }
    /// Why the last loadNodeset could not load the file as XML, in one line (see
    /// UaXmlDocument::loadFailure); empty when it loaded or failed for another reason.
    const std::string& loadFailure() const { return m_loadFailure; }
    std::size_t failedElementPosition() const { return m_failedPosition; }
    /// Whether the last parseNodes took over the nodes read while the document loaded.
    bool tookNodesReadWhileLoading() const { return m_tookEarlyNodes; }

protected:
    /// The value element `element` (the child of a `Value`) decoded into `value`.
    void getValue(const _xmlNode* element, UaVariant& value) const;
    UaExtensionObject getExtensionObjectValue(const _xmlNode* element) const;
    UaNodeId getNodeIdValue(const _xmlNode* element) const;

    /// The node element under the document's cursor.
    const _xmlNode* currentElement() const;

private:
    class DefinitionDepth;
    class LoadListener;
    class LoadScope;
    struct EarlyNodes;
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view> {}(text); }
    };

    /// resolveNodeId for UTF-8 text of the document; `inPlace` texts may be remembered by view
    /// until the end of parseNodes.
    UaNodeId resolveText(std::string_view utf8, bool inPlace) const;
    UaNodeId parseNodeIdText(const UaString& utf8) const;
    void translate(UaNodeId& id) const;
    BaseNodeFactory& factory();
    void readAliases(const _xmlNode* aliases);
    bool mayReadWhileLoading() const;
    int loadDocument(UaXmlDocument& document, const UaString& fileName, EarlyNodes* early);
    void readElementWhileLoading(UaXmlDocument& document, EarlyNodes& early);
    bool fitsEarlyNodes(const EarlyNodes& early, const NodeMap& nodes) const;
    UaStatus takeEarlyNodes(EarlyNodes& early, NodeMap& nodes, UaString& errorText);
    /// Reads the node element named `name` under the cursor into `nodes`; false (and no status)
    /// when no node element has that name.
    bool parseNodeElement(const char* name, NodeMap& nodes, UaStatus& status);
    UaStatus
    finishNodes(NodeMap& nodes, UaStatus status, std::size_t position, bool extensionsRead, UaString& errorText);
    void readDocumentExtensions();
    void readDocumentExtensionsAfter(const _xmlNode* failed);
    UaStatus readExtensionList(std::vector<Extension>& extensions, bool withNamespace);
    UaNodeId readNodeId(const NodeElement& element, UaStatus& status) const;
    UaStatus readNames(const NodeElement& element, BaseNode& node, UaStatus status) const;
    UaQualifiedName browseNameOf(const XmlText& text) const;
    UaLocalizedText localizedText(const _xmlNode* element, const UaString* sameText) const;
    const UaString& internLocale(std::string_view locale) const;
    UaNodeId nodeIdAttribute(const NodeElement& element, NodeElement::Attribute which) const;
    UaNodeId dataTypeAttribute(const NodeElement& element) const;
    UaVariant readValue(const NodeElement& element) const;
    bool isDuplicate(const NodeMap& nodes, const UaNodeId& nodeId, const char* operation) const;
    /// Reads `element` into a node that `create` of the factory makes and stores it in `nodes`:
    /// its identifier, its names, what every node of its kind has (IsAbstract of a type node,
    /// ParentNodeId of an instance), what `fill` reads into it, its references and extensions.
    /// BadNodeIdExists, with nothing made, when `nodes` has the identifier already; `operation`
    /// names the parser in that trace.
    template <class Node, class Fill>
    UaStatus parseNode(const NodeElement& element,
        NodeMap& nodes,
        const char* operation,
        std::unique_ptr<Node> (BaseNodeFactory::*create)(const UaNodeId&),
        Fill fill);
    /// DataType, ValueRank and the value of a variable or a variable type.
    void readValueAttributes(const NodeElement& element, ValueAttributes& node) const;
    UaStatus storeNode(const NodeElement& element, std::unique_ptr<BaseNode> node, UaStatus status, NodeMap& nodes);
    /// The first child element of that name of the node element under the cursor.
    const _xmlNode* currentChild(NodeElement::Child which, const char* name) const;
    void readAlarm(const NodeElement& element, Variable* variable) const;
    void readEnumerationSubtype(DataType* dataType) const;
    void completeDefinitions(NodeMap& nodes);
    /// The definition of the data type `dataTypeId` that `ofNode` reads, completed first, when
    /// `nodes` holds the type; else the provider's, when there is one and `nodes` does not hold
    /// the node at all.
    template <class Definition>
    Definition definitionOf(const UaNodeId& dataTypeId,
        NodeMap& nodes,
        VisitedMap& visited,
        Definition (DataType::*ofNode)() const,
        Definition (TypeDefinitionProvider::*ofProvider)(const UaNodeId&));

    // Fields in the order the reader's users know them.
    UaXmlDocument* m_document = nullptr;
    std::string m_loadFailure;
    std::vector<UaString> m_namespaceUris;
    std::map<std::uint16_t, std::uint16_t> m_namespaceTranslation;
    std::map<UaWideString, UaNodeId> m_aliases;
    std::vector<Extension> m_documentExtensions;
    TypeDefinitionProvider* m_typeDefinitionProvider = nullptr;
    BaseNodeFactory* m_nodeFactory = nullptr;

    // The alias table by the UTF-8 form of its names, for lookups without converting texts.
    std::unordered_map<std::string, UaNodeId, TextHash, std::equal_to<>> m_aliasIndex;
    std::unique_ptr<BaseNodeFactory> m_ownFactory;
    std::unique_ptr<NodesetValueDecoder> m_valueDecoder;
    bool m_aliasHasNumericName = false;
    // Node identifier texts resolved during one parseNodes.
    std::unique_ptr<NodeIdTextCache> m_cache;
    // Browse names read during one parseNodes, by their text: a nodeset repeats a few hundred
    // names (properties, arguments) thousands of times, and they can share their strings.
    std::unique_ptr<TextTable<UaQualifiedName>> m_browseNames;
    // Locale texts met so far, shared by all localized texts that use them.
    mutable std::vector<UaString> m_locales;
    // The node element being stored, while its references and extensions are read.
    const NodeElement* m_nodeElement = nullptr;
    int m_definitionDepth = 0;
    long m_failedLine = 0;
    std::size_t m_failedPosition = 0;
    // The nodes read while the document loaded, until parseNodes takes them or the next load.
    std::unique_ptr<EarlyNodes> m_earlyNodes;
    bool m_tookEarlyNodes = false;
    bool m_readWhileLoading = true;
};

} // namespace UaBase
