#include "nodeconfig/SettingsBlock.h"

#include "nodeconfig/NodeConfigTesting.h"
#include "platform/PrivateProfile.h"
#include "support/DebugOutput.h"
#include "support/Lines.h"
#include "support/WholeFile.h"
#include "testing/TempDir.h"
#include "uanodes/Object.h"
#include "uanodes/Variable.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>

namespace {

using namespace nodeconfig;
using nodeconfig::testing::levelLines;
using nodeconfig::testing::readFile;
using nodeconfig::testing::writeFile;

template <typename Line> std::vector<std::string> joined(const std::vector<Line>& lines)
{
    return { lines.begin(), lines.end() };
}

std::unique_ptr<UaBase::Variable> variable(const char* identifier, std::uint32_t dataType)
{
    auto node = std::make_unique<UaBase::Variable>(UaNodeId(UaString(identifier), 2));
    node->setDataType(UaNodeId(dataType, 0));
    return node;
}

AlarmHistoryEntry alarm(UaBase::BaseNode* node, std::string hh, std::string h, std::string l, std::string ll)
{
    return AlarmHistoryEntry { node, std::move(hh), std::move(h), std::move(l), std::move(ll), kEntryAlarm, 0 };
}

TEST(SettingsBlockTest, AlarmLinesNumberVariablesAndGroupEveryTypeButBoolean)
{
    auto level = variable("Tank.Level", 11);
    auto running = variable("Pump.Running", 1);
    auto name = variable("Tank.Name", 12);
    auto broken = variable("Bad\nName", 6);
    UaBase::Object object(UaNodeId(UaString("Tank"), 2));
    const AlarmHistoryEntry entries[] = {
        alarm(level.get(), "95", "90", "10", "5"),
        AlarmHistoryEntry { level.get(), {}, {}, {}, {}, kEntryHistory, 0 },
        alarm(running.get(), "", "", "", ""),
        alarm(&object, "1", "", "", ""),
        alarm(broken.get(), "1", "", "", ""),
        alarm(name.get(), "", "7", "", "123456789012345678901234"),
    };
    std::vector<const AlarmHistoryEntry*> pointers;
    for (const AlarmHistoryEntry& entry : entries)
        pointers.push_back(&entry);

    support::ScopedDebugCapture capture;
    const AlarmSourceLines lines = BuildAlarmSourceLines(pointers);
    EXPECT_EQ(capture.text(),
        "CPgXmlConfigure: WriteNodeConfig failed. The alarm of ns=2;s=Bad\\nName is left out "
        "of the settings block: its identifier or a limit holds a line break.\n");
    EXPECT_EQ(
        lines.nodeLines, (std::vector<std::string> { "Node1=Tank.Level", "Node2=Pump.Running", "Node3=Tank.Name" }));
    EXPECT_EQ(lines.externalLines,
        (std::vector<std::string> {
            "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level]",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighHighLimit=95",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighLimit=90",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLimit=10",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLowLimit=5",
            "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name]",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.HighHighLimit=",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.HighLimit=7",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.LowLimit=",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Name.LowLowLimit=123456789012345678901234",
        }));
}

TEST(SettingsBlockTest, WritingWithNoAlarmsStillWritesTheWholeBlock)
{
    const std::string saved = "<?xml version=\"1.0\"?>\n<UANodeSet/>\n";
    const std::string text = composeNodeConfigText(splitNodeConfigText(saved, 1), {});
    std::string expected = "<?xml version=\"1.0\"?>\r\n<UANodeSet/>\r\n<!--\r\n[AlarmSourceNodes]\r\n";
    for (const std::string& line : levelLines())
        expected += line + "\r\n";
    expected += "[HistorizedtoODBCSQL]\r\nStartLogging=true\r\n-->";
    EXPECT_EQ(text, expected);
    // The written file splits into the same parts again: writing twice gives the same bytes.
    EXPECT_EQ(composeNodeConfigText(splitNodeConfigText(text, 1), {}), text);
}

TEST(SettingsBlockTest, SplitKeepsTheLevelAndHistorySectionsAndDropsTheRest)
{
    std::vector<std::string> tenLevels = levelLines();
    tenLevels[1] += "7";
    std::vector<std::string> nineLevels(tenLevels.begin(), tenLevels.end() - 1);
    std::vector<std::string> elevenLevels = tenLevels;
    elevenLevels.push_back(tenLevels[4]);
    const std::vector<std::string> defaults = levelLines();
    const std::string licence = "<?xml version=\"1.0\"?>\n<!--\n * Licence\n[HistorizedtoODBCSQL]\n-->\n";
    struct Case {
        const char* what;
        std::string text;
        int startLogging;
        std::vector<std::string> document, levels, history;
    };
    const auto lines = [](const std::vector<std::string>& inner) {
        std::string text = "<UANodeSet>\n</UANodeSet>\n<!--\n";
        for (const std::string& line : inner)
            text += line + "\n";
        return text + "-->\n";
    };
    const auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<std::string> root = { "<UANodeSet>", "</UANodeSet>" };
    const std::vector<Case> cases = {
        { "ten level lines kept, old alarm lines dropped",
            lines(with({ "[AlarmSourceNodes]", "Node1=X", "[AlarmsWithNodesXML.ExternalLevelAlarm_X]" }, tenLevels)),
            0,
            root,
            tenLevels,
            { "[HistorizedtoODBCSQL]", "StartLogging=false" } },
        { "nine replaced by the defaults",
            lines(nineLevels),
            0,
            root,
            defaults,
            { "[HistorizedtoODBCSQL]", "StartLogging=false" } },
        { "eleven replaced by the defaults",
            lines(elevenLevels),
            1,
            root,
            defaults,
            { "[HistorizedtoODBCSQL]", "StartLogging=true" } },
        { "history kept, StartLogging set",
            lines({ "[HistorizedtoODBCSQL]", "SQLTYPE=MySQL", "StartLogging=true", "ACTIVE=1,1" }),
            0,
            root,
            defaults,
            { "[HistorizedtoODBCSQL]", "SQLTYPE=MySQL", "StartLogging=false", "ACTIVE=1,1" } },
        { "a section without StartLogging keeps its keys and gets one",
            lines({ "[HistorizedtoODBCSQL]", "SQLTYPE=MySQL", "PWD=a;b" }),
            1,
            root,
            defaults,
            { "[HistorizedtoODBCSQL]", "StartLogging=true", "SQLTYPE=MySQL", "PWD=a;b" } },
        { "a comment in front of the root is document text",
            licence + "<UANodeSet/>\n",
            0,
            { "<?xml version=\"1.0\"?>", "<!--", " * Licence", "[HistorizedtoODBCSQL]", "-->", "<UANodeSet/>" },
            defaults,
            { "[HistorizedtoODBCSQL]", "StartLogging=false" } },
        { "lines after the block stay document lines",
            "<UANodeSet/>\n<!--\n[HistorizedtoODBCSQL]\n-->\n<!-- x -->\n-->\n",
            0,
            { "<UANodeSet/>", "<!-- x -->", "-->" },
            defaults,
            { "[HistorizedtoODBCSQL]", "StartLogging=false" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const NodeConfigSplit split = splitNodeConfigText(c.text, c.startLogging);
        EXPECT_EQ(joined(split.documentLines), c.document);
        EXPECT_EQ(joined(split.levelLines), c.levels);
        EXPECT_EQ(joined(split.historyLines), c.history);

        // Split as it is saved, in pieces of any size, it gives the same file.
        const std::string whole = composeNodeConfigText(split, {});
        for (std::size_t piece : { std::size_t(1), std::size_t(3), std::size_t(64) }) {
            std::string text;
            NodeConfigSplitter splitter(text);
            support::LineAssembler assembler;
            const auto add = [&splitter](std::string_view line) { splitter.addLine(line); };
            for (std::size_t at = 0; at < c.text.size(); at += piece)
                assembler.feed(std::string_view(c.text).substr(at, piece), add);
            assembler.finish(add);
            appendSettingsBlock(text, splitter.finish(c.startLogging), {});
            EXPECT_EQ(text, whole) << piece;
        }
    }
}

TEST(SettingsBlockTest, StartLoggingIsTheLastValueInTheHistorySection)
{
    struct Case {
        std::string text;
        std::optional<int> value;
    };
    const Case cases[] = {
        { "<A/>\n", std::nullopt },
        { "<A/>\r\n<!--\r\n[HistorizedtoODBCSQL]\r\nStartLogging=true\r\n-->", 1 },
        { "<A/>\n<!--\n[HistorizedtoODBCSQL]\nStartLogging=TRUE\n-->", 0 },
        { "<A/>\n<!--\n[HistorizedtoODBCSQL]\nStartLogging=true\nStartLogging=false\n-->", 0 },
        { "<A/>\n[HistorizedtoODBCSQL]\nStartLogging=true\n", std::nullopt },
        { "<A/>\n<!--\n[HistorizedtoODBCSQL]\n-->\nStartLogging=true\n", std::nullopt },
        // The writer takes a comment in front of the root for document text; so do the readers.
        { "<!--\n[HistorizedtoODBCSQL]\nStartLogging=true\n-->\n<A/>\n", std::nullopt },
        { "\xEF\xBB\xBF  <A>\n</A>\n<!--\n[HistorizedtoODBCSQL]\nStartLogging=true\n-->", 1 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(readStartLoggingText(c.text), c.value) << c.text;
}

TEST(SettingsBlockTest, AlarmSourcesAreNumberedWithoutGaps)
{
    const AlarmSourceNodes found
        = readAlarmSourceNodesText("<!--\r\n[AlarmSourceNodes]\r\nNode1=Licence\r\n-->\r\n<A/>\r\n"
                                   "<!--\r\n[AlarmSourceNodes]\r\nNode1=Tank.Level\r\nNode3=Pump\r\nNode2=A=B\r\n"
                                   "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level]\r\n"
                                   "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighLimit=90\r\n"
                                   "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighLimit=\r\n-->\r\nNode3=Late\r\n");
    EXPECT_EQ(found.identifiers, (std::vector<std::string> { "Tank.Level", "A=B" }));
    EXPECT_EQ(found.pool,
        (std::vector<std::string> { "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level]",
            "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighLimit=90" }));

    const AlarmSourceNodes gap = readAlarmSourceNodesText("<A/>\n<!--\n[AlarmSourceNodes]\nNode1=A\nNode3=C\n");
    EXPECT_EQ(gap.identifiers, std::vector<std::string> { "A" });
}

TEST(SettingsBlockTest, AnAlarmLimitHoldingAnotherLinesKeyReadsBackAsItsOwnLimit)
{
    std::string text = "<UANodeSet>\r\n</UANodeSet>\r\n<!--\r\n";
    for (const std::string& line : levelLines())
        text += line + (line.back() == '=' ? "7" : "") + "\r\n";
    text += "-->";
    const NodeConfigSplit split = splitNodeConfigText(text, 0);
    // A limit as read from a file: whole, whatever it holds.
    auto level = variable("Tank.Level", 11);
    const AlarmHistoryEntry entry
        = alarm(level.get(), "1AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLowLimit=0", "", "", "");
    auto pump = variable("Pump", 6);
    const AlarmHistoryEntry other = alarm(pump.get(), "", "x Node3=", "", "");
    const std::string written = composeNodeConfigText(split, BuildAlarmSourceLines({ &entry, &other }));
    EXPECT_EQ(splitNodeConfigText(written, 0).levelLines, split.levelLines);
    // Nor does one that holds the key of the next alarm make up an alarm.
    EXPECT_EQ(readAlarmSourceNodesText(written).identifiers, (std::vector<std::string> { "Tank.Level", "Pump" }));
}

TEST(SettingsBlockTest, BlockReadersRefuseWhatIsNoRegularFileOrTooLarge)
{
    TempDir dir;
    const std::string block = "<A/>\r\n<!--\r\n[AlarmSourceNodes]\r\nNode1=Tank\r\n[HistorizedtoODBCSQL]\r\n"
                              "StartLogging=true\r\n-->";
    const auto fifo = dir / "pipe.xml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Sparse, and its block is at the start: a reader that ignored the size would find it.
    const auto huge = dir / "huge.xml";
    writeFile(huge, block + "\r\n");
    std::filesystem::resize_file(huge, support::kMaxWholeFileBytes + 1);
    // Neither the pipe (no writer) nor /dev/zero (no end) may hold a reader.
    for (const std::filesystem::path& file : { fifo, std::filesystem::path("/dev/zero"), huge }) {
        SCOPED_TRACE(file.string());
        EXPECT_EQ(ReadStartLogging(file), std::nullopt);
        EXPECT_TRUE(ReadAlarmSourceNodes(file).identifiers.empty());
        EXPECT_FALSE(SplitNodeConfigFile(file, 1).ok());
        if (file != "/dev/zero") {
            EXPECT_FALSE(EnsureHistorySection(file));
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    const auto regular = dir / "NodeConfig.xml";
    writeFile(regular, block);
    EXPECT_EQ(ReadStartLogging(regular), 1);
    EXPECT_EQ(ReadAlarmSourceNodes(regular).identifiers, std::vector<std::string> { "Tank" });
}

TEST(SettingsBlockTest, LimitsAreTakenFromTheLinesNearestTheStartThatNameTheIdentifierWhole)
{
    const std::string prefix = "AlarmsWithNodesXML.ExternalLevelAlarm_";
    std::vector<std::string> pool = {
        "[" + prefix + "1]",
        prefix + "1.HighLimit=first",
        prefix + "11.LowLimit=of eleven",
        prefix + "1.HighLimit=second",
        prefix + "1.LowLimit=" + prefix + "1.HighHighLimit=7",
        "  " + prefix + "1.LowLowLimit=indented",
        prefix + "A=B.LowLowLimit=-4",
        prefix + "2.HighHighLimit=9",
    };
    const AlarmLimits one = TakeAlarmLimits("1", pool);
    EXPECT_EQ(one.high, "first");
    // The line of "11" ends with "1.LowLimit=" but names another identifier; a limit that holds
    // another kind's key is still a low limit.
    EXPECT_EQ(one.low, prefix + "1.HighHighLimit=7");
    EXPECT_EQ(one.highHigh, "");
    EXPECT_EQ(one.lowLow, "indented");
    EXPECT_EQ(pool,
        (std::vector<std::string> { "[" + prefix + "1]",
            prefix + "11.LowLimit=of eleven",
            prefix + "A=B.LowLowLimit=-4",
            prefix + "2.HighHighLimit=9" }));
    EXPECT_EQ(TakeAlarmLimits("11", pool).low, "of eleven");

    // An identifier holding "=" reads back its own value, not the text after the first "=".
    EXPECT_EQ(TakeAlarmLimits("A=B", pool).lowLow, "-4");
    EXPECT_EQ(pool.size(), 2u);
}

TEST(SettingsBlockTest, HistorySectionIsInsertedOrAppendedWithoutTouchingWhatIsThere)
{
    struct Case {
        const char* what;
        std::string before, after;
    };
    const std::string block = "<!--\r\n[AlarmSourceNodes]\r\n";
    const Case cases[] = {
        { "a block without the section", block + "-->", block + "[HistorizedtoODBCSQL]\r\n-->" },
        { "a block whose closing line has a line end", block + "-->\r\n", block + "[HistorizedtoODBCSQL]\r\n-->\r\n" },
        { "a section with SQLTYPE",
            "<!--\n[HistorizedtoODBCSQL]\nSQLTYPE=MySQL\n-->",
            "<!--\n[HistorizedtoODBCSQL]\nSQLTYPE=MySQL\n-->" },
        { "a section with StartLogging",
            block + "[HistorizedtoODBCSQL]\r\nStartLogging=false\r\n-->",
            block + "[HistorizedtoODBCSQL]\r\nStartLogging=false\r\n-->" },
        { "a closing text on the line of a key", "<!--\nX=1-->", "<!--\nX=1\r\n[HistorizedtoODBCSQL]\r\n-->" },
        { "no block after the root's end tag",
            "<UANodeSet/>\r\n",
            "<UANodeSet/>\r\n<!--\r\n[HistorizedtoODBCSQL]\r\n-->" },
        { "no block and no line end", "<UANodeSet/>", "<UANodeSet/>\r\n<!--\r\n[HistorizedtoODBCSQL]\r\n-->" },
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = dir / "NodeConfig.xml";
        writeFile(path, c.before);
        ASSERT_TRUE(EnsureHistorySection(path));
        EXPECT_EQ(readFile(path), c.after);
        ASSERT_TRUE(EnsureHistorySection(path));
        EXPECT_EQ(readFile(path), c.after) << "a second call changes nothing";
    }
    EXPECT_FALSE(EnsureHistorySection(dir / "missing.xml"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.xml"));

    // The ODBC Database page's keys then land inside the section, in front of the "-->".
    const auto path = dir / "NodeConfig.xml";
    writeFile(path, "<UANodeSet/>\n");
    ASSERT_TRUE(EnsureHistorySection(path));
    ASSERT_TRUE(platform::writeProfileString(path, "HistorizedtoODBCSQL", "SQLTYPE", "MySQL"));
    EXPECT_EQ(readFile(path), "<UANodeSet/>\n<!--\r\n[HistorizedtoODBCSQL]\r\nSQLTYPE=MySQL\r\n-->");
}

TEST(SettingsBlockTest, LimitTextsAreNumbersOfTheirType)
{
    struct Case {
        AlarmDataType type;
        const char* text;
        bool number;
    };
    const Case cases[] = {
        { AlarmDataType::Int16, "-32768", true },
        { AlarmDataType::Int16, "32768", false },
        { AlarmDataType::UInt16, "65535", true },
        { AlarmDataType::UInt16, "-1", false },
        { AlarmDataType::Int32, "+5", false },
        { AlarmDataType::UInt32, "4294967295", true },
        { AlarmDataType::Int64, "-9223372036854775808", true },
        { AlarmDataType::UInt64, "18446744073709551616", false },
        { AlarmDataType::Float, "3.5", true },
        { AlarmDataType::Float, "1e39", false },
        { AlarmDataType::Double, "-0.25", true },
        { AlarmDataType::Double, "nan", false },
        { AlarmDataType::Double, "1,5", false },
        { AlarmDataType::Int32, "", false },
        { AlarmDataType::Int32, " 5", false },
        { AlarmDataType::Boolean, "1", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(isNumberOfType(c.type, c.text), c.number) << dataTypeName(c.type) << " " << c.text;
}

} // namespace
