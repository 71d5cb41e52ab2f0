#include "nodeconfig/AlarmHistoryTree.h"

#include "nodeconfig/XmlTreeTesting.h"
#include "uanodes/BaseNode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace nodeconfig;
using namespace nodeconfig::testing;

void dump(const NodeTreeItem& item, int depth, std::vector<std::string>& lines)
{
    lines.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') + item.text().toStdString() + " ["
        + std::to_string(item.entry().image) + "]");
    for (std::size_t row = 0; row < item.childCount(); ++row)
        dump(*item.child(row), depth + 1, lines);
}

std::string limitsOf(const AlarmHistoryEntry& entry)
{
    return entry.highHighLimit + "|" + entry.highLimit + "|" + entry.lowLimit + "|" + entry.lowLowLimit;
}

/// The dialog's logic over the loaded plant, initialised as the dialog opens.
struct TreeFixture {
    TreeFixture()
        : request(page.request())
    {
        tree.Initialise();
    }
    std::vector<std::string> lines() const
    {
        std::vector<std::string> all;
        for (std::size_t row = 0; row < tree.tree().rootCount(); ++row)
            dump(*tree.tree().root(row), 0, all);
        return all;
    }
    NodeTreeItem* item(const NodeTreeItem* root, const char* idText) const
    {
        NodeTreeItem* found = tree.FindTreeItem(root, idText);
        EXPECT_NE(found, nullptr) << idText;
        EXPECT_EQ(tree.RootOf(found), root) << idText;
        return found;
    }
    NodeTreeItem* variable(const char* idText) const { return item(tree.objectsRoot(), idText); }
    /// The menu's title and its items, a "-" in front of each disabled one.
    std::string menu(NodeTreeItem* at)
    {
        const std::optional<TreeMenu> shown = tree.contextMenu(at);
        if (!shown)
            return "none";
        std::string text(shown->title);
        for (const TreeMenuItem& entry : shown->items)
            text += std::string(" | ") + (entry.enabled ? "" : "-") + std::string(entry.text);
        return text;
    }
    bool run(NodeTreeItem* at, TreeCommand command)
    {
        tree.contextMenu(at);
        return tree.execute(command);
    }

    LoadedPage page;
    ConfigureRequest request;
    ScriptedTreeHost host;
    AlarmHistoryTree tree { request, host };
};

TEST(AlarmHistoryTreeTest, TheTreeShowsTheObjectsPlacesLateParentsAndMarksTheConfiguredVariables)
{
    TreeFixture f;
    // The folder whose parent comes later in the map, and its child, are placed by later passes;
    // the variable without a parent is left out; the Objects root's children are sorted by name.
    EXPECT_EQ(f.lines(),
        (std::vector<std::string> {
            "Objects [0]",
            "  alpha [1]",
            "  Tank [1]",
            "    Fill [3]",
            "    Name [2]",
            "    Count [2]",
            "    Level [13]",
            "    Total [2]",
            "    Running [2]",
            "  Zeta [1]",
            "    Late [1]",
            "      Later [2]",
            "Alarm Event [0]",
            "  Level [9]",
            "Historical Data [0]",
            "  Level [10]",
        }));
    EXPECT_EQ(limitsOf(f.item(f.tree.alarmRoot(), "ns=2;s=Tank.Level")->entry()), "95|90|10|5");
}

TEST(AlarmHistoryTreeTest, AVariableOutsideTheObjectsTreeIsMarkedOnItsAlarmItem)
{
    // The search from the Objects root goes on into the roots that follow, where it finds the
    // orphan's alarm item first: that item gets the icons of the variable, 11 and then 13.
    std::string xml = plantXml();
    const auto replace = [&xml](const std::string& from, const std::string& to) {
        ASSERT_NE(xml.find(from), std::string::npos) << from;
        xml.replace(xml.find(from), from.size(), to);
    };
    replace("\"3\" UserAccessLevel=\"3\"><DisplayName>Orphan", "\"7\" UserAccessLevel=\"7\"><DisplayName>Orphan");
    replace("Node1=Tank.Level\r\n", "Node1=Tank.Level\r\nNode2=Orphan\r\n");
    LoadedPage page(xml);
    ConfigureRequest request = page.request();
    ScriptedTreeHost host;
    AlarmHistoryTree tree(request, host);
    tree.Initialise();
    std::vector<std::string> marked;
    dump(*tree.alarmRoot(), 0, marked);
    dump(*tree.historyRoot(), 0, marked);
    EXPECT_EQ(marked,
        (std::vector<std::string> { "Alarm Event [0]",
            "  Orphan [13]",
            "  Level [9]",
            "Historical Data [0]",
            "  Orphan [10]",
            "  Level [10]" }));
}

