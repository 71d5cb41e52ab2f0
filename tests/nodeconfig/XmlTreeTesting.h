#pragma once

#include "nodeconfig/AlarmHistoryTree.h"
#include "nodeconfig/NodeConfigTesting.h"
#include "nodeconfig/NodeConfiguration.h"
#include "nodeconfig/SettingsBlock.h"
#include "testing/TempDir.h"
#include "uatypes/UaString.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace nodeconfig {

inline void PrintTo(const AttributeRow& row, std::ostream* os)
{
    *os << '{' << row.attribute << ": " << row.value << '}';
}

} // namespace nodeconfig

namespace nodeconfig::testing {

inline std::string reference(const char* type, const char* target)
{
    return std::string("<References><Reference ReferenceType=\"") + type + "\" IsForward=\"false\">" + target
        + "</Reference></References>";
}

inline std::string objectXml(const char* nodeId, const char* name, const char* parent)
{
    return std::string("  <UAObject NodeId=\"") + nodeId + "\" BrowseName=\"2:" + name + "\"><DisplayName>" + name
        + "</DisplayName>" + reference("i=35", parent) + "</UAObject>\n";
}

inline std::string variableXml(const char* nodeId,
    const char* name,
    const char* type,
    int access,
    const char* parent,
    const std::string& inside = {})
{
    return std::string("  <UAVariable NodeId=\"") + nodeId + "\" BrowseName=\"2:" + name + "\" DataType=\"" + type
        + "\" AccessLevel=\"" + std::to_string(access) + "\" UserAccessLevel=\"" + std::to_string(access)
        + "\"><DisplayName>" + name + "</DisplayName>" + reference("i=47", parent) + inside + "</UAVariable>\n";
}

/// A plant under the Objects folder: a tank with variables of each kind the dialog tells apart,
/// a folder placed only by a later pass (its parent comes after it in the map), and a variable
/// without a parent. The block lists the level's alarm; the level is also logged.
inline std::string plantXml()
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\n"
        + objectXml("ns=2;s=Tank", "Tank", "i=85") + objectXml("ns=2;s=alpha", "alpha", "i=85")
        + objectXml("ns=2;i=1", "Late", "ns=2;i=900") + objectXml("ns=2;i=900", "Zeta", "i=85")
        + variableXml("ns=2;i=2", "Later", "i=11", 3, "ns=2;i=1")
        + variableXml("ns=2;s=Tank.Level",
            "Level",
            "i=11",
            7,
            "ns=2;s=Tank",
            "<Tavox_Alarm Alarm=\"true\" AlarmLimit_HH=\"95\" AlarmLimit_H=\"90\" AlarmLimit_L=\"10\" "
            "AlarmLimit_LL=\"5\"/>")
        + variableXml("ns=2;s=Tank.Running", "Running", "i=1", 3, "ns=2;s=Tank")
        + variableXml("ns=2;s=Tank.Name", "Name", "i=12", 3, "ns=2;s=Tank")
        + variableXml("ns=2;s=Tank.Count", "Count", "i=4", 3, "ns=2;s=Tank")
        + variableXml("ns=2;s=Tank.Total", "Total", "i=7", 3, "ns=2;s=Tank")
        + variableXml("ns=2;s=Orphan", "Orphan", "i=11", 3, "i=0")
        + "  <UAMethod NodeId=\"ns=2;s=Tank.Fill\" BrowseName=\"2:Fill\"><DisplayName>Fill</DisplayName>"
        + reference("i=47", "ns=2;s=Tank") + "</UAMethod>\n" + "</UANodeSet>\n"
        + block({ "[AlarmSourceNodes]",
            "Node1=Tank.Level",
            "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level]",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighHighLimit=95",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighLimit=90",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLimit=10",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLowLimit=5",
            "[HistorizedtoODBCSQL]",
            "StartLogging=false" });
}

/// Answers the tree's prompts from a queue and records what it showed.
class ScriptedTreeHost final : public XmlTreeHost {
public:
    void tellFailure(std::string_view text) override { failures.emplace_back(text); }
    bool editAlarmLimits(AlarmDataType type, AlarmLimits& limits) override
    {
        dialogs.push_back({ type, limits });
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected alarm limit dialog";
            return false;
        }
        const std::optional<AlarmLimits> answer = answers.front();
        answers.pop_front();
        if (answer)
            limits = *answer;
        return answer.has_value();
    }
    void showAttributes(const std::vector<AttributeRow>& rows, const std::vector<AttributeRow>& limits) override
    {
        attributes = rows;
        condition = limits;
    }
    void enableConditionList(bool enabled) override { conditionEnabled = enabled; }

    struct Dialog {
        AlarmDataType type;
        AlarmLimits limits;
    };
    std::deque<std::optional<AlarmLimits>> answers; ///< nullopt: Cancel
    std::vector<Dialog> dialogs;
    std::vector<std::string> failures;
    std::vector<AttributeRow> attributes;
    std::vector<AttributeRow> condition;
    bool conditionEnabled = false;
};

/// The page's logic loaded from a node configuration file in a temporary folder.
struct LoadedPage {
    explicit LoadedPage(const std::string& content = plantXml())
    {
        writeFile(path(), content);
        const std::string folder = dir.path().string() + "/";
        config.setPaths(composeNodeConfigPaths(std::u16string(folder.begin(), folder.end()), u"NodeConfig.xml"));
        EXPECT_TRUE(config.ReloadNodeConfig());
        EXPECT_TRUE(config.isLoaded());
    }
    std::filesystem::path path() const { return dir / "NodeConfig.xml"; }
    ConfigureRequest request()
    {
        return { *config.document(), config.nodes(), config.entryPointers(), config.reader() };
    }

    TempDir dir;
    ScriptedHost host;
    NodeConfiguration config { host };
};

} // namespace nodeconfig::testing
