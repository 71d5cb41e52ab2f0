#include "nodeconfig/NodeTree.h"

#include "uanodes/BaseNode.h"
#include "uatypes/UaString.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace nodeconfig {
namespace {

/// The rows from the root down to `item`: in depth-first order an item comes before another
/// exactly when its path sorts first (an item's path is a prefix of its descendants').
std::vector<std::size_t> pathOf(const NodeTreeItem* item)
{
    std::vector<std::size_t> rows;
    for (; item; item = item->parent())
        rows.push_back(item->row());
    std::reverse(rows.begin(), rows.end());
    return rows;
}

bool comesBefore(const NodeTreeItem* a, const NodeTreeItem* b)
{
    const std::vector<std::size_t> pathA = pathOf(a);
    const std::vector<std::size_t> pathB = pathOf(b);
    return std::lexicographical_compare(pathA.begin(), pathA.end(), pathB.begin(), pathB.end());
}

/// Whether the search from `start` reaches `item`: it lies below `start` or below one of the
/// siblings that follow `start`.
bool isReachedFrom(const NodeTreeItem* start, const NodeTreeItem* item)
{
    for (; item; item = item->parent()) {
        if (item->parent() == start->parent())
            return item->row() >= start->row();
    }
    return false;
}

} // namespace

NodeTreeItem::NodeTreeItem(AlarmHistoryEntry entry, std::string idText, NodeTreeItem* parent, std::size_t row)
    : m_entry(std::move(entry))
    , m_idText(std::move(idText))
    , m_parent(parent)
    , m_row(row)
{
}

UaString NodeTreeItem::text() const { return m_entry.node->displayName().text(); }

NodeTree::~NodeTree() = default;

void NodeTree::beginBulkChange()
{
    if (m_bulkDepth++ == 0 && m_listener)
        m_listener->aboutToReset();
}

void NodeTree::endBulkChange()
{
    assert(m_bulkDepth > 0 && "bulk change ended twice");
    if (--m_bulkDepth == 0 && m_listener)
        m_listener->reset();
}

NodeTreeItem* NodeTree::append(NodeTreeItem* parent, const AlarmHistoryEntry& entry)
{
    assert(entry.node && "a tree item stands for a node");
    Siblings& siblings = parent ? parent->m_children : m_roots;
    const std::size_t row = siblings.size();
    if (!isQuiet())
        m_listener->aboutToInsert(parent, row);
    std::string idText = entry.node->nodeId().toString().toStdString();
    siblings.push_back(std::unique_ptr<NodeTreeItem>(new NodeTreeItem(entry, std::move(idText), parent, row)));
    NodeTreeItem* item = siblings.back().get();
    m_byText[item->m_idText].push_back(item);
    if (!isQuiet())
        m_listener->inserted();
    return item;
}

void NodeTree::remove(NodeTreeItem& item)
{
    if (!isQuiet())
        m_listener->aboutToRemove(item);
    unindex(item);
    Siblings& siblings = siblingsOf(item);
    const std::size_t row = item.m_row;
    siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(row));
    renumber(siblings, row);
    if (!isQuiet())
        m_listener->removed();
}

void NodeTree::clear()
{
    beginBulkChange();
    m_roots.clear();
    m_byText.clear();
    endBulkChange();
}

void NodeTree::setImage(NodeTreeItem& item, std::int32_t image)
{
    if (item.m_entry.image == image)
        return;
    item.m_entry.image = image;
    if (!isQuiet())
        m_listener->imageChanged(item);
}

void NodeTree::sortChildren(NodeTreeItem& parent,
    const std::function<bool(const NodeTreeItem&, const NodeTreeItem&)>& before)
{
    beginBulkChange();
    std::stable_sort(parent.m_children.begin(), parent.m_children.end(), [&before](const auto& a, const auto& b) {
        return before(*a, *b);
    });
    renumber(parent.m_children, 0);
    endBulkChange();
}

NodeTreeItem* NodeTree::rootOf(const NodeTreeItem* item) const
{
    if (!item || !item->m_parent)
        return nullptr;
    while (item->m_parent)
        item = item->m_parent;
    return const_cast<NodeTreeItem*>(item);
}

NodeTreeItem* NodeTree::find(const NodeTreeItem* start, std::string_view idText) const
{
    if (!start)
        return nullptr;
    const auto found = m_byText.find(idText);
    if (found == m_byText.end())
        return nullptr;
    // Items of one text are few (an item under the Objects root and one under each of the
    // other two roots, as a rule): the first of them in depth-first order wins.
    NodeTreeItem* first = nullptr;
    for (NodeTreeItem* item : found->second) {
        if (isReachedFrom(start, item) && (!first || comesBefore(item, first)))
            first = item;
    }
    return first;
}

void NodeTree::renumber(Siblings& siblings, std::size_t from)
{
    for (std::size_t row = from; row < siblings.size(); ++row)
        siblings[row]->m_row = row;
}

NodeTree::Siblings& NodeTree::siblingsOf(const NodeTreeItem& item)
{
    return item.m_parent ? item.m_parent->m_children : m_roots;
}

void NodeTree::unindex(const NodeTreeItem& item)
{
    for (const auto& child : item.m_children)
        unindex(*child);
    const auto found = m_byText.find(item.m_idText);
    if (found == m_byText.end())
        return;
    std::erase(found->second, &item);
    if (found->second.empty())
        m_byText.erase(found);
}

} // namespace nodeconfig
