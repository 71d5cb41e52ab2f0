#pragma once

#include "uabase/BaseNode.h"
#include "uabase/UaNodeId.h"

#include <cstddef>
#include <map>
#include <memory>
#include <unordered_map>

namespace UaBase {

/// The nodes of one nodeset, ordered by node identifier. The map owns its nodes: a node given
/// to it is deleted with the map, by clear or by erase, and leaves the map alive only through
/// take. Pointers handed out stay valid while the node is in the map.
class NodeMap {
public:
    using Storage = std::map<UaNodeId, std::unique_ptr<BaseNode>>;
    using const_iterator = Storage::const_iterator;

    NodeMap() = default;
    NodeMap(NodeMap&&) noexcept = default;
    NodeMap& operator=(NodeMap&&) noexcept = default;
    NodeMap(const NodeMap&) = delete;
    NodeMap& operator=(const NodeMap&) = delete;

    /// Stores the node under its node identifier. A node whose identifier is already taken is
    /// refused and deleted, and the node in the map stays; false then.
    bool insert(std::unique_ptr<BaseNode> node);

    /// The node stored under the identifier, or null.
    BaseNode* find(const UaNodeId& nodeId) const;
    bool contains(const UaNodeId& nodeId) const { return m_index.count(nodeId) != 0; }

    /// Deletes the node stored under the identifier; false when there is none.
    bool erase(const UaNodeId& nodeId);
    /// Hands the node stored under the identifier to the caller and removes its entry.
    std::unique_ptr<BaseNode> take(const UaNodeId& nodeId);
    /// Deletes every node.
    void clear()
    {
        m_index.clear();
        m_nodes.clear();
    }

    std::size_t size() const { return m_nodes.size(); }
    bool empty() const { return m_nodes.empty(); }

    /// Entries in identifier order: `for (const auto& [nodeId, node] : map)`.
    const_iterator begin() const { return m_nodes.begin(); }
    const_iterator end() const { return m_nodes.end(); }

private:
    Storage m_nodes;
    // The same nodes by hash, for find: a nodeset's references make tens of thousands of
    // lookups, and a walk down the ordered tree touches a dozen entries for each.
    std::unordered_map<UaNodeId, BaseNode*> m_index;
};

} // namespace UaBase
