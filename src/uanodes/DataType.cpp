#include "uanodes/DataType.h"

#include "uanodes/NodeMap.h"
#include "uanodes/StandardNodeIds.h"

namespace UaBase {

void DataType::addInverseReferences(NodeMap& nodes)
{
    TypeNode::addInverseReferences(nodes);
    for (const Reference& reference : referenceList()) {
        if (!reference.isForward() || !isStandardNode(reference.referenceTypeId(), reference_type_ids::HasEncoding))
            continue;
        const BaseNode* encoding = nodes.find(reference.targetNodeId());
        if (!encoding)
            continue;
        const UaQualifiedName encodingName = encoding->browseName();
        if (encodingName.namespaceIndex() != 0)
            continue;
        if (encodingName.name() == UaString("Default Binary"))
            m_structureDefinition.setBinaryEncodingId(encoding->nodeId());
        else if (encodingName.name() == UaString("Default XML"))
            m_structureDefinition.setXmlEncodingId(encoding->nodeId());
    }
    // A structure known only through its encodings is still named, so that it gets completed.
    if (m_structureDefinition.dataTypeId().isNull()
        && (!m_structureDefinition.binaryEncodingId().isNull() || !m_structureDefinition.xmlEncodingId().isNull())) {
        m_structureDefinition.setDataTypeId(nodeId());
        m_structureDefinition.setDescription(description());
        m_structureDefinition.setName(browseName().name());
    }
}

} // namespace UaBase
