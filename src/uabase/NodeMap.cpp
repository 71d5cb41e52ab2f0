#include "uabase/NodeMap.h"

namespace UaBase {

bool NodeMap::insert(std::unique_ptr<BaseNode> node)
{
    if (!node)
        return false;
    UaNodeId nodeId = node->nodeId();
    BaseNode* stored = node.get();
    if (!m_nodes.try_emplace(nodeId, std::move(node)).second)
        return false;
    m_index.emplace(nodeId, stored);
    return true;
}

BaseNode* NodeMap::find(const UaNodeId& nodeId) const
{
    auto it = m_index.find(nodeId);
    return it == m_index.end() ? nullptr : it->second;
}

bool NodeMap::erase(const UaNodeId& nodeId)
{
    m_index.erase(nodeId);
    return m_nodes.erase(nodeId) != 0;
}

std::unique_ptr<BaseNode> NodeMap::take(const UaNodeId& nodeId)
{
    auto it = m_nodes.find(nodeId);
    if (it == m_nodes.end())
        return nullptr;
    m_index.erase(nodeId);
    std::unique_ptr<BaseNode> node = std::move(it->second);
    m_nodes.erase(it);
    return node;
}

} // namespace UaBase
