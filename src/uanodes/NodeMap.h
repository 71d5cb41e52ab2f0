#pragma once

#include "uanodes/BaseNode.h"
#include "uatypes/UaNodeId.h"

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace UaBase {

/// The nodes of one nodeset, ordered by node identifier. The map owns its nodes: a node given
/// to it is deleted with the map, by clear or by erase, and leaves the map alive only through
/// take. Pointers handed out stay valid while the node is in the map; iterators only until the
/// map is next changed.
///
/// A nodeset's thousands of nodes are inserted once and then looked up by tens of thousands of
/// references: the entries are kept in a plain list that is put in order only when it is next
/// walked, and found through a hash table of their own.
class NodeMap {
public:
    using Entry = std::pair<UaNodeId, std::unique_ptr<BaseNode>>;
    using const_iterator = std::vector<Entry>::const_iterator;

    NodeMap() = default;
    NodeMap(NodeMap&& other) noexcept;
    NodeMap& operator=(NodeMap&& other) noexcept;
    NodeMap(const NodeMap&) = delete;
    NodeMap& operator=(const NodeMap&) = delete;
    ~NodeMap();

    /// Stores the node under its node identifier. A node whose identifier is already taken is
    /// refused and deleted, and the node in the map stays; false then.
    bool insert(std::unique_ptr<BaseNode> node);

    /// The node stored under the identifier, or null.
    BaseNode* find(const UaNodeId& nodeId) const;
    bool contains(const UaNodeId& nodeId) const { return find(nodeId) != nullptr; }

    /// Deletes the node stored under the identifier; false when there is none.
    bool erase(const UaNodeId& nodeId);
    /// Hands the node stored under the identifier to the caller and removes its entry.
    std::unique_ptr<BaseNode> take(const UaNodeId& nodeId);
    /// Deletes every node.
    void clear();

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }

    /// Entries in identifier order: `for (const auto& [nodeId, node] : map)`.
    const_iterator begin() const;
    const_iterator end() const { return m_entries.end(); }

private:
    struct Slot {
        UaNodeId key;
        BaseNode* node = nullptr; // null: free
    };

    /// The slot holding `nodeId`, or the free slot where it would go.
    std::size_t findSlot(const UaNodeId& nodeId) const;
    void removeFromIndex(std::size_t slot);
    void growIndex();
    /// The position of the entry stored under `nodeId` (which must be in the map).
    std::size_t position(const UaNodeId& nodeId) const;
    void sortEntries() const;

    // Sorted on demand by begin(), which is const for the callers' sake.
    mutable std::vector<Entry> m_entries;
    mutable bool m_sorted = true;
    // Open addressing with linear probing; at most half full. Empty until the first insert.
    std::vector<Slot> m_index;
};

} // namespace UaBase
