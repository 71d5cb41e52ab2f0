#pragma once

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/NodeAttributes.h"
#include "nodeconfig/NodeTree.h"
#include "uanodes/Object.h"

#include <optional>
#include <string_view>
#include <vector>

namespace UaBase {
class NodeMap;
}

namespace nodeconfig {

struct AlarmLimits;
struct ConfigureRequest;

/// The commands of the tree's context menus.
enum class TreeCommand { AddAlarmEvent, AddHistoricalData, EditCondition, RemoveAlarm, RemoveHistorical };

struct TreeMenuItem {
    TreeCommand command;
    std::string_view text;
    bool enabled;
};

/// The context menu of a variable's item: "Objects", "ALARM" or "History" by the root above it.
struct TreeMenu {
    std::string_view title;
    std::vector<TreeMenuItem> items;
};

/// What the tree's logic needs of the dialog that shows it.
class XmlTreeHost {
public:
    virtual ~XmlTreeHost() = default;
    /// A command's failure: the exact text with caption "Error", an OK button, no owner window.
    virtual void tellFailure(std::string_view text) = 0;
    /// Runs the "Alarm Condition" dialog for `type` starting from `limits`; true when it ended
    /// with OK, and `limits` then holds the texts entered.
    virtual bool editAlarmLimits(AlarmDataType type, AlarmLimits& limits) = 0;
    /// Both lists filled anew for the selected item.
    virtual void showAttributes(const std::vector<AttributeRow>& attributes, const std::vector<AttributeRow>& condition)
        = 0;
    virtual void enableConditionList(bool enabled) = 0;
};

/// The logic of the "Alarms & Historical Data" dialog: the address space of the loaded node
/// configuration as a tree under "Objects", the variables with an alarm under "Alarm Event"
/// and those logged under "Historical Data", the attributes of the selected item, the context
/// menus and their commands. Every change is made on the tree; ApplyTreeChanges turns the tree
/// into edits of the document when the dialog ends with OK, and nothing else touches it.
class AlarmHistoryTree {
public:
    /// `request` is the page's: its document, nodes and the dialog's copy of the page entries.
    AlarmHistoryTree(ConfigureRequest& request, XmlTreeHost& host);
    AlarmHistoryTree(const AlarmHistoryTree&) = delete;
    AlarmHistoryTree& operator=(const AlarmHistoryTree&) = delete;

    /// ResetTree, BuildNodeTree and MarkConfiguredNodes, told to the view as one change.
    void Initialise();
    /// Empties the tree and inserts the roots "Objects", "Alarm Event" and "Historical Data".
    void ResetTree();
    /// Places the nodes of the map under the Objects root by their parents; nodes whose parent
    /// never appears are left out.
    void BuildNodeTree();
    /// Adds the page entries under the alarm and history roots and marks their variables.
    void MarkConfiguredNodes();
    /// Appends an item for `node` as the last child of `parent` with `icon`, or the icon of the
    /// node's class; null without a parent or node.
    NodeTreeItem* InsertNodeItem(NodeTreeItem* parent, UaBase::BaseNode* node, std::optional<NodeIcon> icon);
    NodeTreeItem* FindTreeItem(const NodeTreeItem* start, std::string_view idText) const;
    /// The root above `item`; null for a root itself.
    NodeTreeItem* RootOf(const NodeTreeItem* item) const { return m_tree.rootOf(item); }

    /// `item` becomes the selected item (null: none, and nothing else changes); for an item the
    /// lists show its attributes and the alarm-condition list is enabled under the alarm root.
    void Select(NodeTreeItem* item);
    /// Fills both lists for the selected item.
    void ShowNodeAttributes();
    /// Selects `item` and gives its menu when its node is a variable.
    std::optional<TreeMenu> contextMenu(NodeTreeItem* item);
    /// Runs a command of the selected item's menu when the menu enables it; a failure is told
    /// with its message. True when the command ran and succeeded.
    bool execute(TreeCommand command);
    /// "Add Alarm Event" and "Edit Condition": false when the alarm could not be set.
    bool AddOrEditAlarm();
    /// The dialog's OK: writes the tree to the document.
    void ApplyTreeChanges();

    NodeTree& tree() { return m_tree; }
    const NodeTree& tree() const { return m_tree; }
    NodeTreeItem* selectedItem() const { return m_selected; }
    NodeTreeItem* objectsRoot() const { return m_objectsItem; }
    NodeTreeItem* alarmRoot() const { return m_alarmItem; }
    NodeTreeItem* historyRoot() const { return m_historyItem; }
    /// The icon of a variable's item for its flags: 13 alarm and history, 12 history, 11 alarm,
    /// 2 neither. An item under the alarm or history root gets it too when a command changes its
    /// flags ("Edit Condition"), or when the search from the Objects root finds it there for a
    /// variable that the Objects tree does not show.
    void UpdateItemImage(NodeTreeItem& item);

private:
    std::optional<TreeMenu> menuOf(const NodeTreeItem* item) const;
    bool isEnabled(TreeCommand command) const;
    bool addHistoricalData();
    bool removeFlag(std::uint16_t flag);
    /// The parent item of a node whose parent has `parentText`, by the remembered parent first.
    NodeTreeItem* parentItemFor(const std::string& parentText, NodeTreeItem*& remembered) const;
    /// Adds `flags` to the item (none: nothing) and updates its icon.
    void setFlags(NodeTreeItem* item, std::uint16_t flags);

    ConfigureRequest& m_request;
    XmlTreeHost& m_host;
    UaBase::Object m_objectsNode;
    UaBase::Object m_alarmNode;
    UaBase::Object m_historyNode;
    NodeTree m_tree;
    NodeTreeItem* m_objectsItem = nullptr;
    NodeTreeItem* m_alarmItem = nullptr;
    NodeTreeItem* m_historyItem = nullptr;
    NodeTreeItem* m_selected = nullptr;
};

} // namespace nodeconfig
