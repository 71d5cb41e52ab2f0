#include "nodeconfig/NodeConfigEditor.h"

#include "nodeconfig/AlarmLimitInput.h"
#include "nodeconfig/PageEdits.h"
#include "nodeconfig/XmlTreeTesting.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace nodeconfig;
using namespace nodeconfig::testing;

NodeConfigPaths pathsIn(const TempDir& dir)
{
    const std::string folder = dir.path().string() + "/";
    return composeNodeConfigPaths(std::u16string(folder.begin(), folder.end()), u"NodeConfig.xml");
}

using Edit = std::function<EditResult(NodeConfigEditor&)>;

struct EditorRun {
    EditResult result = EditEffect::Unchanged;
    std::string before;
    std::string after;
};

/// The editor on the plant: loaded, edited, and written when the edit changed something.
EditorRun runEditor(const Edit& edit)
{
    TempDir dir;
    EditorRun run;
    run.before = plantXml();
    writeFile(dir / "NodeConfig.xml", run.before);
    NodeConfigEditor editor(pathsIn(dir));
    EXPECT_TRUE(editor.Load().ok());
    run.result = edit(editor);
    if (run.result && *run.result == EditEffect::Changed) {
        EXPECT_TRUE(editor.Write().ok());
    }
    run.after = readFile(dir / "NodeConfig.xml");
    return run;
}

LimitChanges limits(std::optional<std::string> hh,
    std::optional<std::string> h,
    std::optional<std::string> l,
    std::optional<std::string> ll)
{
    return { std::move(hh), std::move(h), std::move(l), std::move(ll) };
}

