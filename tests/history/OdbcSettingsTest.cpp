#include "history/OdbcSettings.h"

#include "platform/PrivateProfile.h"
#include "support/AtomicFile.h"
#include "support/WholeFile.h"
#include "testing/FakeOdbc.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace {

using namespace history;

constexpr const char* kDocument = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                                  "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\"/>\r\n";
constexpr const char* kBlockWithoutHistory = "<!--\r\n[AlarmSourceNodes]\r\nNode1=1001\r\n-->";

/// The block's own way of readying the history section: a block closed by a last "-->"
/// gets the header in front of that line unless the section is there; a file without one
/// gets a new block.
class BlockLikeEnsure {
public:
    bool operator()(const std::filesystem::path& file)
    {
        ++calls;
        auto content = support::readWholeFile(file);
        if (!content || fails)
            return false;
        if (content->ends_with("-->")) {
            if (platform::readProfileString(file, "HistorizedtoODBCSQL", "SQLTYPE", "N/A") == "N/A"
                && platform::readProfileString(file, "HistorizedtoODBCSQL", "StartLogging", "N/A") == "N/A")
                content->insert(content->size() - 3, "[HistorizedtoODBCSQL]\r\n");
        } else {
            *content += "\r\n<!--\r\n[HistorizedtoODBCSQL]\r\n-->";
        }
        return support::writeFileAtomically(file, *content).ok();
    }
    int calls = 0;
    bool fails = false;
};

class OdbcSettingsTest : public ::testing::Test {
protected:
    void write(const std::string& content) const { std::ofstream(m_file, std::ios::binary) << content; }
    std::string content() const
    {
        const auto text = support::readWholeFile(m_file);
        return text ? *text : "<missing>";
    }
    void writeSection(const std::string& keys) const
    {
        write(std::string(kDocument) + "<!--\r\n[HistorizedtoODBCSQL]\r\n" + keys + "-->");
    }

    TempDir m_dir;
    std::filesystem::path m_file = m_dir / "NodeConfig.xml";
    FakeOdbc m_odbc;
    BlockLikeEnsure m_ensure;
    OdbcSettings m_settings { m_odbc, [this](const std::filesystem::path& file) { return m_ensure(file); } };
};

HistorySettings complete(SqlType type = SqlType::MySql)
{
    HistorySettings s;
    s.active = true;
    s.type = type;
    s.driver = u"MariaDB MySQL ODBC Driver";
    s.server = u"db1";
    s.port = u"3306";
    s.user = u"tavox";
    s.password = u"se;cr}et";
    s.database = u"history";
    return s;
}

TEST_F(OdbcSettingsTest, WithoutTheSectionEverythingIsEmptyButThePort)
{
    for (const std::string& file : { std::string(kDocument) + kBlockWithoutHistory, std::string() }) {
        if (file.empty())
            std::filesystem::remove(m_file);
        else
            write(file);
        m_odbc.drivers = { u"MariaDB MySQL ODBC Driver" };
        const LoadedSettings loaded = m_settings.LoadSettings(m_file);
        EXPECT_FALSE(loaded.noDriver);
        EXPECT_FALSE(loaded.settings.active);
        EXPECT_EQ(loaded.settings.type, SqlType::None);
        EXPECT_TRUE(loaded.drivers.empty()) << "no type, no discovery";
        EXPECT_EQ(loaded.selectedDriver, -1);
        EXPECT_EQ(loaded.settings.port, u"3306");
        EXPECT_TRUE(loaded.settings.server.empty() && loaded.settings.user.empty() && loaded.settings.password.empty()
            && loaded.settings.database.empty());
    }
}

