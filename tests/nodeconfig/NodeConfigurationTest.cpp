#include "nodeconfig/NodeConfiguration.h"

#include "nodeconfig/NodeConfigTesting.h"
#include "testing/FailingSystemCalls.h"
#include "testing/TempDir.h"
#include "uaxml/UaXmlDocument.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace nodeconfig;
using namespace nodeconfig::testing;

const std::string kAlarmBlock = block({
    "[AlarmSourceNodes]",
    "Node1=Tank.Level",
    "Node2=Pump.Running",
    "Node3=Tank.Name",
    "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level]",
    "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighHighLimit=95",
    "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighLimit=90",
    "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLimit=10",
    "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLowLimit=5",
    "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.HighLimit=3",
    "[HistorizedtoODBCSQL]",
    "StartLogging=true",
    "SQLTYPE=MySQL",
});

const std::vector<Var> kTank = {
    { "ns=2;s=Tank.Level", "i=11", 7 },
    { "ns=2;s=Pump.Running", "i=1", 3 },
    { "ns=2;s=Tank.Name", "i=12", 3 },
    { "ns=2;s=Tank.Temp", "i=4", 5 },
};

/// A page's logic over a node configuration file in a temporary folder.
struct Fixture {
    explicit Fixture(const std::string& content = nodesetXml(kTank, kAlarmBlock))
    {
        writeFile(path(), content);
        config.setPaths(composeNodeConfigPaths(platform_dir(), u"NodeConfig.xml"));
    }
    std::u16string platform_dir() const
    {
        const std::string text = dir.path().string() + "/";
        return std::u16string(text.begin(), text.end());
    }
    std::filesystem::path path() const { return dir / "NodeConfig.xml"; }
    std::filesystem::path backup() const { return dir / "NodeConfig.bak"; }
    /// "#, icon, identifier" of every row, and the limits of alarm rows.
    std::vector<std::string> rows() const
    {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < config.entries().size(); ++i) {
            const AlarmHistoryEntry& e = *config.entries()[i];
            EXPECT_EQ(host.rows.at(i), &e);
            std::string text = rowNumberText(i) + " " + std::to_string(static_cast<int>(rowIcon(e))) + " "
                + e.node->nodeId().identifierString().toStdString();
            if (e.isAlarm())
                text += " [" + e.highHighLimit + "|" + e.highLimit + "|" + e.lowLimit + "|" + e.lowLowLimit + "]";
            texts.push_back(text);
        }
        return texts;
    }
    std::size_t filesInDir() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
    }

    TempDir dir;
    ScriptedHost host;
    FailingSystemCalls calls;
    NodeConfiguration config { host, calls };
};

TEST(NodeConfigurationTest, PathsAreTheServiceDirectoryFollowedByTheNameWithTheBackupBeside)
{
    struct Case {
        std::u16string dir, name;
        std::string path, backup;
    };
    const Case cases[] = {
        { u"/opt/tavox/", u"NodeConfig.xml", "/opt/tavox/NodeConfig.xml", "/opt/tavox/NodeConfig.bak" },
        { u"/opt/tavox", u"Plant.v2.xml", "/opt/tavoxPlant.v2.xml", "/opt/tavoxPlant.v2.bak" },
        { u"/opt/tavox.d/", u"Plant", "/opt/tavox.d/Plant", "/opt/tavox.d/Plant.bak" },
        { u"", u"NodeConfig.xml", "NodeConfig.xml", "NodeConfig.bak" },
        { u"/srv/\u00e9t\u00e9/", u"N.xml", "/srv/\u00e9t\u00e9/N.xml", "/srv/\u00e9t\u00e9/N.bak" },
    };
    for (const Case& c : cases) {
        const NodeConfigPaths paths = composeNodeConfigPaths(c.dir, c.name);
        EXPECT_EQ(paths.nodeCfgPath.string(), c.path);
        EXPECT_EQ(paths.backupPath.string(), c.backup);
        EXPECT_EQ(paths.nodeCfgName, c.name);
    }
}

