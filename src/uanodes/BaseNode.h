#pragma once

#include "uanodes/Extension.h"
#include "uanodes/Reference.h"
#include "uatypes/UaLocalizedText.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaQualifiedName.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class UserDataBase;

namespace UaBase {

class BaseNode;
class NodeMap;

/// The OPC UA node classes, with their attribute values.
enum class NodeClass : std::uint32_t {
    Unspecified = 0,
    Object = 1,
    Variable = 2,
    Method = 4,
    ObjectType = 8,
    VariableType = 16,
    ReferenceType = 32,
    DataType = 64,
    View = 128,
};

/// Whether nodes of the class are type nodes (TypeNode subclasses).
bool isTypeNodeClass(NodeClass nodeClass);

/// A parent/child link built from a node's ParentNodeId attribute by linkChildren.
struct ChildLink {
    UaNodeId referenceTypeId;
    BaseNode* parent = nullptr;
    BaseNode* child = nullptr;
};

/// One node read from a nodeset: its attributes, its references in insertion order and its
/// extension data. Nodes are made by a BaseNodeFactory and owned by a NodeMap.
class BaseNode {
public:
    explicit BaseNode(const UaNodeId& nodeId);
    virtual ~BaseNode();
    BaseNode(const BaseNode&) = delete;
    BaseNode& operator=(const BaseNode&) = delete;

    virtual void setNodeId(const UaNodeId& nodeId);
    virtual NodeClass nodeClass() const = 0;
    /// Gives every node of `nodes` that this node references the matching inverse reference,
    /// once. Targets outside the map are left alone.
    virtual void addInverseReferences(NodeMap& nodes);
    /// Records this node as the child of the node named by its ParentNodeId attribute, when that
    /// node is in `nodes`, in the child links of both.
    virtual void linkChildren(NodeMap& nodes);
    /// The number that the text of the node's first "UserData" extension starts with (0 when it
    /// starts with none); null without such an extension.
    virtual std::unique_ptr<UserDataBase> createUserData() const;

    UaNodeId nodeId() const { return m_nodeId; }
    UaQualifiedName browseName() const { return m_browseName; }
    UaLocalizedText displayName() const { return m_displayName; }
    UaLocalizedText description() const { return m_description; }
    std::uint32_t writeMask() const { return m_writeMask; }
    std::uint32_t userWriteMask() const { return m_userWriteMask; }
    UaNodeId parentNodeId() const { return m_parentNodeId; }
    std::vector<Reference> references() const { return m_references; }
    std::vector<Extension> extensions() const { return m_extensions; }

    void setBrowseName(UaQualifiedName browseName) { m_browseName = std::move(browseName); }
    void setDisplayName(UaLocalizedText displayName) { m_displayName = std::move(displayName); }
    void setDescription(UaLocalizedText description) { m_description = std::move(description); }
    void setWriteMask(std::uint32_t writeMask) { m_writeMask = writeMask; }
    void setUserWriteMask(std::uint32_t userWriteMask) { m_userWriteMask = userWriteMask; }
    void setParentNodeId(const UaNodeId& parentNodeId) { m_parentNodeId = parentNodeId; }

    /// Appends the reference unless an equal one (type, direction, target) is already there.
    void addReference(const Reference& reference);
    /// The same for a reference given by its parts, built in place (readers add tens of
    /// thousands). The parts must not be references of this node.
    void addReference(const UaNodeId& referenceTypeId, bool isForward, const UaNodeId& targetNodeId);
    /// Makes room for `count` references in all (a reader that knows how many are coming).
    void reserveReferences(std::size_t count) { m_references.reserve(count); }
    /// Removes the first equal reference, if any.
    void removeReference(const Reference& reference);
    void addExtension(const Extension& extension) { m_extensions.push_back(extension); }

    /// The node's parent for browsing: from the child links when there are any, else from the
    /// last inverse hierarchical reference (an inverse HasSubtype ends the search at once). The
    /// ParentNodeId attribute alone makes no parent. Outputs not found are left as they were;
    /// true when a parent was found.
    bool getParent(UaNodeId& parentNodeId, UaNodeId& referenceTypeId) const;

protected:
    const std::vector<Reference>& referenceList() const { return m_references; }

private:
    bool isIndexed(const UaNodeId& referenceTypeId, bool isForward, const UaNodeId& targetNodeId) const;
    void indexReference(std::uint32_t position);
    void rebuildReferenceIndex();
    bool getParentFromChildLinks(UaNodeId& parentNodeId, UaNodeId& referenceTypeId) const;
    bool getParentFromReferences(UaNodeId& parentNodeId, UaNodeId& referenceTypeId) const;

    UaNodeId m_nodeId;
    UaQualifiedName m_browseName;
    UaLocalizedText m_displayName;
    UaLocalizedText m_description;
    std::uint32_t m_writeMask = 0;
    std::uint32_t m_userWriteMask = 0;
    UaNodeId m_parentNodeId;
    std::vector<Reference> m_references;
    // Positions (plus one; 0 is a free slot) of the references in an open-addressing table, for
    // the duplicate check once the list is long: a type node such as a modelling rule is the
    // target of thousands of references, and a scan per added inverse reference would make
    // reading a nodeset quadratic. Empty while the list is short.
    std::vector<std::uint32_t> m_referenceIndex;
    std::vector<ChildLink> m_childLinks;
    std::vector<Extension> m_extensions;
};

} // namespace UaBase
