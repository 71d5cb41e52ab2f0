#pragma once

#include "nodeconfig/AlarmHistoryEntry.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class UaString;

namespace nodeconfig {

class NodeTree;

/// One item of the Alarms & Historical Data tree: its node with the item's entry (flags, icon
/// and, under the alarm root, the limits), in its parent's list of children. Owned by the tree.
class NodeTreeItem {
public:
    const AlarmHistoryEntry& entry() const { return m_entry; }
    AlarmHistoryEntry& entry() { return m_entry; }
    /// `UaNodeId::toString` of the node's identifier, the text items are found by.
    const std::string& idText() const { return m_idText; }
    /// The text of the node's display name.
    UaString text() const;

    NodeTreeItem* parent() const { return m_parent; }
    /// The position among the parent's children (among the roots for a root).
    std::size_t row() const { return m_row; }
    std::size_t childCount() const { return m_children.size(); }
    NodeTreeItem* child(std::size_t row) const { return m_children[row].get(); }

private:
    friend class NodeTree;
    NodeTreeItem(AlarmHistoryEntry entry, std::string idText, NodeTreeItem* parent, std::size_t row);

    AlarmHistoryEntry m_entry;
    std::string m_idText;
    NodeTreeItem* m_parent = nullptr;
    std::size_t m_row = 0;
    std::vector<std::unique_ptr<NodeTreeItem>> m_children;
};

/// Told of every change of a tree, so that a view can follow it. Changes made between
/// beginBulkChange and endBulkChange come as one reset.
class NodeTreeListener {
public:
    virtual ~NodeTreeListener() = default;
    virtual void aboutToReset() = 0;
    virtual void reset() = 0;
    /// An item goes in as child `row` of `parent` (null: a root).
    virtual void aboutToInsert(const NodeTreeItem* parent, std::size_t row) = 0;
    virtual void inserted() = 0;
    virtual void aboutToRemove(const NodeTreeItem& item) = 0;
    virtual void removed() = 0;
    virtual void imageChanged(const NodeTreeItem& item) = 0;
};

/// The items of the tree in their order, with an index from identifier text to items so that
/// finding the first item of a text in depth-first order does not walk the whole tree.
class NodeTree {
public:
    NodeTree() = default;
    NodeTree(const NodeTree&) = delete;
    NodeTree& operator=(const NodeTree&) = delete;
    ~NodeTree();

    void setListener(NodeTreeListener* listener) { m_listener = listener; }
    /// Changes until endBulkChange are told as one reset (the redraw is off meanwhile).
    void beginBulkChange();
    void endBulkChange();

    /// Appends an item for `entry.node` (which must be set) as the last child of `parent`, or as
    /// the last root when `parent` is null.
    NodeTreeItem* append(NodeTreeItem* parent, const AlarmHistoryEntry& entry);
    /// Deletes the item and everything below it.
    void remove(NodeTreeItem& item);
    void clear();
    void setImage(NodeTreeItem& item, std::int32_t image);
    /// Puts the children of `parent` in order; items that compare equal keep their order.
    void sortChildren(NodeTreeItem& parent,
        const std::function<bool(const NodeTreeItem&, const NodeTreeItem&)>& before);

    std::size_t rootCount() const { return m_roots.size(); }
    NodeTreeItem* root(std::size_t row) const { return m_roots[row].get(); }
    /// The root above `item`; null for a root itself and for null.
    NodeTreeItem* rootOf(const NodeTreeItem* item) const;

    /// The first item whose identifier text is `idText`, searched depth first from `start`:
    /// the item itself, the items below it, then its following siblings with theirs. Null when
    /// there is none or `start` is null.
    NodeTreeItem* find(const NodeTreeItem* start, std::string_view idText) const;

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view> {}(text); }
    };
    using Siblings = std::vector<std::unique_ptr<NodeTreeItem>>;

    static void renumber(Siblings& siblings, std::size_t from);
    Siblings& siblingsOf(const NodeTreeItem& item);
    void unindex(const NodeTreeItem& item);
    bool isQuiet() const { return m_bulkDepth > 0 || !m_listener; }

    Siblings m_roots;
    std::unordered_map<std::string, std::vector<NodeTreeItem*>, TextHash, std::equal_to<>> m_byText;
    NodeTreeListener* m_listener = nullptr;
    int m_bulkDepth = 0;
};

} // namespace nodeconfig