TEST(NodeConfigurationTest, LoadListsTheBlocksAlarmsAndTheHistoryOfTheVariables)
{
    Fixture f;
    ASSERT_TRUE(f.config.ReloadNodeConfig());
    EXPECT_TRUE(f.config.isLoaded());
    EXPECT_FALSE(f.host.pageModified);
    EXPECT_EQ(f.config.startLogging(), 1);
    // Map order: by identifier length then bytes. A listed Boolean gets no limits, a listed
    // String none either, although the block holds a limit line for it.
    EXPECT_EQ(f.rows(),
        (std::vector<std::string> { "01 9 Tank.Name [|||]",
            "02 10 Tank.Temp",
            "03 9 Tank.Level [95|90|10|5]",
            "04 10 Tank.Level",
            "05 9 Pump.Running [|||]" }));

    const auto details = f.config.ShowEntryDetails(2);
    ASSERT_TRUE(details);
    std::vector<std::string> texts;
    for (const EntryDetail& d : *details)
        texts.push_back(d.attribute + "=" + d.value);
    EXPECT_EQ(texts,
        (std::vector<std::string> { "NodeIdentifier=Tank.Level",
            "DataType=Double",
            "NodePath=Tank",
            "HighHighLimit=95",
            "HighLimit=90",
            "LowLimit=10",
            "LowLowLimit=5" }));
    EXPECT_EQ(f.config.ShowEntryDetails(3)->size(), 3u) << "a history row has no limits";
    EXPECT_FALSE(f.config.ShowEntryDetails(5)) << "below the last row";
}

TEST(NodeConfigurationTest, OneListedIdentifierServesOneVariableOfTheTwoNamespaces)
{
    const std::vector<Var> twins = { { "ns=2;s=Level", "i=6" }, { "ns=3;s=Level", "i=6" } };
    const auto listed = [](std::vector<std::string> nodes) {
        nodes.insert(nodes.begin(), "[AlarmSourceNodes]");
        nodes.push_back("AlarmsWithNodesXML.ExternalLevelAlarm_Level.HighLimit=1");
        nodes.push_back("AlarmsWithNodesXML.ExternalLevelAlarm_Level.HighLimit=2");
        return block(nodes);
    };
    Fixture once(nodesetXml(twins, listed({ "Node1=Level" })));
    once.config.ReloadNodeConfig();
    EXPECT_EQ(once.rows(), (std::vector<std::string> { "01 9 Level [|1||]" }));
    Fixture twice(nodesetXml(twins, listed({ "Node1=Level", "Node2=Level" })));
    twice.config.ReloadNodeConfig();
    // The first takes both limit lines: the one nearest the start wins.
    EXPECT_EQ(twice.rows(), (std::vector<std::string> { "01 9 Level [|1||]", "02 9 Level [|||]" }));
}

TEST(NodeConfigurationTest, AlarmsOfFiveAndFifteenKeepTheirOwnLimitsThroughAWriteBack)
{
    const auto group = [](const std::string& id, const std::string& hh, const std::string& ll) {
        const std::string key = "AlarmsWithNodesXML.ExternalLevelAlarm_" + id;
        return std::vector<std::string> { "[" + key + "]",
            key + ".HighHighLimit=" + hh,
            key + ".HighLimit=",
            key + ".LowLimit=",
            key + ".LowLowLimit=" + ll };
    };
    std::vector<std::string> lines = { "[AlarmSourceNodes]", "Node1=15", "Node2=5" };
    for (const auto& part : { group("15", "150", "-15"), group("5", "50", "-5") })
        lines.insert(lines.end(), part.begin(), part.end());
    Fixture f(nodesetXml({ { "ns=2;i=5", "i=6" }, { "ns=2;i=15", "i=6" } }, block(lines)));
    const std::vector<std::string> expected = { "01 9 5 [50|||-5]", "02 9 15 [150|||-15]" };
    f.config.ReloadNodeConfig();
    EXPECT_EQ(f.rows(), expected);
    ASSERT_TRUE(f.config.CompletePendingWrite());
    f.config.ReloadNodeConfig();
    EXPECT_EQ(f.rows(), expected) << readFile(f.path());
}

