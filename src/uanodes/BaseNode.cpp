#include "uanodes/BaseNode.h"

#include "uanodes/BaseNodeStandardUserData.h"
#include "uanodes/NodeMap.h"
#include "uanodes/StandardNodeIds.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace UaBase {

namespace {

/// The hierarchical reference types whose inverse names a node's parent for browsing.
bool isParentReferenceType(std::uint32_t type)
{
    switch (type) {
    case reference_type_ids::HasChild:
    case reference_type_ids::Organizes:
    case reference_type_ids::Aggregates:
    case reference_type_ids::HasProperty:
    case reference_type_ids::HasComponent:
    case reference_type_ids::HasOrderedComponent:
    case reference_type_ids::HasHistoricalConfiguration:
        return true;
    default:
        return false;
    }
}

/// The leading signed decimal number of a text, as the C library reads it, kept within 32 bits
/// (a longer number would otherwise be undefined behaviour); 0 without one.
std::int32_t leadingNumber(const UaString& text)
{
    long long value = std::strtoll(text.toUtf8(), nullptr, 10);
    value = std::clamp<long long>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(value);
}

} // namespace

bool isTypeNodeClass(NodeClass nodeClass)
{
    return nodeClass == NodeClass::ObjectType || nodeClass == NodeClass::VariableType
        || nodeClass == NodeClass::ReferenceType || nodeClass == NodeClass::DataType;
}

BaseNode::BaseNode(const UaNodeId& nodeId)
    : m_nodeId(nodeId)
{
}

BaseNode::~BaseNode() = default;

void BaseNode::setNodeId(const UaNodeId& nodeId) { m_nodeId = nodeId; }

namespace {

/// Lists up to this length are checked for duplicates by a scan; longer ones by their index.
constexpr std::size_t kIndexedReferenceCount = 16;

} // namespace

void BaseNode::addReference(const Reference& reference)
{
    // A reference of this very list would move under its own feet when the list grows.
    const bool ownElement = !m_references.empty() && &reference >= m_references.data()
        && &reference < m_references.data() + m_references.size();
    if (ownElement) {
        const Reference copy = reference;
        addReference(copy.referenceTypeId(), copy.isForward(), copy.targetNodeId());
        return;
    }
    addReference(reference.referenceTypeId(), reference.isForward(), reference.targetNodeId());
}

void BaseNode::addReference(const UaNodeId& referenceTypeId, bool isForward, const UaNodeId& targetNodeId)
{
    if (!m_referenceIndex.empty()) {
        if (isIndexed(referenceTypeId, isForward, targetNodeId))
            return;
        m_references.emplace_back(referenceTypeId, isForward, targetNodeId);
        indexReference(static_cast<std::uint32_t>(m_references.size() - 1));
        return;
    }
    for (const Reference& known : m_references) {
        if (known.is(referenceTypeId, isForward, targetNodeId))
            return;
    }
    m_references.emplace_back(referenceTypeId, isForward, targetNodeId);
    if (m_references.size() > kIndexedReferenceCount)
        rebuildReferenceIndex();
}

void BaseNode::removeReference(const Reference& reference)
{
    auto it = std::find(m_references.begin(), m_references.end(), reference);
    if (it == m_references.end())
        return;
    m_references.erase(it);
    // Positions after the removed one moved; removal is rare, so the index is built anew.
    if (!m_referenceIndex.empty())
        rebuildReferenceIndex();
}

bool BaseNode::isIndexed(const UaNodeId& referenceTypeId, bool isForward, const UaNodeId& targetNodeId) const
{
    const std::size_t mask = m_referenceIndex.size() - 1;
    for (std::size_t slot = ReferenceHash::of(referenceTypeId, isForward, targetNodeId) & mask;;
         slot = (slot + 1) & mask) {
        const std::uint32_t entry = m_referenceIndex[slot];
        if (entry == 0)
            return false;
        if (m_references[entry - 1].is(referenceTypeId, isForward, targetNodeId))
            return true;
    }
}

