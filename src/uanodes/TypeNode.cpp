#include "uanodes/TypeNode.h"

#include "uanodes/NodeMap.h"
#include "uanodes/StandardNodeIds.h"

namespace UaBase {

void TypeNode::addInverseReferences(NodeMap& nodes)
{
    BaseNode::addInverseReferences(nodes);
    // Type nodes read from a file never carry ParentNodeId; a node that does is placed by it.
    if (!parentNodeId().isNull())
        return;
    for (const Reference& reference : referenceList()) {
        if (!isStandardNode(reference.referenceTypeId(), reference_type_ids::HasSubtype))
            continue;
        BaseNode* target = nodes.find(reference.targetNodeId());
        if (!target) {
            // A super type from another nodeset is still this node's super type.
            if (!reference.isForward())
                setSuperType(reference.targetNodeId());
            continue;
        }
        auto* targetType = isTypeNodeClass(target->nodeClass()) ? dynamic_cast<TypeNode*>(target) : nullptr;
        if (!targetType)
            continue;
        if (reference.isForward())
            targetType->setSuperType(nodeId());
        else
            setSuperType(targetType->nodeId());
    }
}

} // namespace UaBase