TEST_F(OdbcSettingsTest, LoadDiscoversTheStoredTypesDriversAndSelectsOne)
{
    const struct {
        const char* what;
        std::string keys;
        std::vector<std::u16string> installed;
        bool noDriver;
        SqlType type;
        bool active;
        std::vector<std::u16string> drivers;
        int selected;
        std::u16string port;
    } cases[] = {
        { "stored driver installed",
            "SQLTYPE=MySQL\r\nDRIVER=B MySQL ODBC\r\nACTIVE=1,1\r\nPORT=3307\r\n",
            { u"A MySQL ODBC", u"MySQL ODBC 8.0 Unicode Driver", u"B MySQL ODBC", u"MySQL Native" },
            false,
            SqlType::MySql,
            true,
            { u"A MySQL ODBC", u"B MySQL ODBC" },
            1,
            u"3307" },
        { "stored driver not installed",
            "SQLTYPE=MySQL\r\nDRIVER=Old MySQL ODBC 3.51\r\nACTIVE=0,1\r\n",
            { u"A MySQL ODBC", u"B MySQL ODBC" },
            false,
            SqlType::MySql,
            false,
            { u"A MySQL ODBC", u"B MySQL ODBC", u"Old MySQL ODBC 3.51" },
            0,
            u"3306" },
        { "MSSQL keyword",
            "SQLTYPE=MSSQL\r\nDRIVER=ODBC Driver 18 for SQL Server\r\nACTIVE=1,2\r\n",
            { u"SQL Server", u"ODBC Driver 18 for SQL Server", u"A MySQL ODBC" },
            false,
            SqlType::MsSql,
            true,
            { u"ODBC Driver 18 for SQL Server" },
            0,
            u"3306" },
        { "type without drivers",
            "SQLTYPE=MySQL\r\nDRIVER=A MySQL ODBC\r\nACTIVE=1,1\r\n",
            { u"SQL Server", u"MySQL ODBC 8.0 ANSI Driver" },
            true,
            SqlType::MySql,
            false,
            {},
            -1,
            u"" },
        { "type in other case",
            "SQLTYPE=mysql\r\nDRIVER=A MySQL ODBC\r\nACTIVE=1,1\r\n",
            { u"A MySQL ODBC" },
            false,
            SqlType::None,
            true,
            { u"A MySQL ODBC" },
            0,
            u"3306" },
        { "empty ACTIVE",
            "SQLTYPE=MySQL\r\nDRIVER=A MySQL ODBC\r\nACTIVE=\r\n",
            { u"A MySQL ODBC" },
            false,
            SqlType::MySql,
            false,
            { u"A MySQL ODBC" },
            0,
            u"3306" },
    };
    for (const auto& c : cases) {
        writeSection(c.keys);
        m_odbc.drivers = c.installed;
        const LoadedSettings loaded = m_settings.LoadSettings(m_file);
        EXPECT_EQ(loaded.noDriver, c.noDriver) << c.what;
        EXPECT_EQ(loaded.settings.type, c.type) << c.what;
        if (c.noDriver)
            continue;
        EXPECT_EQ(loaded.settings.active, c.active) << c.what;
        EXPECT_EQ(loaded.drivers, c.drivers) << c.what;
        EXPECT_EQ(loaded.selectedDriver, c.selected) << c.what;
        EXPECT_EQ(loaded.settings.port, c.port) << c.what;
    }
}