void BaseNode::indexReference(std::uint32_t position)
{
    // At most half full, so that probe sequences stay short.
    if ((m_references.size()) * 2 > m_referenceIndex.size()) {
        rebuildReferenceIndex();
        return;
    }
    const std::size_t mask = m_referenceIndex.size() - 1;
    std::size_t slot = ReferenceHash {}(m_references[position]) & mask;
    while (m_referenceIndex[slot] != 0)
        slot = (slot + 1) & mask;
    m_referenceIndex[slot] = position + 1;
}

void BaseNode::rebuildReferenceIndex()
{
    std::size_t size = 64;
    while (size < m_references.size() * 4)
        size *= 2;
    m_referenceIndex.assign(size, 0);
    for (std::size_t position = 0; position < m_references.size(); ++position)
        indexReference(static_cast<std::uint32_t>(position));
}

void BaseNode::addInverseReferences(NodeMap& nodes)
{
    // By index: a reference of the node to itself adds to the very list being walked (and the
    // inverse of that added reference is the original, already there).
    for (std::size_t i = 0; i < m_references.size(); ++i) {
        BaseNode* target = nodes.find(m_references[i].targetNodeId());
        if (target == this)
            addReference(m_references[i].inverseFrom(m_nodeId));
        else if (target)
            target->addReference(m_references[i].referenceTypeId(), !m_references[i].isForward(), m_nodeId);
    }
}

void BaseNode::linkChildren(NodeMap& nodes)
{
    if (m_parentNodeId.isNull())
        return;
    BaseNode* parent = nodes.find(m_parentNodeId);
    if (!parent || parent == this)
        return;
    // The link takes the type of the reference that joins the two nodes, if there is one.
    UaNodeId referenceTypeId;
    for (const Reference& reference : m_references) {
        if (!reference.isForward() && reference.targetNodeId() == m_parentNodeId) {
            referenceTypeId = reference.referenceTypeId();
            break;
        }
    }
    ChildLink link { referenceTypeId, parent, this };
    m_childLinks.push_back(link);
    parent->m_childLinks.push_back(link);
}

std::unique_ptr<UserDataBase> BaseNode::createUserData() const
{
    auto extension = std::find_if(m_extensions.begin(), m_extensions.end(), [](const Extension& candidate) {
        return candidate.name() == UaString("UserData");
    });
    if (extension == m_extensions.end())
        return nullptr;
    return std::make_unique<BaseNodeStandardUserData>(leadingNumber(extension->text()));
}

bool BaseNode::getParent(UaNodeId& parentNodeId, UaNodeId& referenceTypeId) const
{
    if (getParentFromChildLinks(parentNodeId, referenceTypeId))
        return true;
    return getParentFromReferences(parentNodeId, referenceTypeId);
}

bool BaseNode::getParentFromChildLinks(UaNodeId& parentNodeId, UaNodeId& referenceTypeId) const
{
    bool found = false;
    for (const ChildLink& link : m_childLinks) {
        if (link.child != this || !link.parent)
            continue;
        parentNodeId = link.parent->nodeId();
        referenceTypeId = link.referenceTypeId;
        found = true;
        if (parentNodeId == m_parentNodeId)
            break;
    }
    return found;
}

bool BaseNode::getParentFromReferences(UaNodeId& parentNodeId, UaNodeId& referenceTypeId) const
{
    bool found = false;
    for (const Reference& reference : m_references) {
        const UaNodeId& type = reference.referenceTypeId();
        if (reference.isForward() || !isStandardNumeric(type))
            continue;
        if (type.identifierNumeric() == reference_type_ids::HasSubtype) {
            parentNodeId = reference.targetNodeId();
            referenceTypeId = type;
            return true;
        }
        if (isParentReferenceType(type.identifierNumeric())) {
            parentNodeId = reference.targetNodeId();
            referenceTypeId = type;
            found = true;
        }
    }
    return found;
}

} // namespace UaBase
