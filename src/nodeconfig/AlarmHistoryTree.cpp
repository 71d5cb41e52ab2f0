#include "nodeconfig/AlarmHistoryTree.h"

#include "nodeconfig/NodeConfiguration.h"
#include "nodeconfig/NodesetEditor.h"
#include "nodeconfig/SettingsBlock.h"
#include "uanodes/NodeMap.h"
#include "uanodes/Variable.h"
#include "uatypes/UaString.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace nodeconfig {
namespace {

constexpr std::string_view kIdentifierBreaksLines = "This variable cannot have an alarm: its identifier holds a line "
                                                    "break, which the node configuration file cannot keep.";

void setUpRoot(UaBase::Object& root, const UaNodeId& nodeId, const char* name)
{
    root.setNodeId(nodeId);
    root.setBrowseName(UaQualifiedName(UaString(name), 0));
    root.setDisplayName(UaLocalizedText(UaString("en"), UaString(name)));
    root.setWriteMask(0);
    root.setUserWriteMask(0);
}

NodeIcon classIcon(UaBase::NodeClass nodeClass)
{
    switch (nodeClass) {
    case UaBase::NodeClass::Object:
        return NodeIcon::Object;
    case UaBase::NodeClass::Variable:
        return NodeIcon::Variable;
    case UaBase::NodeClass::Method:
        return NodeIcon::Method;
    case UaBase::NodeClass::ObjectType:
        return NodeIcon::ObjectType;
    case UaBase::NodeClass::VariableType:
        return NodeIcon::VariableType;
    case UaBase::NodeClass::ReferenceType:
        return NodeIcon::ReferenceType;
    case UaBase::NodeClass::DataType:
        return NodeIcon::DataType;
    case UaBase::NodeClass::View:
        return NodeIcon::View;
    case UaBase::NodeClass::Unspecified:
        break;
    }
    return NodeIcon::Folder;
}

const UaBase::Variable* asVariable(const UaBase::BaseNode* node)
{
    return node && node->nodeClass() == UaBase::NodeClass::Variable ? static_cast<const UaBase::Variable*>(node)
                                                                    : nullptr;
}

int foldedCompare(std::string_view a, std::string_view b)
{
    const auto fold = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte;
    };
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return fold(a[i]) < fold(b[i]) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

/// Texts in the order of a list sorted by name: letters of either case together.
bool textBefore(const NodeTreeItem& a, const NodeTreeItem& b)
{
    const UaString textA = a.text();
    const UaString textB = b.text();
    const int folded = foldedCompare(textA.view(), textB.view());
    return folded != 0 ? folded < 0 : textA.view() < textB.view();
}

std::string parentTextOf(const UaBase::BaseNode& node)
{
    UaNodeId parent;
    UaNodeId referenceType;
    node.getParent(parent, referenceType);
    return parent.toString().toStdString();
}

} // namespace

AlarmHistoryTree::AlarmHistoryTree(ConfigureRequest& request, XmlTreeHost& host)
    : m_request(request)
    , m_host(host)
{
    setUpRoot(m_objectsNode, UaNodeId(85, 0), "Objects");
    setUpRoot(m_alarmNode, UaNodeId(UaString("Tavox_AlarmObject"), 0), "Alarm Event");
    setUpRoot(m_historyNode, UaNodeId(UaString("Tavox_HistoryObject"), 0), "Historical Data");
}

void AlarmHistoryTree::Initialise()
{
    m_tree.beginBulkChange();
    ResetTree();
    BuildNodeTree();
    MarkConfiguredNodes();
    m_tree.endBulkChange();
}

