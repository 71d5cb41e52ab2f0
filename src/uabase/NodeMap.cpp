#include "uabase/NodeMap.h"

namespace UaBase {

bool NodeMap::insert(std::unique_ptr<BaseNode> node)
{
    if (!node)
        return false;
    UaNodeId nodeId = node->nodeId();
    return m_nodes.try_emplace(nodeId, std::move(node)).second;
}

BaseNode* NodeMap::find(const UaNodeId& nodeId) const
{
    auto it = m_nodes.find(nodeId);
    return it == m_nodes.end() ? nullptr : it->second.get();
}

bool NodeMap::erase(const UaNodeId& nodeId) { return m_nodes.erase(nodeId) != 0; }

std::unique_ptr<BaseNode> NodeMap::take(const UaNodeId& nodeId)
{
    auto it = m_nodes.find(nodeId);
    if (it == m_nodes.end())
        return nullptr;
    std::unique_ptr<BaseNode> node = std::move(it->second);
    m_nodes.erase(it);
    return node;
}

} // namespace UaBase