TEST_F(OdbcSettingsTest, ChecksRunInOrderAndStopAtTheFirstFailure)
{
    write(std::string(kDocument) + kBlockWithoutHistory);
    const auto blank = notices::blankField().text;
    const struct {
        const char* what;
        std::function<void(HistorySettings&)> edit;
        int localhostQuestions;
        bool localhostAnswer;
        bool passed;
        std::string failure;
        bool serverCleared;
        bool restartRequested;
    } cases[] = {
        { "complete", [](HistorySettings&) {}, 0, false, true, "", false, false },
        { "inactive skips the fields",
            [](HistorySettings& s) { s = HistorySettings {}; },
            0,
            false,
            true,
            "",
            false,
            false },
        { "blank driver", [](HistorySettings& s) { s.driver = u" "; }, 0, false, false, blank, false, false },
        { "blank server before localhost",
            [](HistorySettings& s) { s.server.clear(); },
            0,
            false,
            false,
            blank,
            false,
            false },
        { "localhost refused", [](HistorySettings& s) { s.server = u"127.0.0.1"; }, 1, false, false, "", true, false },
        { "localhost accepted", [](HistorySettings& s) { s.server = u"127.0.0.1"; }, 1, true, true, "", false, true },
        { "localhost accepted, port blank later",
            [](HistorySettings& s) {
                s.server = u"127.0.0.1";
                s.port = u" ";
            },
            1,
            true,
            false,
            blank,
            false,
            true },
        { "the name is not asked about",
            [](HistorySettings& s) { s.server = u"localhost"; },
            0,
            false,
            true,
            "",
            false,
            false },
        { "blank port", [](HistorySettings& s) { s.port.clear(); }, 0, false, false, blank, false, false },
        { "blank user", [](HistorySettings& s) { s.user = u" "; }, 0, false, false, blank, false, false },
        { "one-space password, MySQL",
            [](HistorySettings& s) { s.password = u" "; },
            0,
            false,
            false,
            blank,
            false,
            false },
        { "one-space password, MSSQL",
            [](HistorySettings& s) {
                s.type = SqlType::MsSql;
                s.password = u" ";
            },
            0,
            false,
            true,
            "",
            false,
            false },
        { "two-space password", [](HistorySettings& s) { s.password = u"  "; }, 0, false, true, "", false, false },
        { "blank database", [](HistorySettings& s) { s.database.clear(); }, 0, false, false, blank, false, false },
        { "no type", [](HistorySettings& s) { s.type = SqlType::None; }, 0, false, false, blank, false, false },
    };
    for (const auto& c : cases) {
        HistorySettings shown = complete();
        c.edit(shown);
        int asked = 0;
        const ApplyOutcome outcome = m_settings.CheckSettings(shown, m_file, [&] {
            ++asked;
            return c.localhostAnswer;
        });
        EXPECT_EQ(asked, c.localhostQuestions) << c.what;
        EXPECT_EQ(outcome.passed, c.passed) << c.what;
        EXPECT_EQ(outcome.failure.text, c.failure) << c.what;
        EXPECT_EQ(outcome.serverCleared, c.serverCleared) << c.what;
        EXPECT_EQ(outcome.restartRequested, c.restartRequested) << c.what;
    }
}

TEST_F(OdbcSettingsTest, TheFileMustOpenForWritingEvenWhenInactive)
{
    const auto never = [] {
        ADD_FAILURE() << "no question expected";
        return false;
    };
    const ApplyOutcome missing = m_settings.CheckSettings(HistorySettings {}, m_file, never);
    EXPECT_FALSE(missing.passed);
    EXPECT_EQ(missing.failure.text, m_file.string() + " doesn't exist or it can't be opened!");
    EXPECT_EQ(missing.failure.caption, "Error!");

    write(kDocument);
    ASSERT_EQ(::chmod(m_file.c_str(), 0444), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(m_settings.CheckSettings(HistorySettings {}, m_file, never).passed) << "read-only file";
    }
    EXPECT_FALSE(m_settings.CheckSettings(HistorySettings {}, m_dir.path(), never).passed) << "a directory";
}