void AlarmHistoryTree::ResetTree()
{
    m_host.showAttributes({}, {});
    m_selected = nullptr;
    m_tree.clear();
    m_tree.beginBulkChange();
    for (UaBase::Object* root : { &m_objectsNode, &m_alarmNode, &m_historyNode }) {
        AlarmHistoryEntry entry;
        entry.node = root;
        entry.image = static_cast<std::int32_t>(NodeIcon::Folder);
        m_tree.append(nullptr, entry);
    }
    m_objectsItem = m_tree.root(0);
    m_alarmItem = m_tree.root(1);
    m_historyItem = m_tree.root(2);
    m_tree.endBulkChange();
}

NodeTreeItem* AlarmHistoryTree::parentItemFor(const std::string& parentText, NodeTreeItem*& remembered) const
{
    if (remembered && remembered->idText() == parentText)
        return remembered;
    remembered = FindTreeItem(m_objectsItem, parentText);
    return remembered;
}

void AlarmHistoryTree::BuildNodeTree()
{
    struct Pending {
        UaBase::BaseNode* node;
        std::string parentText;
    };
    m_tree.beginBulkChange();
    NodeTreeItem* remembered = nullptr;
    std::vector<Pending> pending;
    for (const auto& [nodeId, node] : m_request.nodes) {
        std::string parentText = parentTextOf(*node);
        if (NodeTreeItem* parent = parentItemFor(parentText, remembered))
            InsertNodeItem(parent, node.get(), std::nullopt);
        else
            pending.push_back({ node.get(), std::move(parentText) });
    }
    // A node whose parent comes later in the map waits for a pass after its parent's.
    for (bool placedAny = true; placedAny && !pending.empty();) {
        placedAny = false;
        std::vector<bool> placed(pending.size(), false);
        for (std::size_t i = pending.size(); i-- > 0;) {
            if (NodeTreeItem* parent = parentItemFor(pending[i].parentText, remembered)) {
                InsertNodeItem(parent, pending[i].node, std::nullopt);
                placed[i] = placedAny = true;
            }
        }
        std::size_t kept = 0;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            if (!placed[i])
                pending[kept++] = std::move(pending[i]);
        }
        pending.resize(kept);
    }
    m_tree.sortChildren(*m_objectsItem, textBefore);
    m_tree.endBulkChange();
}

void AlarmHistoryTree::MarkConfiguredNodes()
{
    for (const AlarmHistoryEntry* entry : m_request.entries) {
        if (!entry || !entry->node)
            continue;
        const std::string idText = entry->node->nodeId().toString().toStdString();
        if (entry->isAlarm()) {
            if (NodeTreeItem* alarm = InsertNodeItem(m_alarmItem, entry->node, NodeIcon::AlarmItem)) {
                AlarmHistoryEntry& copy = alarm->entry();
                copy.highHighLimit = entry->highHighLimit;
                copy.highLimit = entry->highLimit;
                copy.lowLimit = entry->lowLimit;
                copy.lowLowLimit = entry->lowLowLimit;
                copy.flags |= kEntryAlarm;
            }
            setFlags(FindTreeItem(m_objectsItem, idText), kEntryAlarm);
        }
        if (entry->isHistory()) {
            if (NodeTreeItem* history = InsertNodeItem(m_historyItem, entry->node, NodeIcon::HistoryItem))
                history->entry().flags |= kEntryHistory;
            setFlags(FindTreeItem(m_objectsItem, idText), kEntryHistory);
        }
    }
}

void AlarmHistoryTree::setFlags(NodeTreeItem* item, std::uint16_t flags)
{
    if (!item)
        return;
    item->entry().flags |= flags;
    UpdateItemImage(*item);
}

NodeTreeItem*
AlarmHistoryTree::InsertNodeItem(NodeTreeItem* parent, UaBase::BaseNode* node, std::optional<NodeIcon> icon)
{
    if (!parent || !node)
        return nullptr;
    AlarmHistoryEntry entry;
    entry.node = node;
    entry.image = static_cast<std::int32_t>(icon.value_or(classIcon(node->nodeClass())));
    return m_tree.append(parent, entry);
}