TEST(NodeConfigurationTest, ApplyRewritesTheFileWithItsBlockEvenWhenNothingChanged)
{
    Fixture f;
    f.config.ReloadNodeConfig();
    f.config.OnStartLogging(false);
    EXPECT_TRUE(f.host.pageModified);
    ASSERT_TRUE(f.config.CompletePendingWrite());
    EXPECT_FALSE(f.host.pageModified);
    const std::string written = readFile(f.path());
    const std::string expectedBlock = block({ "[AlarmSourceNodes]",
        "Node1=Tank.Name",
        "Node2=Tank.Level",
        "Node3=Pump.Running",
        "[AlarmsWithNodesXML.NonExclusiveLevelAlarmXML]",
        "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighHighLimit=",
        "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighLimit=",
        "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.LowLimit=",
        "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.LowLowLimit=",
        "[AlarmsWithNodesXML.ExclusiveLevelAlarmXML]",
        "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.HighHighLimit=",
        "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.HighLimit=",
        "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLimit=",
        "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLowLimit=",
        "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name]",
        "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.HighHighLimit=",
        "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.HighLimit=",
        "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.LowLimit=",
        "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.LowLowLimit=",
        "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level]",
        "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighHighLimit=95",
        "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighLimit=90",
        "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLimit=10",
        "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLowLimit=5",
        "[HistorizedtoODBCSQL]",
        "StartLogging=false",
        "SQLTYPE=MySQL" });
    ASSERT_TRUE(written.ends_with("</UANodeSet>\r\n" + expectedBlock)) << written;
    EXPECT_EQ(written.find('\n'), written.find("\r\n") + 1) << "CR LF line ends";

    // Applied again with nothing changed: the same bytes, written anew.
    ASSERT_EQ(0, ::chmod(f.path().c_str(), 0640));
    ASSERT_TRUE(f.config.CompletePendingWrite());
    EXPECT_EQ(readFile(f.path()), written);
    struct stat info {};
    ASSERT_EQ(0, ::stat(f.path().c_str(), &info));
    EXPECT_EQ(info.st_mode & 07777, 0640u) << "the file keeps its mode";
    f.config.ReloadNodeConfig();
    EXPECT_EQ(f.config.startLogging(), 0);
    EXPECT_EQ(f.rows().size(), 5u);
}

