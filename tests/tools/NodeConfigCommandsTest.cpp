#include "tavox-admin/AdminTool.h"
#include "tavox-admin/PasswordInput.h"

#include "history/HistorySettings.h"
#include "history/OdbcSettings.h"
#include "nodeconfig/PageEdits.h"
#include "nodeconfig/SettingsBlock.h"
#include "platform/InMemoryServiceManager.h"
#include "platform/Sleeper.h"
#include "platform/UnixOdbc.h"
#include "snapshots/ConfigSnapshots.h"
#include "support/AtomicFile.h"
#include "testing/TempStores.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <deque>
#include <sstream>

using namespace admin;
using namespace nodeconfig;
using namespace nodeconfig::testing;

namespace {

/// The MariaDB ODBC driver registered for MySQL in the folder that ODBCSYSINI names (CTest sets
/// it for this program), before the first ODBC call reads it.
constexpr const char* kDriver = "MariaDB MySQL ODBC Test Driver";

std::string registerDriver()
{
    const char* folder = std::getenv("ODBCSYSINI");
    if (!folder || !*folder)
        return "ODBCSYSINI names no folder (run the test through ctest)";
    std::filesystem::create_directories(folder);
    const std::string ini = std::string("[") + kDriver + "]\nDescription=" + kDriver
        + "\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so\n\n";
    for (const auto& [file, content] : { std::pair { "odbcinst.ini", ini }, std::pair { "odbc.ini", std::string() } }) {
        if (const auto written = support::writeFileAtomically(std::filesystem::path(folder) / file, content); !written)
            return written.error().message;
    }
    return {};
}

class NoSleeper final : public platform::Sleeper {
public:
    void sleepMs(unsigned) override {}
};

class LinesInput final : public PasswordInput {
public:
    bool isTerminal() const override { return false; }
    std::optional<std::string> readHidden(std::string_view) override { return readLine(); }
    std::optional<std::string> readLine() override
    {
        if (lines.empty())
            return std::nullopt;
        std::string line = lines.front();
        lines.pop_front();
        return line;
    }
    std::deque<std::string> lines;
};

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

/// A configured server: its stores, a service directory holding the plant as its node
/// configuration file.
class NodeConfigCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_service);
        ASSERT_EQ(run({ "init", "--service-path", m_service.string() }).code, kExitSuccess);
        writeFile(nodeConfig(), plantXml());
        m_initial = snapshots();
    }
    Outcome run(std::vector<std::string> args)
    {
        std::ostringstream out, err;
        const int code = runAdmin(args, { out, err }, { m_stores.stores(), m_services, m_sleeper, m_input });
        return { code, out.str(), err.str() };
    }
    std::filesystem::path nodeConfig() const { return m_service / "NodeConfig.xml"; }
    std::size_t snapshots() const
    {
        const auto all = ConfigSnapshots(m_stores.machineStore()).list();
        return all ? all->size() : 0;
    }

    TempDir m_dir;
    TempStores m_stores { m_dir };
    std::filesystem::path m_service = m_dir / "service";
    platform::InMemoryServiceManager m_services;
    NoSleeper m_sleeper;
    LinesInput m_input;
    std::size_t m_initial = 0; ///< the snapshots taken by the set-up (init takes one)
};

TEST_F(NodeConfigCommandsTest, EachCommandWritesWhatThePageWritesForTheSameChoicesAfterASnapshot)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<DialogStep> page;
        std::optional<bool> startLogging = std::nullopt;
    };
    const Case cases[] = {
        { { "alarms", "set", "ns=2;s=Tank.Count", "--high-high", "100", "--high=80", "--low", "-5" },
            { { "Objects", "ns=2;s=Tank.Count", TreeCommand::AddAlarmEvent, AlarmLimits { "100", "80", "-5", "" } } } },
        { { "alarms", "set", "ns=2;s=Tank.Running" },
            { { "Objects", "ns=2;s=Tank.Running", TreeCommand::AddAlarmEvent, std::nullopt } } },
        { { "alarms", "set", "ns=2;s=Tank.Level", "--low", "" },
            { { "Alarm", "ns=2;s=Tank.Level", TreeCommand::EditCondition, AlarmLimits { "95", "90", "", "5" } } } },
        { { "alarms", "set", "ns=2;s=Tank.Total", "--high", "7", "--low", "9", "--force" },
            { { "Objects", "ns=2;s=Tank.Total", TreeCommand::AddAlarmEvent, AlarmLimits { "", "7", "9", "" } } } },
        { { "alarms", "remove", "ns=2;s=Tank.Level" },
            { { "Alarm", "ns=2;s=Tank.Level", TreeCommand::RemoveAlarm, std::nullopt } } },
        { { "history", "on", "ns=2;s=Tank.Name" },
            { { "Objects", "ns=2;s=Tank.Name", TreeCommand::AddHistoricalData, std::nullopt } } },
        { { "history", "off", "ns=2;s=Tank.Level" },
            { { "History", "ns=2;s=Tank.Level", TreeCommand::RemoveHistorical, std::nullopt } } },
        { { "logging", "on" }, {}, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        writeFile(nodeConfig(), plantXml());
        const std::size_t before = snapshots();
        const Outcome o = run(c.args);
        ASSERT_EQ(o.code, kExitSuccess) << o.err;
        EXPECT_EQ(o.err, "");
        EXPECT_NE(o.out.find("Restart the service to apply"), std::string::npos) << o.out;
        EXPECT_EQ(readFile(nodeConfig()), writtenByThePage(c.page, c.startLogging));
        EXPECT_EQ(snapshots(), before + 1);
    }
}