TEST(NodeConfigEditorTest, EachEditWritesTheBytesThePageWritesForTheSameChoices)
{
    struct Case {
        const char* name;
        Edit edit;
        std::vector<DialogStep> page;
        std::optional<bool> startLogging = std::nullopt;
    };
    const Case cases[] = {
        { "a new numeric alarm",
            [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Count", limits("100", "80", "-5", ""), false); },
            { { "Objects", "ns=2;s=Tank.Count", TreeCommand::AddAlarmEvent, AlarmLimits { "100", "80", "-5", "" } } } },
        { "a Boolean alarm",
            [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Running", {}, false); },
            { { "Objects", "ns=2;s=Tank.Running", TreeCommand::AddAlarmEvent, std::nullopt } } },
        { "an edited condition keeps the limits not given",
            [](NodeConfigEditor& e) {
                return e.setAlarm("ns=2;s=Tank.Level", limits(std::nullopt, "92.5", "", std::nullopt), false);
            },
            { { "Alarm", "ns=2;s=Tank.Level", TreeCommand::EditCondition, AlarmLimits { "95", "92.5", "", "5" } } } },
        { "limits out of order kept when asked to",
            [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Total", limits("1", "2", "3", "4"), true); },
            { { "Objects", "ns=2;s=Tank.Total", TreeCommand::AddAlarmEvent, AlarmLimits { "1", "2", "3", "4" } } } },
        { "a removed alarm",
            [](NodeConfigEditor& e) { return e.removeAlarm("ns=2;s=Tank.Level"); },
            { { "Alarm", "ns=2;s=Tank.Level", TreeCommand::RemoveAlarm, std::nullopt } } },
        { "history on",
            [](NodeConfigEditor& e) { return e.setHistory("ns=2;s=Tank.Name", true); },
            { { "Objects", "ns=2;s=Tank.Name", TreeCommand::AddHistoricalData, std::nullopt } } },
        { "history off",
            [](NodeConfigEditor& e) { return e.setHistory("ns=2;s=Tank.Level", false); },
            { { "History", "ns=2;s=Tank.Level", TreeCommand::RemoveHistorical, std::nullopt } } },
        { "logging on", [](NodeConfigEditor& e) { return e.setLogging(true); }, {}, true },
        // The tree's search runs on into the roots that follow: a logged variable is no alarm.
        { "an alarm on a logged variable",
            [](NodeConfigEditor& e) {
                EXPECT_TRUE(e.setHistory("ns=2;s=Tank.Count", true).ok());
                return e.setAlarm("ns=2;s=Tank.Count", limits("9", "", "", ""), false);
            },
            { { "Objects", "ns=2;s=Tank.Count", TreeCommand::AddHistoricalData, std::nullopt },
                { "Objects", "ns=2;s=Tank.Count", TreeCommand::AddAlarmEvent, AlarmLimits { "9", "", "", "" } } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EditorRun run = runEditor(c.edit);
        ASSERT_TRUE(run.result.ok()) << run.result.error().message;
        EXPECT_EQ(*run.result, EditEffect::Changed);
        EXPECT_EQ(run.after, writtenByThePage(c.page, c.startLogging));
    }
}

TEST(NodeConfigEditorTest, EditsThatFindTheConfigurationAsAskedChangeNothing)
{
    const Edit edits[] = {
        [](NodeConfigEditor& e) {
            return e.setAlarm("ns=2;s=Tank.Level", limits("95", "90", std::nullopt, "5"), false);
        },
        [](NodeConfigEditor& e) { return e.removeAlarm("ns=2;s=Tank.Count"); },
        [](NodeConfigEditor& e) { return e.setHistory("ns=2;s=Tank.Level", true); },
        [](NodeConfigEditor& e) { return e.setHistory("ns=2;s=Tank.Count", false); },
        [](NodeConfigEditor& e) { return e.setLogging(false); },
        [](NodeConfigEditor& e) {
            EXPECT_TRUE(e.setHistory("ns=2;s=Tank.Count", true).ok());
            return e.removeAlarm("ns=2;s=Tank.Count");
        },
    };
    for (const Edit& edit : edits) {
        const EditorRun run = runEditor(edit);
        ASSERT_TRUE(run.result.ok()) << run.result.error().message;
        EXPECT_EQ(*run.result, EditEffect::Unchanged);
        EXPECT_EQ(run.after, run.before);
    }
}

TEST(NodeConfigEditorTest, BadInputGivesTheDialogsMessageAndLeavesTheFileAlone)
{
    const std::string notInOrder = "The alarm limits are not in order (High High >= High >= Low >= Low Low); add "
                                   "--force to keep them.";
    const std::pair<Edit, std::string> cases[] = {
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Nothing", limits("1", "", "", ""), false); },
            "No node \"ns=2;s=Nothing\" in the node configuration (tavox-nodeset dump lists the node identifiers)." },
        { [](NodeConfigEditor& e) { return e.setHistory("ns=2;s=Tank", true); },
            "The node \"ns=2;s=Tank\" is not a variable." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Name", {}, false); },
            "The variable \"ns=2;s=Tank.Name\" is neither Boolean nor numeric: the Alarms & Historical Data dialog "
            "offers no alarm for it." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Running", limits("1", "", "", ""), false); },
            "The alarm of the Boolean variable \"ns=2;s=Tank.Running\" has no limits." },
        { [](NodeConfigEditor& e) { return e.setHistory("ns=2;s=Orphan", true); },
            "The variable \"ns=2;s=Orphan\" is not under the Objects folder, so the Alarms & Historical Data dialog "
            "does not show it." },
        // What the limit edits refuse to take as typed.
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Count", limits("1.5", "", "", ""), false); },
            "High High Limit \"1.5\" cannot be entered for Int16: at most 6 characters, digits and a leading \"-\"." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Count", limits("", "1234567", "", ""), false); },
            "High Limit \"1234567\" cannot be entered for Int16: at most 6 characters, digits and a leading \"-\"." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Total", limits("", "", "-1", ""), false); },
            "Low Limit \"-1\" cannot be entered for UInt32: at most 10 characters, digits only." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Level", limits("", "", "", ".5"), false); },
            "Low Low Limit \".5\" cannot be entered for Double: at most 15 characters, digits, a leading \"-\" and one "
            "\".\" after a digit." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Level", limits("", "", "", "1e5"), false); },
            "Low Low Limit \"1e5\" cannot be entered for Double: at most 15 characters, digits, a leading \"-\" and "
            "one "
            "\".\" after a digit." },
        // What OK refuses.
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Count", {}, false); },
            "Alarm Condition Input Error..." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Count", limits("-", "", "", ""), false); },
            "High High Limit Input error..." },
        { [](NodeConfigEditor& e) {
             return e.setAlarm("ns=2;s=Tank.Level", limits(std::nullopt, "9.", std::nullopt, std::nullopt), false);
         },
            "High Limit Input error..." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Count", limits("", "", "", "-"), false); },
            "Low Low Limit Input error..." },
        { [](NodeConfigEditor& e) { return e.setAlarm("ns=2;s=Tank.Count", limits("1", "2", "", ""), false); },
            notInOrder },
    };
    for (const auto& [edit, message] : cases) {
        const EditorRun run = runEditor(edit);
        ASSERT_FALSE(run.result.ok()) << message;
        EXPECT_EQ(run.result.error().message, message);
        EXPECT_EQ(run.after, run.before);
    }
}

TEST(NodeConfigEditorTest, ImportReplacesTheFileAsThePageAndItsApplyDoOrLeavesItWhenTheFileDoesNotLoad)
{
    TempDir dir;
    writeFile(dir / "NodeConfig.xml", plantXml());
    const std::string imported = nodesetXml({ Var("ns=2;s=Tank.Flow", "i=11", 7) });
    writeFile(dir / "new.xml", imported);
    writeFile(dir / "broken.xml", "<UANodeSet><UAVariable");

    // The page: import, then the sheet's apply.
    LoadedPage page;
    page.host.files.push_back(dir / "new.xml");
    page.config.ImportNodeConfig();
    ASSERT_TRUE(page.config.CompletePendingWrite());

    NodeConfigEditor broken(pathsIn(dir));
    ASSERT_TRUE(broken.Load().ok());
    const auto refused = broken.Import(dir / "broken.xml");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, "Import node configuration fail! Please try again!");
    EXPECT_EQ(readFile(dir / "NodeConfig.xml"), plantXml());
    EXPECT_FALSE(std::filesystem::exists(dir / "NodeConfig.bak"));

    const auto missing = broken.Import(dir / "none.xml");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, support::ErrorKind::NotFound);

    NodeConfigEditor editor(pathsIn(dir));
    ASSERT_TRUE(editor.Load().ok());
    ASSERT_TRUE(editor.Import(dir / "new.xml").ok());
    EXPECT_EQ(readFile(dir / "NodeConfig.xml"), readFile(page.path()));
    EXPECT_FALSE(std::filesystem::exists(dir / "NodeConfig.bak"));
}