NodeTreeItem* AlarmHistoryTree::FindTreeItem(const NodeTreeItem* start, std::string_view idText) const
{
    return m_tree.find(start, idText);
}

void AlarmHistoryTree::UpdateItemImage(NodeTreeItem& item)
{
    const std::uint16_t flags = item.entry().flags;
    NodeIcon icon = NodeIcon::Variable;
    if ((flags & kEntryAlarm) && (flags & kEntryHistory))
        icon = NodeIcon::VariableWithAlarmAndHistory;
    else if (flags & kEntryHistory)
        icon = NodeIcon::VariableWithHistory;
    else if (flags & kEntryAlarm)
        icon = NodeIcon::VariableWithAlarm;
    m_tree.setImage(item, static_cast<std::int32_t>(icon));
}

void AlarmHistoryTree::Select(NodeTreeItem* item)
{
    m_selected = item;
    if (!item)
        return;
    ShowNodeAttributes();
    m_host.enableConditionList(RootOf(item) == m_alarmItem);
}

void AlarmHistoryTree::ShowNodeAttributes()
{
    if (!m_selected)
        return;
    m_host.showAttributes(nodeAttributeRows(*m_selected->entry().node),
        alarmConditionRows(m_selected->entry(), RootOf(m_selected) == m_alarmItem));
}

std::optional<TreeMenu> AlarmHistoryTree::contextMenu(NodeTreeItem* item)
{
    if (!item)
        return std::nullopt;
    Select(item);
    return menuOf(item);
}

std::optional<TreeMenu> AlarmHistoryTree::menuOf(const NodeTreeItem* item) const
{
    const UaBase::Variable* variable = item ? asVariable(item->entry().node) : nullptr;
    if (!variable)
        return std::nullopt;
    const AlarmDataType type = alarmDataTypeOf(variable->dataType());
    const NodeTreeItem* root = RootOf(item);
    const std::uint16_t flags = item->entry().flags;
    if (root == m_objectsItem) {
        const bool alarmable = type == AlarmDataType::Boolean || isNumeric(type);
        return TreeMenu { "Objects",
            { { TreeCommand::AddAlarmEvent, "Add Alarm Event", alarmable && (flags & kEntryAlarm) == 0 },
                { TreeCommand::AddHistoricalData, "Add Historical Data", (flags & kEntryHistory) == 0 } } };
    }
    if (root == m_alarmItem) {
        return TreeMenu { "ALARM",
            { { TreeCommand::EditCondition, "Edit Condition", type != AlarmDataType::Boolean },
                { TreeCommand::RemoveAlarm, "Remove Alarm", true } } };
    }
    if (root == m_historyItem)
        return TreeMenu { "History", { { TreeCommand::RemoveHistorical, "Remove Historical", true } } };
    return std::nullopt;
}

bool AlarmHistoryTree::isEnabled(TreeCommand command) const
{
    const std::optional<TreeMenu> menu = menuOf(m_selected);
    if (!menu)
        return false;
    return std::any_of(menu->items.begin(), menu->items.end(), [command](const TreeMenuItem& item) {
        return item.command == command && item.enabled;
    });
}

bool AlarmHistoryTree::execute(TreeCommand command)
{
    if (!isEnabled(command))
        return false;
    const bool setsAlarm = command == TreeCommand::AddAlarmEvent || command == TreeCommand::EditCondition;
    if (setsAlarm && !fitsOnALine(m_selected->entry().node->nodeId().identifierString().view())) {
        // The block lists an alarm by its identifier, one line each.
        m_host.tellFailure(kIdentifierBreaksLines);
        ShowNodeAttributes();
        return false;
    }
    bool done = false;
    std::string_view failure;
    switch (command) {
    case TreeCommand::AddAlarmEvent:
        done = AddOrEditAlarm();
        failure = "Set Alarm Fail...";
        break;
    case TreeCommand::AddHistoricalData:
        done = addHistoricalData();
        failure = "Set History Fail...";
        break;
    case TreeCommand::EditCondition:
        done = AddOrEditAlarm();
        failure = "Modify Alarm Fail...";
        break;
    case TreeCommand::RemoveAlarm:
        done = removeFlag(kEntryAlarm);
        failure = "Disable Alarm Fail...";
        break;
    case TreeCommand::RemoveHistorical:
        done = removeFlag(kEntryHistory);
        failure = "Disable History Fail...";
        break;
    }
    if (!done)
        m_host.tellFailure(failure);
    // The lists follow the change: new limits show at once; a removed item leaves them empty.
    if (m_selected)
        ShowNodeAttributes();
    else
        m_host.showAttributes({}, {});
    return done;
}