TEST_F(OdbcSettingsTest, ApplyWritesTheNineKeysInOrderAndTheHeaderOnce)
{
    write(std::string(kDocument) + kBlockWithoutHistory);
    const auto yes = [] { return true; };
    ASSERT_TRUE(m_settings.Apply(complete(), m_file, yes).passed);
    const std::string section = "[HistorizedtoODBCSQL]\r\nSQLTYPE=MySQL\r\nDRIVER=MariaDB MySQL ODBC Driver\r\n"
                                "SERVER=db1\r\nPORT=3306\r\nUID=tavox\r\nPWD=se;cr}et\r\nDATABASE=history\r\n";
    EXPECT_EQ(content(),
        std::string(kDocument) + "<!--\r\n[AlarmSourceNodes]\r\nNode1=1001\r\n" + section
            + "DSN=ACTIVE\r\nACTIVE=1,1\r\n-->");

    // The second apply finds the section by its keys and changes them where they are.
    HistorySettings off = complete(SqlType::MsSql);
    off.active = false;
    off.server = u"db2";
    ASSERT_TRUE(m_settings.Apply(off, m_file, yes).passed);
    EXPECT_EQ(m_ensure.calls, 2);
    EXPECT_EQ(content(),
        std::string(kDocument)
            + "<!--\r\n[AlarmSourceNodes]\r\nNode1=1001\r\n[HistorizedtoODBCSQL]\r\nSQLTYPE=MSSQL\r\n"
              "DRIVER=MariaDB MySQL ODBC Driver\r\nSERVER=db2\r\nPORT=3306\r\nUID=tavox\r\nPWD=se;cr}et\r\n"
              "DATABASE=history\r\nDSN=\r\nACTIVE=0,2\r\n-->");

    const StoredHistoryKeys stored = readHistoryKeys(m_file);
    EXPECT_EQ(stored.sqlType, u"MSSQL");
    EXPECT_EQ(stored.pwd, u"se;cr}et");
    EXPECT_FALSE(stored.isActive());
}

TEST_F(OdbcSettingsTest, ApplyOfAFileWithoutBlockAppendsOne)
{
    write(kDocument);
    ASSERT_TRUE(m_settings.Apply(complete(), m_file, [] { return true; }).passed);
    const std::string newBlock = "\r\n<!--\r\n[HistorizedtoODBCSQL]\r\nSQLTYPE=MySQL\r\n";
    EXPECT_TRUE(content().starts_with(std::string(kDocument) + newBlock)) << content();
    EXPECT_TRUE(content().ends_with("ACTIVE=1,1\r\n-->")) << content();
}

TEST_F(OdbcSettingsTest, RefusedOrFailedAppliesWriteNothing)
{
    const std::string before = std::string(kDocument) + kBlockWithoutHistory;
    write(before);
    HistorySettings blankUser = complete();
    blankUser.user.clear();
    const ApplyOutcome refused = m_settings.Apply(blankUser, m_file, [] { return true; });
    EXPECT_FALSE(refused.passed);
    EXPECT_EQ(m_ensure.calls, 0);
    EXPECT_EQ(content(), before);

    m_ensure.fails = true;
    const ApplyOutcome failed = m_settings.Apply(complete(), m_file, [] { return true; });
    EXPECT_FALSE(failed.passed);
    EXPECT_EQ(failed.failure.text, m_file.string() + " can't be written!");
    EXPECT_EQ(content(), before);

    // A value that would break the file's lines is refused before anything is written, with
    // "Active SQL" off too.
    m_ensure.fails = false;
    const int ensured = m_ensure.calls;
    for (const bool active : { true, false }) {
        HistorySettings broken = complete();
        broken.active = active;
        broken.database = u"a\r\n[Other]";
        const ApplyOutcome refusedValue = m_settings.Apply(broken, m_file, [] { return true; });
        EXPECT_FALSE(refusedValue.passed);
        EXPECT_EQ(refusedValue.failure.text,
            "The value of \"Database:\" holds a line break and can't be written to " + m_file.string() + "!");
        EXPECT_EQ(content(), before);
    }
    EXPECT_EQ(m_ensure.calls, ensured);
}