TEST(AlarmHistoryTreeTest, MenusFollowTheRootTheTypeAndTheFlags)
{
    TreeFixture f;
    const std::pair<NodeTreeItem*, std::string> cases[] = {
        // A variable that has an alarm and history gets neither again.
        { f.variable("ns=2;s=Tank.Level"), "Objects | -Add Alarm Event | -Add Historical Data" },
        { f.variable("ns=2;s=Tank.Running"), "Objects | Add Alarm Event | Add Historical Data" },
        { f.variable("ns=2;s=Tank.Name"), "Objects | -Add Alarm Event | Add Historical Data" },
        { f.variable("ns=2;s=Tank.Count"), "Objects | Add Alarm Event | Add Historical Data" },
        { f.item(f.tree.alarmRoot(), "ns=2;s=Tank.Level"), "ALARM | Edit Condition | Remove Alarm" },
        { f.item(f.tree.historyRoot(), "ns=2;s=Tank.Level"), "History | Remove Historical" },
        { f.variable("ns=2;s=Tank"), "none" },
        { f.variable("ns=2;s=Tank.Fill"), "none" },
        { f.tree.alarmRoot(), "none" },
        { nullptr, "none" },
    };
    for (const auto& [at, expected] : cases)
        EXPECT_EQ(f.menu(at), expected) << (at ? at->idText() : "no item");
    // A Boolean alarm has no condition to edit.
    ASSERT_TRUE(f.run(f.variable("ns=2;s=Tank.Running"), TreeCommand::AddAlarmEvent));
    EXPECT_EQ(f.menu(f.item(f.tree.alarmRoot(), "ns=2;s=Tank.Running")), "ALARM | -Edit Condition | Remove Alarm");
}

TEST(AlarmHistoryTreeTest, ABooleanAlarmIsAddedWithoutTheLimitDialog)
{
    TreeFixture f;
    NodeTreeItem* running = f.variable("ns=2;s=Tank.Running");
    ASSERT_TRUE(f.run(running, TreeCommand::AddAlarmEvent));
    EXPECT_TRUE(f.host.dialogs.empty());
    EXPECT_EQ(running->entry().image, static_cast<int>(NodeIcon::VariableWithAlarm));
    NodeTreeItem* alarm = f.item(f.tree.alarmRoot(), "ns=2;s=Tank.Running");
    EXPECT_EQ(alarm->entry().image, static_cast<int>(NodeIcon::AlarmItem));
    f.tree.Select(alarm);
    EXPECT_TRUE(f.host.conditionEnabled);
    EXPECT_EQ(f.host.condition,
        (std::vector<AttributeRow> {
            { "HighHighLimit", "---" }, { "HighLimit", "---" }, { "LowLimit", "---" }, { "LowLowLimit", "---" } }));
    // A second alarm cannot be added: the command is disabled.
    EXPECT_FALSE(f.run(running, TreeCommand::AddAlarmEvent));
    EXPECT_EQ(f.tree.alarmRoot()->childCount(), 2u);
    EXPECT_TRUE(f.host.failures.empty());
}