bool AlarmHistoryTree::AddOrEditAlarm()
{
    const UaBase::Variable* variable = m_selected ? asVariable(m_selected->entry().node) : nullptr;
    if (!variable)
        return false;
    NodeTreeItem& item = *m_selected;
    const NodeTreeItem* root = RootOf(&item);
    const AlarmDataType type = alarmDataTypeOf(variable->dataType());
    if (type == AlarmDataType::Boolean) {
        // A Boolean alarm has no limits to ask for.
        setFlags(&item, kEntryAlarm);
        if (root == m_objectsItem) {
            if (NodeTreeItem* alarm = InsertNodeItem(m_alarmItem, item.entry().node, NodeIcon::AlarmItem))
                alarm->entry().flags |= kEntryAlarm;
        }
        return true;
    }
    AlarmLimits limits {
        item.entry().highHighLimit, item.entry().highLimit, item.entry().lowLimit, item.entry().lowLowLimit
    };
    if (!m_host.editAlarmLimits(type, limits))
        return true;
    setFlags(&item, kEntryAlarm);
    NodeTreeItem* target = nullptr;
    if (root == m_objectsItem)
        target = InsertNodeItem(m_alarmItem, item.entry().node, NodeIcon::AlarmItem);
    else if (root == m_alarmItem)
        target = FindTreeItem(m_alarmItem, item.idText());
    if (!target)
        return false;
    AlarmHistoryEntry& entry = target->entry();
    entry.flags |= kEntryAlarm;
    entry.highHighLimit = std::move(limits.highHigh);
    entry.highLimit = std::move(limits.high);
    entry.lowLimit = std::move(limits.low);
    entry.lowLowLimit = std::move(limits.lowLow);
    return true;
}

bool AlarmHistoryTree::addHistoricalData()
{
    if (!m_selected)
        return false;
    setFlags(m_selected, kEntryHistory);
    NodeTreeItem* history = InsertNodeItem(m_historyItem, m_selected->entry().node, NodeIcon::HistoryItem);
    if (!history)
        return false;
    history->entry().flags |= kEntryHistory;
    return true;
}

bool AlarmHistoryTree::removeFlag(std::uint16_t flag)
{
    if (!m_selected)
        return false;
    NodeTreeItem* variable = FindTreeItem(m_objectsItem, m_selected->idText());
    if (!variable)
        return false;
    variable->entry().flags &= static_cast<std::uint16_t>(~flag);
    UpdateItemImage(*variable);
    NodeTreeItem* removed = m_selected;
    m_selected = nullptr;
    m_tree.remove(*removed);
    return true;
}

void AlarmHistoryTree::ApplyTreeChanges()
{
    std::vector<const AlarmHistoryEntry*> alarms;
    for (std::size_t row = 0; row < m_alarmItem->childCount(); ++row)
        alarms.push_back(&m_alarmItem->child(row)->entry());
    std::vector<const AlarmHistoryEntry*> histories;
    for (std::size_t row = 0; row < m_historyItem->childCount(); ++row)
        histories.push_back(&m_historyItem->child(row)->entry());
    nodeconfig::ApplyTreeChanges(m_request.document, alarms, histories, m_request.entries);
}

} // namespace nodeconfig