TEST(NodeConfigurationTest, AWriteThatFailsAtAnyStepLeavesTheOldFileAndNoTemporary)
{
    // Each system call of the replacement in turn; a privileged writer must also hand the file
    // its owner, anyone else keeps the mode alone.
    struct Case {
        const char* call;
        bool fails;
    };
    const Case cases[] = {
        { "stat", true },
        { "open", true },
        { "fchown", ::geteuid() == 0 },
        { "fchmod", true },
        { "write", true },
        { "fsync", true },
        { "close", true },
        { "rename", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        Fixture f;
        f.config.ReloadNodeConfig();
        const std::string before = readFile(f.path());
        f.calls.failAt(c.call);
        EXPECT_EQ(f.config.CompletePendingWrite(), !c.fails);
        EXPECT_TRUE(f.calls.failed()) << "the failing call was reached";
        EXPECT_EQ(f.filesInDir(), 1u) << "no temporary file left";
        if (!c.fails)
            continue;
        EXPECT_EQ(readFile(f.path()), before);
        EXPECT_EQ(f.host.told, std::vector<std::string> { "Error: Open file fail..." });
        f.calls.failAt({});
        EXPECT_TRUE(f.config.CompletePendingWrite());
        EXPECT_NE(readFile(f.path()), before);
    }

    // A file that cannot be made at all is refused before the document is saved.
    Fixture f;
    f.config.ReloadNodeConfig();
    f.host.files = { f.dir / "missing" / "export.xml" };
    f.config.ExportNodeConfig();
    EXPECT_EQ(f.host.told, std::vector<std::string> { "Error: Update Nodeconfig.xml fail..." });
    EXPECT_EQ(f.filesInDir(), 1u);
}

TEST(NodeConfigurationTest, NodesThatCannotBeBuiltLeaveThePageNotLoaded)
{
    Fixture f(nodesetXml({ { "ns=2;s=A" }, { "ns=2;s=A" } }));
    EXPECT_FALSE(f.config.LoadNodeConfig(true));
    EXPECT_FALSE(f.config.isLoaded());
    EXPECT_EQ(f.host.told, std::vector<std::string> { "Error: Parser NodeConfig.xml error..." });
    EXPECT_TRUE(f.config.CompletePendingWrite()) << "nothing to write";
    f.host.told.clear();
    f.host.files = { f.dir / "out.xml" };
    f.config.ExportNodeConfig();
    EXPECT_EQ(f.host.told, std::vector<std::string> { "Message: Please import the xml file first." });
    EXPECT_FALSE(f.config.ConfigureNodes([](ConfigureRequest&) { return true; }));
}

TEST(NodeConfigurationTest, ImportOfANonNodesetIsRolledBack)
{
    Fixture f;
    f.config.ReloadNodeConfig();
    const std::string original = readFile(f.path());
    writeFile(f.dir / "notes.xml", "<notes/>");
    f.host.files = { f.dir / "notes.xml" };
    f.config.ImportNodeConfig();
    EXPECT_EQ(
        f.host.told, std::vector<std::string> { "Information: Import node configuration fail! Please try again!" });
    EXPECT_EQ(f.host.owned, std::vector<bool> { true });
    EXPECT_EQ(readFile(f.path()), original);
    EXPECT_FALSE(std::filesystem::exists(f.backup()));
    EXPECT_FALSE(f.config.isBackupMade());
    EXPECT_TRUE(f.config.isLoaded()) << "the previous document stays";
    EXPECT_EQ(f.rows().size(), 5u);
    ASSERT_EQ(f.host.choices.size(), 1u);
    EXPECT_EQ(f.host.choices[0].title, "Import Node Configuration");
    EXPECT_EQ(f.host.choices[0].kind, FileChoice::Kind::Open);
    EXPECT_EQ(f.host.choices[0].initialDirectory, f.dir.path());

    // A nodeset whose nodes cannot be built: both messages, the file restored, nothing loaded.
    f.host.told.clear();
    writeFile(f.dir / "twice.xml", nodesetXml({ { "ns=2;s=A" }, { "ns=2;s=A" } }));
    f.host.files = { f.dir / "twice.xml" };
    f.config.ImportNodeConfig();
    EXPECT_EQ(f.host.told,
        (std::vector<std::string> { "Error: Parser NodeConfig.xml error...",
            "Information: Import node configuration fail! Please try again!" }));
    EXPECT_EQ(readFile(f.path()), original);
    EXPECT_FALSE(std::filesystem::exists(f.backup()));
    EXPECT_FALSE(f.config.isLoaded());

    // Cancelled, or the server's file is missing: nothing happens, and nothing is said.
    f.host.told.clear();
    f.host.files = { std::nullopt };
    f.config.ImportNodeConfig();
    std::filesystem::remove(f.path());
    f.host.files = { f.dir / "notes.xml" };
    f.config.ImportNodeConfig();
    EXPECT_TRUE(f.host.told.empty());
    EXPECT_FALSE(std::filesystem::exists(f.path()));
}

TEST(NodeConfigurationTest, ReloginRestoresTheBackupOfAnImport)
{
    Fixture f;
    f.config.ReloadNodeConfig();
    const std::string original = readFile(f.path());
    const std::string other = nodesetXml({ { "ns=2;s=Other", "i=6", 7 } });
    writeFile(f.dir / "other.xml", other);
    f.host.files = { f.dir / "other.xml" };
    f.config.ImportNodeConfig();
    EXPECT_EQ(f.host.told,
        std::vector<std::string> { "Information: Please restart Tavox server to apply new node configuration" });
    EXPECT_TRUE(f.host.pageModified);
    EXPECT_EQ(readFile(f.path()), other) << "the import takes effect on disk at once";
    EXPECT_EQ(readFile(f.backup()), original);
    EXPECT_EQ(f.rows(), std::vector<std::string> { "01 10 Other" });

    f.config.ReloadNodeConfig();
    EXPECT_EQ(readFile(f.path()), original);
    EXPECT_FALSE(std::filesystem::exists(f.backup()));
    EXPECT_EQ(f.rows().size(), 5u);
    EXPECT_FALSE(f.host.pageModified);
}

TEST(NodeConfigurationTest, ClosingWithoutApplyDeletesOnlyTheBackup)
{
    TempDir dir;
    const auto path = dir / "NodeConfig.xml";
    const std::string imported = nodesetXml({ { "ns=2;s=Other", "i=6", 7 } });
    writeFile(path, nodesetXml(kTank, kAlarmBlock));
    writeFile(dir / "other.xml", imported);
    {
        ScriptedHost host;
        NodeConfiguration config(host);
        NodeConfigPaths paths { path, u"NodeConfig.xml", dir / "NodeConfig.bak" };
        config.setPaths(paths);
        config.ReloadNodeConfig();
        host.files = { dir / "other.xml" };
        config.ImportNodeConfig();
        EXPECT_TRUE(std::filesystem::exists(dir / "NodeConfig.bak"));
    }
    EXPECT_EQ(readFile(path), imported);
    EXPECT_FALSE(std::filesystem::exists(dir / "NodeConfig.bak"));
}

TEST(NodeConfigurationTest, ImportAsksBeforeDiscardingConfiguredChanges)
{
    Fixture f;
    f.config.ReloadNodeConfig();
    ASSERT_TRUE(f.config.ConfigureNodes([](ConfigureRequest& request) {
        EXPECT_EQ(request.entries.size(), 5u);
        // What the dialog's OK does to the document: an alarm on Tank.Temp.
        UaXmlDocument& doc = request.document;
        doc.toRoot();
        doc.getFirstChild();
        while (true) {
            char* id = nullptr;
            doc.getAttributeValue("NodeId", id);
            const bool found = id && std::string(id) == "ns=2;s=Tank.Temp";
            UaXmlDocument::freeXmlString(id);
            if (found)
                break;
            EXPECT_EQ(0, doc.getFollowingSibling());
        }
        EXPECT_EQ(0, doc.addChild("Tavox_Alarm", nullptr));
        EXPECT_EQ(0, doc.addAttribute("Alarm", "true"));
        EXPECT_EQ(0, doc.addAttribute("AlarmLimit_HH", "12345678901234567890"));
        return true;
    }));
    EXPECT_TRUE(f.config.isModified());
    EXPECT_TRUE(f.host.pageModified);
    // After the dialog the alarms come from the document: only Tank.Temp has an element.
    EXPECT_EQ(f.rows(),
        (std::vector<std::string> {
            "01 9 Tank.Temp [12345678901234567890|||]", "02 10 Tank.Temp", "03 10 Tank.Level" }));

    const std::string before = readFile(f.path());
    writeFile(f.dir / "other.xml", nodesetXml({}));
    f.host.files = { f.dir / "other.xml" };
    f.host.answers = { false };
    f.config.ImportNodeConfig();
    EXPECT_EQ(f.host.asked,
        std::vector<std::string> {
            "Question: The Node Configuration had modified. Do you want to discard it and import new? " });
    EXPECT_EQ(readFile(f.path()), before);
    EXPECT_FALSE(std::filesystem::exists(f.backup()));
    EXPECT_TRUE(f.config.isModified());

    EXPECT_FALSE(f.config.ConfigureNodes({})) << "no dialog: nothing runs";
    EXPECT_TRUE(f.host.told.empty());
}

TEST(NodeConfigurationTest, ExportAsksOnlyForAnExistingWritableFile)
{
    struct Case {
        const char* what;
        const char* existing; // content of the chosen file, or null
        mode_t mode;
        std::vector<bool> answers;
        std::vector<std::string> asked, told;
        bool written;
    };
    const std::string question = "Question: File Exists. Do you want to overwrite it ? ";
    const Case cases[] = {
        { "new file", nullptr, 0644, {}, {}, { "Message: Export file sucess." }, true },
        { "existing, Yes", "old", 0644, { true }, { question }, { "Message: Export file sucess." }, true },
        { "existing, No", "old", 0644, { false }, { question }, {}, false },
        { "existing read-only", "old", 0444, {}, {}, { "Error: Update Nodeconfig.xml fail..." }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (::geteuid() == 0 && c.mode == 0444)
            continue; // root may write any file
        Fixture f;
        f.config.ReloadNodeConfig();
        const auto target = f.dir / "export.xml";
        if (c.existing) {
            writeFile(target, c.existing);
            ::chmod(target.c_str(), c.mode);
        }
        f.host.files = { target };
        f.host.answers = { c.answers.begin(), c.answers.end() };
        f.config.ExportNodeConfig();
        EXPECT_EQ(f.host.asked, c.asked);
        EXPECT_EQ(f.host.told, c.told);
        EXPECT_EQ(readFile(target) != (c.existing ? c.existing : ""), c.written);
        if (c.written) {
            EXPECT_EQ(f.host.icons.back(), MbIcon::Question);
            EXPECT_EQ(f.host.owned.back(), false);
            ASSERT_TRUE(f.config.CompletePendingWrite());
            EXPECT_EQ(readFile(target), readFile(f.path())) << "the export is what an apply writes";
        }
    }
}

} // namespace
