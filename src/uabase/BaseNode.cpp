#include "uabase/BaseNode.h"

#include "uabase/BaseNodeStandardUserData.h"
#include "uabase/NodeMap.h"
#include "uabase/StandardNodeIds.h"
#include "uabase/UaXmlDocument.h"

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
        case ReferenceTypeIds::HasChild:
        case ReferenceTypeIds::Organizes:
        case ReferenceTypeIds::Aggregates:
        case ReferenceTypeIds::HasProperty:
        case ReferenceTypeIds::HasComponent:
        case ReferenceTypeIds::HasOrderedComponent:
        case ReferenceTypeIds::HasHistoricalConfiguration:
            return true;
        default:
            return false;
        }
    }

    /// The leading signed decimal number of a text, as the C library reads it, kept within 32 bits
    /// (a longer number would otherwise be undefined behaviour); 0 without one.
    std::int32_t leadingNumber(const char* text)
    {
        long long value = std::strtoll(text, nullptr, 10);
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

void BaseNode::addReference(const Reference& reference)
{
    if (std::find(m_references.begin(), m_references.end(), reference) == m_references.end())
        m_references.push_back(reference);
}

void BaseNode::removeReference(const Reference& reference)
{
    auto it = std::find(m_references.begin(), m_references.end(), reference);
    if (it != m_references.end())
        m_references.erase(it);
}

void BaseNode::addInverseReferences(NodeMap& nodes)
{
    // A copy: a reference of the node to itself adds to the very list being walked.
    const std::vector<Reference> references = m_references;
    for (const Reference& reference : references) {
        if (BaseNode* target = nodes.find(reference.targetNodeId()))
            target->addReference(reference.inverseFrom(m_nodeId));
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
    const UaByteString& body = extension->body();
    if (body.length() <= 0)
        return nullptr;
    UaXmlDocument document;
    if (document.loadXmlMemory(reinterpret_cast<const char*>(body.data()), body.length(), nullptr) != 0)
        return nullptr;
    char* content = nullptr;
    std::int32_t value = 0;
    if (document.getContent(content) == 0)
        value = leadingNumber(content);
    UaXmlDocument::freeXmlString(content);
    return std::make_unique<BaseNodeStandardUserData>(value);
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
        if (type.identifierNumeric() == ReferenceTypeIds::HasSubtype) {
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
