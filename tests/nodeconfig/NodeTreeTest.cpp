#include "nodeconfig/NodeTree.h"

#include "uanodes/Object.h"
#include "uatypes/UaString.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace nodeconfig;

const NodeTreeItem* nextSibling(const NodeTree& tree, const NodeTreeItem* item)
{
    const std::size_t next = item->row() + 1;
    if (const NodeTreeItem* parent = item->parent())
        return next < parent->childCount() ? parent->child(next) : nullptr;
    return next < tree.rootCount() ? tree.root(next) : nullptr;
}

/// The search the index stands in for: the item, its children, then its following siblings.
const NodeTreeItem* walk(const NodeTree& tree, const NodeTreeItem* item, const std::string& text)
{
    for (; item; item = nextSibling(tree, item)) {
        if (item->idText() == text)
            return item;
        if (item->childCount() > 0) {
            if (const NodeTreeItem* found = walk(tree, item->child(0), text))
                return found;
        }
    }
    return nullptr;
}

std::vector<const NodeTreeItem*> allItems(const NodeTree& tree)
{
    std::vector<const NodeTreeItem*> items;
    std::vector<const NodeTreeItem*> open;
    for (std::size_t row = tree.rootCount(); row-- > 0;)
        open.push_back(tree.root(row));
    while (!open.empty()) {
        const NodeTreeItem* item = open.back();
        open.pop_back();
        items.push_back(item);
        for (std::size_t row = item->childCount(); row-- > 0;)
            open.push_back(item->child(row));
    }
    return items;
}

/// Nodes with only a few identifiers between them, so that texts repeat across the tree.
struct NodePool {
    NodePool()
    {
        for (std::uint32_t id = 1; id <= 6; ++id) {
            auto node = std::make_unique<UaBase::Object>(UaNodeId(id, 2));
            node->setDisplayName(UaLocalizedText(UaString("en"), UaString(std::to_string(7 - id).c_str())));
            nodes.push_back(std::move(node));
        }
    }
    AlarmHistoryEntry entry(std::size_t i) const
    {
        AlarmHistoryEntry e;
        e.node = nodes[i % nodes.size()].get();
        return e;
    }
    std::vector<std::unique_ptr<UaBase::Object>> nodes;
};

TEST(NodeTreeTest, TheIndexedSearchFindsWhatTheDepthFirstWalkFinds)
{
    NodePool pool;
    std::mt19937 random(16);
    for (int round = 0; round < 20; ++round) {
        NodeTree tree;
        for (std::size_t i = 0; i < 3; ++i)
            tree.append(nullptr, pool.entry(i));
        for (int step = 0; step < 120; ++step) {
            const std::vector<const NodeTreeItem*> items = allItems(tree);
            auto* at = const_cast<NodeTreeItem*>(items[random() % items.size()]);
            const unsigned action = random() % 10;
            if (action < 7) {
                tree.append(at, pool.entry(random()));
            } else if (action < 9 && at->parent()) {
                tree.remove(*at);
            } else {
                tree.sortChildren(*at,
                    [](const NodeTreeItem& a, const NodeTreeItem& b) { return a.text().view() < b.text().view(); });
            }
        }
        for (const NodeTreeItem* start : allItems(tree)) {
            for (const auto& node : pool.nodes) {
                const std::string text = node->nodeId().toString().toStdString();
                ASSERT_EQ(tree.find(start, text), walk(tree, start, text)) << "round " << round << " text " << text;
            }
        }
    }
}

TEST(NodeTreeTest, RowsFollowRemovalsAndRootOfNamesTheTopItem)
{
    NodePool pool;
    NodeTree tree;
    NodeTreeItem* root = tree.append(nullptr, pool.entry(0));
    NodeTreeItem* a = tree.append(root, pool.entry(1));
    NodeTreeItem* b = tree.append(root, pool.entry(2));
    NodeTreeItem* c = tree.append(root, pool.entry(3));
    NodeTreeItem* leaf = tree.append(b, pool.entry(4));
    EXPECT_EQ(tree.rootOf(leaf), root);
    EXPECT_EQ(tree.rootOf(root), nullptr);
    EXPECT_EQ(tree.rootOf(nullptr), nullptr);

    tree.remove(*b);
    EXPECT_EQ(root->childCount(), 2u);
    EXPECT_EQ(a->row(), 0u);
    EXPECT_EQ(c->row(), 1u);
    // The removed item's subtree is gone from the index too.
    EXPECT_EQ(tree.find(root, "ns=2;i=5"), nullptr);
    EXPECT_EQ(tree.find(root, "ns=2;i=4"), c);
    EXPECT_EQ(tree.find(nullptr, "ns=2;i=4"), nullptr);
}

} // namespace