TEST(AlarmHistoryTreeTest, AnAlarmTakesTheLimitsOfTheDialogAndEditThenCancelChangesNothing)
{
    TreeFixture f;
    NodeTreeItem* count = f.variable("ns=2;s=Tank.Count");
    // Cancel: nothing is added, and no message.
    f.host.answers.push_back(std::nullopt);
    EXPECT_TRUE(f.run(count, TreeCommand::AddAlarmEvent));
    EXPECT_EQ(f.tree.alarmRoot()->childCount(), 1u);
    EXPECT_EQ(count->entry().image, static_cast<int>(NodeIcon::Variable));

    f.host.answers.push_back(AlarmLimits { "100", "", "-5", "" });
    EXPECT_TRUE(f.run(count, TreeCommand::AddAlarmEvent));
    ASSERT_EQ(f.host.dialogs.size(), 2u);
    EXPECT_EQ(f.host.dialogs[1].type, AlarmDataType::Int16);
    EXPECT_EQ(f.host.dialogs[1].limits.highHigh, "");
    EXPECT_EQ(count->entry().image, static_cast<int>(NodeIcon::VariableWithAlarm));
    NodeTreeItem* alarm = f.item(f.tree.alarmRoot(), "ns=2;s=Tank.Count");
    EXPECT_EQ(limitsOf(alarm->entry()), "100||-5|");

    // Edit starts from the item's limits; Cancel leaves them and says nothing.
    f.host.answers.push_back(std::nullopt);
    EXPECT_TRUE(f.run(alarm, TreeCommand::EditCondition));
    EXPECT_EQ(f.host.dialogs[2].limits.low, "-5");
    EXPECT_EQ(limitsOf(alarm->entry()), "100||-5|");
    EXPECT_TRUE(f.host.failures.empty());

    // Edit with OK shows the new limits at once; the item's icon is recomputed for its flags.
    f.host.answers.push_back(AlarmLimits { "120", "110", "0", "-10" });
    EXPECT_TRUE(f.run(alarm, TreeCommand::EditCondition));
    EXPECT_EQ(limitsOf(alarm->entry()), "120|110|0|-10");
    EXPECT_EQ(alarm->entry().image, static_cast<int>(NodeIcon::VariableWithAlarm));
    EXPECT_EQ(f.host.condition[0], (AttributeRow { "HighHighLimit", "120" }));
}

TEST(AlarmHistoryTreeTest, RemovingTheAlarmOfALoggedVariableTurnsItsIconFromThirteenToTwelve)
{
    TreeFixture f;
    NodeTreeItem* level = f.variable("ns=2;s=Tank.Level");
    EXPECT_EQ(level->entry().image, 13);
    ASSERT_TRUE(f.run(f.item(f.tree.alarmRoot(), "ns=2;s=Tank.Level"), TreeCommand::RemoveAlarm));
    EXPECT_EQ(level->entry().image, 12);
    EXPECT_EQ(f.tree.alarmRoot()->childCount(), 0u);
    EXPECT_EQ(f.tree.selectedItem(), nullptr);
    EXPECT_TRUE(f.host.attributes.empty());
    // Its menu offers the alarm again.
    EXPECT_EQ(f.menu(level), "Objects | Add Alarm Event | -Add Historical Data");

    ASSERT_TRUE(f.run(f.item(f.tree.historyRoot(), "ns=2;s=Tank.Level"), TreeCommand::RemoveHistorical));
    EXPECT_EQ(level->entry().image, 2);
    ASSERT_TRUE(f.run(level, TreeCommand::AddHistoricalData));
    EXPECT_EQ(level->entry().image, 12);
    EXPECT_EQ(f.item(f.tree.historyRoot(), "ns=2;s=Tank.Level")->entry().image, 10);
}

TEST(AlarmHistoryTreeTest, AttributesShowTheNodeInItsDisplayForms)
{
    TreeFixture f;
    f.tree.Select(f.item(f.tree.alarmRoot(), "ns=2;s=Tank.Level"));
    EXPECT_EQ(f.host.attributes,
        (std::vector<AttributeRow> {
            { "NodeID", "" },
            { "    NamespaceIndex", "NS2" },
            { "    IdentifierType", "String" },
            { "    Identifier", "Tank.Level" },
            { "NodeClass", "Variable" },
            // The file has no namespace table: its browse names read as namespace 0.
            { "BrowseName", "ns=0 , \"Level\"" },
            { "    DataType", "Double" },
            { "DisplayName", "\"\" , \"Level\"" },
            { "Description", "" },
            { "WriteMask", "0" },
            { "UserWriteMask", "0" },
        }));
    EXPECT_EQ(f.host.condition,
        (std::vector<AttributeRow> {
            { "HighHighLimit", "95" }, { "HighLimit", "90" }, { "LowLimit", "10" }, { "LowLowLimit", "5" } }));
    EXPECT_TRUE(f.host.conditionEnabled);

    // The same variable under Objects shows no limits, and the condition list is disabled.
    f.tree.Select(f.variable("ns=2;s=Tank.Level"));
    EXPECT_EQ(f.host.condition[0], (AttributeRow { "HighHighLimit", "---" }));
    EXPECT_FALSE(f.host.conditionEnabled);

    f.tree.Select(f.tree.historyRoot());
    EXPECT_EQ(f.host.attributes,
        (std::vector<AttributeRow> {
            { "NodeID", "" },
            { "    NamespaceIndex", "NS0" },
            { "    IdentifierType", "String" },
            { "    Identifier", "Tavox_HistoryObject" },
            { "NodeClass", "Object" },
            { "BrowseName", "ns=0 , \"Historical Data\"" },
            { "DisplayName", "en , \"Historical Data\"" },
            { "Description", "" },
            { "WriteMask", "0" },
            { "UserWriteMask", "0" },
        }));
    // No item: the lists stay as they are.
    f.tree.Select(nullptr);
    EXPECT_EQ(f.host.attributes[4], (AttributeRow { "NodeClass", "Object" }));
}