TEST_F(NodeConfigCommandsTest, BadInputFailsWithOneLineAndChangesNothing)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        { { "alarms", "set", "ns=2;s=Tank.Nope", "--high", "1" },
            "ERROR: No node \"ns=2;s=Tank.Nope\" in the node configuration (tavox-nodeset dump lists the node "
            "identifiers).\n" },
        { { "alarms", "set", "ns=2;s=Tank.Count", "--high", "12a" },
            "ERROR: High Limit \"12a\" cannot be entered for Int16: at most 6 characters, digits and a leading "
            "\"-\".\n" },
        { { "alarms", "set", "ns=2;s=Tank.Count", "--low-low", "5." },
            "ERROR: Low Low Limit \"5.\" cannot be entered for Int16: at most 6 characters, digits and a leading "
            "\"-\".\n" },
        { { "alarms", "set", "ns=2;s=Tank.Level", "--high", "9." }, "ERROR: High Limit Input error...\n" },
        { { "alarms", "set", "ns=2;s=Tank.Count" }, "ERROR: Alarm Condition Input Error...\n" },
        { { "alarms", "set", "ns=2;s=Tank.Count", "--high", "1", "--low", "2" },
            "ERROR: The alarm limits are not in order (High High >= High >= Low >= Low Low); add --force to keep "
            "them.\n" },
        { { "history", "on", "ns=2;s=Tank" }, "ERROR: The node \"ns=2;s=Tank\" is not a variable.\n" },
        { { "alarms", "remove", "i=85" },
            "ERROR: No node \"i=85\" in the node configuration (tavox-nodeset dump lists the node identifiers).\n" },
    };
    for (const auto& [args, message] : cases) {
        const Outcome o = run(args);
        EXPECT_EQ(o.code, kExitFailure) << message;
        EXPECT_EQ(o.err, message);
        EXPECT_EQ(readFile(nodeConfig()), plantXml()) << message;
        EXPECT_EQ(snapshots(), m_initial) << message;
    }
    // An identifier with a line break cannot be listed in the settings block.
    writeFile(nodeConfig(), nodesetXml({ { "ns=2;s=Bad&#10;Name", "i=6" } }));
    EXPECT_EQ(run({ "alarms", "set", "ns=2;s=Bad\nName", "--high", "1" }).err,
        "ERROR: This variable cannot have an alarm: its identifier holds a line break, which the node "
        "configuration file cannot keep.\n");
    writeFile(nodeConfig(), plantXml());
    const Outcome usage = run({ "alarms", "set", "ns=2;s=Tank.Count", "--middle", "3" });
    EXPECT_EQ(usage.code, kExitUsage);
    const Outcome settled = run({ "history", "on", "ns=2;s=Tank.Level" });
    EXPECT_EQ(settled.code, kExitSuccess);
    EXPECT_EQ(settled.out, "Historical logging of ns=2;s=Tank.Level is on already. Nothing was changed.\n");
    EXPECT_EQ(readFile(nodeConfig()), plantXml());
}

TEST_F(NodeConfigCommandsTest, AFileThatIsNoNodesetIsNamedWithTheReadersComplaint)
{
    writeFile(nodeConfig(), "<UANodeSet>");
    const Outcome o = run({ "alarms", "list" });
    EXPECT_EQ(o.code, kExitFailure);
    EXPECT_EQ(o.err,
        "ERROR: The node configuration file " + nodeConfig().string()
            + " is not a nodeset that can be read (line 1: Premature end of data in tag UANodeSet line 1).\n");
}

TEST_F(NodeConfigCommandsTest, ListShowsThePagesEntriesAsJson)
{
    const Outcome o = run({ "alarms", "list", "--json" });
    ASSERT_EQ(o.code, kExitSuccess) << o.err;
    const auto json = nlohmann::json::parse(o.out);
    EXPECT_EQ(json["startLogging"], false);
    ASSERT_EQ(json["entries"].size(), 2u);
    EXPECT_EQ(json["entries"][0],
        nlohmann::json::parse(R"({"kind": "alarm", "nodeId": "ns=2;s=Tank.Level", "identifier": "Tank.Level",
            "dataType": "Double", "nodePath": "Tank",
            "limits": {"highHigh": "95", "high": "90", "low": "10", "lowLow": "5"}})"));
    EXPECT_EQ(json["entries"][1]["kind"], "history");
}