TEST_F(OdbcSettingsTest, ServerBrowseAsksTheDriverOnlyForMsSql)
{
    HistorySettings shown = complete(SqlType::MsSql);
    shown.driver.clear();
    EXPECT_EQ(m_settings.BrowseServers(shown).refusal.text, "Please select SQL Driver!");
    EXPECT_TRUE(m_odbc.connectionStrings().empty());

    const struct {
        platform::OdbcBrowseStatus status;
        std::u16string output;
        std::vector<std::u16string> choices;
        bool dropDown;
    } cases[] = {
        { platform::OdbcBrowseStatus::NeedData, u"SERVER:Server={db1,db2};UID:Login ID=?", { u"db1", u"db2" }, true },
        { platform::OdbcBrowseStatus::NeedData, u"SERVER:Server={};UID:Login ID=?", {}, false },
        { platform::OdbcBrowseStatus::NeedData, u"UID:Login ID=?", {}, false },
        { platform::OdbcBrowseStatus::Failed, u"", {}, true },
    };
    shown.driver = u"ODBC Driver 18 for SQL Server";
    for (const auto& c : cases) {
        m_odbc.browseReply = { c.status, c.output, {} };
        const BrowseResult result = m_settings.BrowseServers(shown);
        EXPECT_TRUE(result.refusal.isEmpty());
        EXPECT_EQ(result.choices, c.choices) << std::u16string_view(c.output).size();
        EXPECT_EQ(result.dropDown, c.dropDown) << std::u16string_view(c.output).size();
    }
    EXPECT_EQ(m_odbc.connectionStrings().back(), u"DRIVER={ODBC Driver 18 for SQL Server}");
    EXPECT_EQ(m_odbc.environments, 1) << "the last browse's environment is kept, the earlier ones freed";

    const auto asked = m_odbc.connectionStrings().size();
    const BrowseResult mySql = m_settings.BrowseServers(complete(SqlType::MySql));
    EXPECT_TRUE(mySql.choices.empty());
    EXPECT_TRUE(mySql.dropDown);
    EXPECT_EQ(m_odbc.connectionStrings().size(), asked);
}

TEST_F(OdbcSettingsTest, DatabaseBrowse)
{
    for (auto field : { &HistorySettings::driver,
             &HistorySettings::server,
             &HistorySettings::port,
             &HistorySettings::user,
             &HistorySettings::password }) {
        HistorySettings shown = complete();
        (shown.*field).clear();
        EXPECT_EQ(m_settings.BrowseDatabases(shown).refusal.text, "Please check all setting value!");
    }
    EXPECT_TRUE(m_odbc.connectionStrings().empty());

    const BrowseResult listed = m_settings.BrowseDatabases(complete());
    EXPECT_EQ(listed.choices, m_odbc.rows);
    EXPECT_TRUE(listed.dropDown);
    EXPECT_EQ(m_odbc.connectionStrings().back(),
        u"DRIVER={MariaDB MySQL ODBC Driver};SERVER=db1;PORT=3306;UID=tavox;PWD={se;cr}}et};");
    EXPECT_EQ(m_odbc.connections, 0) << "the connection ends with the browse";

    m_odbc.serverUp = false;
    const BrowseResult unreachable = m_settings.BrowseDatabases(complete());
    EXPECT_TRUE(unreachable.refusal.isEmpty()) << "no message for an ODBC failure";
    EXPECT_TRUE(unreachable.choices.empty());
    EXPECT_TRUE(unreachable.dropDown);

    m_odbc.environmentFails = true;
    EXPECT_FALSE(m_settings.BrowseDatabases(complete()).dropDown) << "ends quietly without an environment";
    EXPECT_FALSE(m_settings.hasEnvironment());
    m_odbc.environmentFails = false;

    m_odbc.browseReply = { platform::OdbcBrowseStatus::NeedData, u"*DATABASE:Database={master,history}", {} };
    const BrowseResult msSql = m_settings.BrowseDatabases(complete(SqlType::MsSql));
    EXPECT_EQ(msSql.choices, (std::vector<std::u16string> { u"master", u"history" }));
    EXPECT_EQ(m_odbc.connectionStrings().back(),
        u"DRIVER={MariaDB MySQL ODBC Driver};SERVER=db1;UID=tavox;PWD={se;cr}}et};Trusted_Connection=yes");
    m_odbc.browseReply = { platform::OdbcBrowseStatus::NeedData, u"*LANGUAGE:Language={us_english}", {} };
    EXPECT_FALSE(m_settings.BrowseDatabases(complete(SqlType::MsSql)).dropDown);
}

} // namespace