TEST(AlarmHistoryTreeTest, TwoPartFormsSkipEmptyPiecesAndKeepBarsInNames)
{
    const std::pair<std::string_view, std::string> cases[] = {
        { "en|Objects", "en , \"Objects\"" },
        { "|Objects", "\"\" , \"Objects\"" },
        { "en|", "\"\" , \"en\"" },
        { "|", "" },
        { "", "" },
        { "ns=1|a|b", "ns=1 , \"a|b\"" },
    };
    for (const auto& [form, shown] : cases)
        EXPECT_EQ(twoPartDisplay(form), shown) << form;
}

} // namespace

namespace {

TEST(AlarmHistoryTreeTest, OkEditsTheDocumentThePageListsItAndApplyWritesIt)
{
    LoadedPage page;
    const std::string before = readFile(page.path());
    ScriptedTreeHost host;
    const bool rebuilt = page.config.ConfigureNodes([&host](ConfigureRequest& request) {
        AlarmHistoryTree tree(request, host);
        tree.Initialise();
        const auto run = [&tree](const char* idText, NodeTreeItem* root, TreeCommand command) {
            tree.contextMenu(tree.FindTreeItem(root, idText));
            EXPECT_TRUE(tree.execute(command)) << idText;
        };
        host.answers.push_back(AlarmLimits { "100", "", "-5", "" });
        run("ns=2;s=Tank.Count", tree.objectsRoot(), TreeCommand::AddAlarmEvent);
        run("ns=2;s=Tank.Running", tree.objectsRoot(), TreeCommand::AddAlarmEvent);
        run("ns=2;s=Tank.Total", tree.objectsRoot(), TreeCommand::AddHistoricalData);
        run("ns=2;s=Tank.Level", tree.alarmRoot(), TreeCommand::RemoveAlarm);
        tree.ApplyTreeChanges();
        return true;
    });
    ASSERT_TRUE(rebuilt);
    EXPECT_TRUE(page.config.isModified());
    EXPECT_TRUE(page.host.pageModified);
    std::vector<std::string> rows;
    for (const auto& entry : page.config.entries())
        rows.push_back(entry->node->nodeId().toString().toStdString()
            + (entry->isAlarm() ? " alarm " + limitsOf(*entry) : " history"));
    EXPECT_EQ(rows,
        (std::vector<std::string> { "ns=2;s=Tank.Count alarm 100||-5|",
            "ns=2;s=Tank.Level history",
            "ns=2;s=Tank.Total history",
            "ns=2;s=Tank.Running alarm |||" }));
    // Nothing is written before the apply.
    EXPECT_EQ(readFile(page.path()), before);

    ASSERT_TRUE(page.config.CompletePendingWrite());
    // The document as edited, saved indented, with the settings block after it.
    std::string expected = R"(<?xml version="1.0" encoding="utf-8"?>
<UANodeSet xmlns="http://opcfoundation.org/UA/2011/03/UANodeSet.xsd">
  <UAObject NodeId="ns=2;s=Tank" BrowseName="2:Tank">
    <DisplayName>Tank</DisplayName>
    <References>
      <Reference ReferenceType="i=35" IsForward="false">i=85</Reference>
    </References>
  </UAObject>
  <UAObject NodeId="ns=2;s=alpha" BrowseName="2:alpha">
    <DisplayName>alpha</DisplayName>
    <References>
      <Reference ReferenceType="i=35" IsForward="false">i=85</Reference>
    </References>
  </UAObject>
  <UAObject NodeId="ns=2;i=1" BrowseName="2:Late">
    <DisplayName>Late</DisplayName>
    <References>
      <Reference ReferenceType="i=35" IsForward="false">ns=2;i=900</Reference>
    </References>
  </UAObject>
  <UAObject NodeId="ns=2;i=900" BrowseName="2:Zeta">
    <DisplayName>Zeta</DisplayName>
    <References>
      <Reference ReferenceType="i=35" IsForward="false">i=85</Reference>
    </References>
  </UAObject>
  <UAVariable NodeId="ns=2;i=2" BrowseName="2:Later" DataType="i=11" AccessLevel="3" UserAccessLevel="3">
    <DisplayName>Later</DisplayName>
    <References>
      <Reference ReferenceType="i=47" IsForward="false">ns=2;i=1</Reference>
    </References>
  </UAVariable>
  <UAVariable NodeId="ns=2;s=Tank.Level" BrowseName="2:Level" DataType="i=11" AccessLevel="7" UserAccessLevel="7">
    <DisplayName>Level</DisplayName>
    <References>
      <Reference ReferenceType="i=47" IsForward="false">ns=2;s=Tank</Reference>
    </References>
  </UAVariable>
  <UAVariable NodeId="ns=2;s=Tank.Running" BrowseName="2:Running" DataType="i=1" AccessLevel="3" UserAccessLevel="3">
    <DisplayName>Running</DisplayName>
    <References>
      <Reference ReferenceType="i=47" IsForward="false">ns=2;s=Tank</Reference>
    </References>
    <Tavox_Alarm Alarm="true" AlarmLimit_HH="" AlarmLimit_H="" AlarmLimit_L="" AlarmLimit_LL=""/>
  </UAVariable>
  <UAVariable NodeId="ns=2;s=Tank.Name" BrowseName="2:Name" DataType="i=12" AccessLevel="3" UserAccessLevel="3">
    <DisplayName>Name</DisplayName>
    <References>
      <Reference ReferenceType="i=47" IsForward="false">ns=2;s=Tank</Reference>
    </References>
  </UAVariable>
  <UAVariable NodeId="ns=2;s=Tank.Count" BrowseName="2:Count" DataType="i=4" AccessLevel="3" UserAccessLevel="3">
    <DisplayName>Count</DisplayName>
    <References>
      <Reference ReferenceType="i=47" IsForward="false">ns=2;s=Tank</Reference>
    </References>
    <Tavox_Alarm Alarm="true" AlarmLimit_HH="100" AlarmLimit_H="" AlarmLimit_L="-5" AlarmLimit_LL=""/>
  </UAVariable>
  <UAVariable NodeId="ns=2;s=Tank.Total" BrowseName="2:Total" DataType="i=7" AccessLevel="7" UserAccessLevel="7">
    <DisplayName>Total</DisplayName>
    <References>
      <Reference ReferenceType="i=47" IsForward="false">ns=2;s=Tank</Reference>
    </References>
  </UAVariable>
  <UAVariable NodeId="ns=2;s=Orphan" BrowseName="2:Orphan" DataType="i=11" AccessLevel="3" UserAccessLevel="3">
    <DisplayName>Orphan</DisplayName>
    <References>
      <Reference ReferenceType="i=47" IsForward="false">i=0</Reference>
    </References>
  </UAVariable>
  <UAMethod NodeId="ns=2;s=Tank.Fill" BrowseName="2:Fill">
    <DisplayName>Fill</DisplayName>
    <References>
      <Reference ReferenceType="i=47" IsForward="false">ns=2;s=Tank</Reference>
    </References>
  </UAMethod>
</UANodeSet>
<!--
[AlarmSourceNodes]
Node1=Tank.Count
Node2=Tank.Running
[AlarmsWithNodesXML.NonExclusiveLevelAlarmXML]
AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighHighLimit=
AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighLimit=
AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.LowLimit=
AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.LowLowLimit=
[AlarmsWithNodesXML.ExclusiveLevelAlarmXML]
AlarmsWithNodesXML.ExclusiveLevelAlarmXML.HighHighLimit=
AlarmsWithNodesXML.ExclusiveLevelAlarmXML.HighLimit=
AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLimit=
AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLowLimit=
[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Count]
AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Count.HighHighLimit=100
AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Count.HighLimit=
AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Count.LowLimit=-5
AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Count.LowLowLimit=
[HistorizedtoODBCSQL]
StartLogging=false
-->)";
    for (std::size_t at = expected.find('\n'); at != std::string::npos; at = expected.find('\n', at + 2))
        expected.replace(at, 1, "\r\n");
    EXPECT_EQ(readFile(page.path()), expected);
}

} // namespace