TEST_F(NodeConfigCommandsTest, ImportAndExportGoThroughThePagesSteps)
{
    writeFile(m_dir / "other.xml", nodesetXml({ Var("ns=2;s=Tank.Flow", "i=11", 7) }));
    writeFile(m_dir / "broken.xml", "<UANodeSet>");
    const Outcome refused = run({ "nodeconfig", "import", (m_dir / "broken.xml").string() });
    EXPECT_EQ(refused.code, kExitFailure);
    EXPECT_TRUE(refused.err.starts_with("ERROR: The node configuration file ")) << refused.err;
    EXPECT_EQ(readFile(nodeConfig()), plantXml());
    EXPECT_EQ(snapshots(), m_initial);

    const Outcome imported = run({ "nodeconfig", "import", (m_dir / "other.xml").string() });
    ASSERT_EQ(imported.code, kExitSuccess) << imported.err;
    EXPECT_EQ(snapshots(), m_initial + 1);
    const Outcome exported = run({ "nodeconfig", "export", (m_dir / "out.xml").string() });
    ASSERT_EQ(exported.code, kExitSuccess) << exported.err;
    EXPECT_EQ(readFile(m_dir / "out.xml"), readFile(nodeConfig()));
    EXPECT_NE(readFile(nodeConfig()).find("Tank.Flow"), std::string::npos);
    EXPECT_EQ(run({ "nodeconfig", "export", (m_dir / "out.xml").string() }).code, kExitFailure);
    EXPECT_EQ(snapshots(), m_initial + 1) << "an export changes nothing of the server";

    const Outcome check = run({ "nodeconfig", "check" });
    EXPECT_EQ(check.code, kExitSuccess) << check.err;
    EXPECT_EQ(
        check.out, nodeConfig().string() + ": 2 nodes, 1 variables, 0 alarms, 1 variables logged, logging off.\n");
}

TEST_F(NodeConfigCommandsTest, OdbcSetWritesWhatThePageWritesAndTestSaysWhyItCannotConnect)
{
    ASSERT_EQ(registerDriver(), "");
    m_input.lines = { "se;cr}et" };
    const Outcome set = run({ "odbc",
        "set",
        "--active",
        "on",
        "--type",
        "MySQL",
        "--driver",
        kDriver,
        "--server",
        "127.0.0.2",
        "--port",
        "1",
        "--user",
        "tavox",
        "--password-stdin",
        "--database",
        "history" });
    ASSERT_EQ(set.code, kExitSuccess) << set.err;

    TempDir pageDir;
    writeFile(pageDir / "NodeConfig.xml", plantXml());
    platform::UnixOdbc odbc;
    history::OdbcSettings page(odbc, EnsureHistorySection);
    const history::HistorySettings shown { true,
        history::SqlType::MySql,
        u"MariaDB MySQL ODBC Test Driver",
        u"127.0.0.2",
        u"1",
        u"tavox",
        u"se;cr}et",
        u"history" };
    ASSERT_TRUE(page.Apply(shown, pageDir / "NodeConfig.xml", [] { return false; }).passed);
    EXPECT_EQ(readFile(nodeConfig()), readFile(pageDir / "NodeConfig.xml"));

    const Outcome shownJson = run({ "odbc", "show", "--json" });
    ASSERT_EQ(shownJson.code, kExitSuccess);
    const auto json = nlohmann::json::parse(shownJson.out);
    EXPECT_EQ(json["active"], true);
    EXPECT_EQ(json["driverInstalled"], true);
    EXPECT_EQ(json["passwordSet"], true);
    EXPECT_EQ(shownJson.out.find("se;cr}et"), std::string::npos) << "the password is never shown";

    const std::string written = readFile(nodeConfig());
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        { { "odbc", "set", "--server", "127.0.0.1" },
            "ERROR: The IP is localhost. It means that you can't remote connect. Add --force to keep it.\n" },
        { { "odbc", "set", "--user", " " }, "ERROR: Blank field! Please check all setting value!\n" },
        { { "odbc", "set", "--driver", "Nope" },
            "ERROR: The driver \"Nope\" is not an installed MySQL driver; installed: \"MariaDB MySQL ODBC Test "
            "Driver\".\n" },
    };
    for (const auto& [args, message] : refusals) {
        const Outcome o = run(args);
        EXPECT_EQ(o.code, kExitFailure);
        EXPECT_EQ(o.err, message);
        EXPECT_EQ(readFile(nodeConfig()), written);
    }

    // Nothing listens on port 1 of 127.0.0.2: the driver says so.
    const Outcome test = run({ "odbc", "test" });
    EXPECT_EQ(test.code, kExitFailure);
    EXPECT_TRUE(test.err.starts_with("ERROR: Cannot connect to \"MariaDB MySQL ODBC Test Driver\" at 127.0.0.2:1, "
                                     "database \"history\", user \"tavox\": "))
        << test.err;
    EXPECT_EQ(std::count(test.err.begin(), test.err.end(), '\n'), 1);
}

} // namespace