TEST(NodeConfigEditorTest, TheFirstImportPutsTheFileInPlaceWhereThereIsNone)
{
    TempDir dir;
    writeFile(dir / "new.xml", plantXml());
    writeFile(dir / "broken.xml", "<UANodeSet>");
    NodeConfigEditor editor(pathsIn(dir));
    ASSERT_FALSE(editor.Load().ok());
    const auto refused = editor.Import(dir / "broken.xml");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, "Import node configuration fail! Please try again!");
    EXPECT_FALSE(std::filesystem::exists(dir / "NodeConfig.xml"));
    ASSERT_TRUE(editor.Import(dir / "new.xml").ok());
    EXPECT_EQ(readFile(dir / "NodeConfig.xml"), writtenByThePage({}));
}

TEST(NodeConfigEditorTest, ExportWritesWhatTheApplyWouldAndOverwritesOnlyWhenTold)
{
    TempDir dir;
    writeFile(dir / "NodeConfig.xml", plantXml());
    NodeConfigEditor editor(pathsIn(dir));
    ASSERT_TRUE(editor.Load().ok());
    ASSERT_TRUE(editor.Export(dir / "out.xml", false).ok());
    EXPECT_EQ(readFile(dir / "out.xml"), writtenByThePage({}));

    writeFile(dir / "kept.xml", "mine");
    const auto refused = editor.Export(dir / "kept.xml", false);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, (dir / "kept.xml").string() + " exists; add --force to overwrite it.");
    EXPECT_EQ(readFile(dir / "kept.xml"), "mine");
    ASSERT_TRUE(editor.Export(dir / "kept.xml", true).ok());
    EXPECT_EQ(readFile(dir / "kept.xml"), writtenByThePage({}));
    EXPECT_EQ(readFile(dir / "NodeConfig.xml"), plantXml());
}

TEST(NodeConfigEditorTest, LoadSaysWhyAFileCannotBeUsed)
{
    TempDir dir;
    NodeConfigEditor missing(pathsIn(dir));
    const auto notThere = missing.Load();
    ASSERT_FALSE(notThere.ok());
    EXPECT_EQ(notThere.error().kind, support::ErrorKind::NotFound);
    EXPECT_NE(notThere.error().message.find((dir / "NodeConfig.xml").string()), std::string::npos);

    writeFile(dir / "NodeConfig.xml", "not xml");
    NodeConfigEditor broken(pathsIn(dir));
    const auto notANodeset = broken.Load();
    ASSERT_FALSE(notANodeset.ok());
    EXPECT_EQ(notANodeset.error().message,
        "The node configuration file " + (dir / "NodeConfig.xml").string() + " is not a nodeset that can be read.");
}

TEST(NodeConfigEditorTest, LimitProblemsNameTheLimitsTheServerCannotReadAndAlarmsOutOfOrder)
{
    const auto limitLines = [](const std::string& id, const char* hh, const char* h, const char* l, const char* ll) {
        const std::string key = "AlarmsWithNodesXML.ExternalLevelAlarm_" + id;
        return std::vector<std::string> { "[" + key + "]",
            key + ".HighHighLimit=" + hh,
            key + ".HighLimit=" + h,
            key + ".LowLimit=" + l,
            key + ".LowLowLimit=" + ll };
    };
    std::vector<std::string> lines = levelLines();
    for (const char* line : { "[AlarmSourceNodes]", "Node1=Alpha", "Node2=Bravo", "Node3=Charlie" })
        lines.push_back(line);
    for (const auto& more : { limitLines("Alpha", "80", "7O", "", "-40000"),
             limitLines("Bravo", "2", "1", "", ""),
             limitLines("Charlie", "1", "2", "", "") })
        lines.insert(lines.end(), more.begin(), more.end());
    TempDir dir;
    writeFile(dir / "NodeConfig.xml",
        nodesetXml(
            { Var("ns=2;s=Alpha", "i=4"), Var("ns=2;s=Bravo", "i=11"), Var("ns=2;s=Charlie", "i=11") }, block(lines)));
    NodeConfigEditor editor(pathsIn(dir));
    ASSERT_TRUE(editor.Load().ok());
    EXPECT_EQ(limitProblems(editor.configuration().entries()),
        (std::vector<std::string> { "ns=2;s=Alpha: High Limit \"7O\" is not a number of type Int16.",
            "ns=2;s=Alpha: Low Low Limit \"-40000\" is not a number of type Int16.",
            "ns=2;s=Charlie: the alarm limits are not in order." }));
}

} // namespace
