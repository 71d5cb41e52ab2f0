#include "history/HistorySettingChanges.h"

#include "history/HistoryDatabase.h"
#include "history/OdbcSettings.h"
#include "nodeconfig/SettingsBlock.h"
#include "support/WholeFile.h"
#include "testing/FakeOdbc.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace history;

constexpr const char* kDocument = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                                  "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\"/>\r\n";
constexpr const char* kMariaDb = "MariaDB MySQL ODBC Driver";
constexpr const char* kOtherMySql = "Other MySQL ODBC Driver";
constexpr const char* kSqlServer = "ODBC Driver 18 for SQL Server";

std::u16string wide(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

std::string read(const std::filesystem::path& file)
{
    const auto text = support::readWholeFile(file);
    return text ? *text : "<missing>";
}

/// The node configuration file in a folder of its own, and the page's logic over a fake driver
/// manager with two MySQL drivers and one for SQL Server.
struct Sandbox {
    explicit Sandbox(const std::string& block = {})
    {
        std::ofstream(file, std::ios::binary) << kDocument << block;
        odbc.drivers = { wide(kMariaDb), wide(kOtherMySql), wide(kSqlServer) };
    }
    TempDir dir;
    std::filesystem::path file = dir / "NodeConfig.xml";
    FakeOdbc odbc;
    OdbcSettings settings { odbc, nodeconfig::EnsureHistorySection };
};

const std::string kStoredMySql = "<!--\r\n[HistorizedtoODBCSQL]\r\nSQLTYPE=MySQL\r\nDRIVER=Other MySQL ODBC Driver\r\n"
                                 "SERVER=db1\r\nPORT=3307\r\nUID=tavox\r\nPWD=old\r\nDATABASE=history\r\nDSN=ACTIVE\r\n"
                                 "ACTIVE=1,1\r\n-->";

TEST(HistorySettingChangesTest, ChangesWriteTheBytesThePageWritesForWhatItWouldShow)
{
    struct Case {
        const char* name;
        std::string stored;
        HistorySettingChanges changes;
        HistorySettings shown; ///< what the page shows after the same choices in its controls
    };
    HistorySettingChanges newMySql;
    newMySql.active = true;
    newMySql.type = SqlType::MySql;
    newMySql.driver = wide(kMariaDb);
    newMySql.server = u"db1";
    newMySql.user = u"tavox";
    newMySql.password = u"se;cr}et";
    newMySql.database = u"history";
    HistorySettingChanges password;
    password.password = u"new";
    HistorySettingChanges toSqlServer;
    toSqlServer.type = SqlType::MsSql;
    toSqlServer.driver = wide(kSqlServer);
    HistorySettingChanges otherDriver;
    otherDriver.driver = wide(kMariaDb);
    otherDriver.active = false;
    const Case cases[] = {
        // From nothing: the port the page shows.
        { "a first section",
            "",
            newMySql,
            { true, SqlType::MySql, wide(kMariaDb), u"db1", u"3306", u"tavox", u"se;cr}et", u"history" } },
        { "one field",
            kStoredMySql,
            password,
            { true, SqlType::MySql, wide(kOtherMySql), u"db1", u"3307", u"tavox", u"new", u"history" } },
        { "another type",
            kStoredMySql,
            toSqlServer,
            { true, SqlType::MsSql, wide(kSqlServer), u"db1", u"3307", u"tavox", u"old", u"history" } },
        { "a chosen driver, switched off",
            kStoredMySql,
            otherDriver,
            { false, SqlType::MySql, wide(kMariaDb), u"db1", u"3307", u"tavox", u"old", u"history" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox viaChanges(c.stored);
        const auto applied = applyHistorySettingChanges(viaChanges.settings, viaChanges.file, c.changes, false);
        ASSERT_TRUE(applied.ok()) << applied.error().message;
        EXPECT_FALSE(*applied);
        Sandbox viaPage(c.stored);
        ASSERT_TRUE(viaPage.settings.Apply(c.shown, viaPage.file, [] { return false; }).passed);
        EXPECT_EQ(read(viaChanges.file), read(viaPage.file));
    }
}

TEST(HistorySettingChangesTest, RefusalsGiveThePagesMessageAndWriteNothing)
{
    HistorySettingChanges blank;
    blank.server = u" ";
    HistorySettingChanges localhost;
    localhost.server = u"127.0.0.1";
    HistorySettingChanges unknownDriver;
    unknownDriver.driver = u"Nope";
    HistorySettingChanges driverWithoutType;
    driverWithoutType.driver = wide(kMariaDb);
    HistorySettingChanges typeWithoutDriver;
    typeWithoutDriver.type = SqlType::MsSql;
    HistorySettingChanges noType;
    noType.active = true;
    const std::pair<std::string, HistorySettingChanges> cases[] = {
        { "Blank field! Please check all setting value!", blank },
        { "The IP is localhost. It means that you can't remote connect. Add --force to keep it.", localhost },
        { "The driver \"Nope\" is not an installed MySQL driver; installed: \"MariaDB MySQL ODBC Driver\", "
          "\"Other MySQL ODBC Driver\".",
            unknownDriver },
        // A new type offers its drivers; none is chosen for the administrator.
        { "Blank field! Please check all setting value!", typeWithoutDriver },
    };
    for (const auto& [message, changes] : cases) {
        Sandbox box(kStoredMySql);
        const auto refused = applyHistorySettingChanges(box.settings, box.file, changes, false);
        ASSERT_FALSE(refused.ok()) << message;
        EXPECT_EQ(refused.error().message, message);
        EXPECT_EQ(read(box.file), kDocument + kStoredMySql);
    }
    const std::pair<std::string, HistorySettingChanges> fromNothing[] = {
        { "Choose the SQL type (--type MySQL or MSSQL) before its driver.", driverWithoutType },
        { "Blank field! Please check all setting value!", noType },
    };
    for (const auto& [message, changes] : fromNothing) {
        Sandbox box;
        const auto refused = applyHistorySettingChanges(box.settings, box.file, changes, false);
        ASSERT_FALSE(refused.ok()) << message;
        EXPECT_EQ(refused.error().message, message);
        EXPECT_EQ(read(box.file), kDocument);
    }

    Sandbox noDriver(kStoredMySql);
    noDriver.odbc.drivers = { wide(kSqlServer) };
    const auto refused = applyHistorySettingChanges(noDriver.settings, noDriver.file, {}, false);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, "No any SQL driver can be find!");

    Sandbox missing;
    std::filesystem::remove(missing.file);
    const auto notThere = applyHistorySettingChanges(missing.settings, missing.file, {}, false);
    ASSERT_FALSE(notThere.ok());
    EXPECT_EQ(notThere.error().message, missing.file.string() + " doesn't exist or it can't be opened!");
}

TEST(HistorySettingChangesTest, LocalhostKeptOnRequestAsksForTheRestart)
{
    Sandbox box(kStoredMySql);
    HistorySettingChanges localhost;
    localhost.server = u"127.0.0.1";
    const auto applied = applyHistorySettingChanges(box.settings, box.file, localhost, true);
    ASSERT_TRUE(applied.ok());
    EXPECT_TRUE(*applied);
    EXPECT_EQ(storedHistorySettings(box.file).server, u"127.0.0.1");
}

TEST(HistorySettingChangesTest, TheTestConnectsAsTheServerDoesAndSaysWhyNot)
{
    Sandbox box(kStoredMySql);
    const HistorySettings stored = storedHistorySettings(box.file);
    EXPECT_EQ(stored.driver, wide(kOtherMySql));
    EXPECT_TRUE(stored.active);
    ASSERT_TRUE(testHistoryDatabase(box.odbc, stored).ok());
    EXPECT_EQ(box.odbc.connectionStrings().back(),
        u"DRIVER={Other MySQL ODBC Driver};SERVER=db1;PORT=3307;UID=tavox;PWD=old;DATABASE=history;");

    box.odbc.serverUp = false;
    const auto down = testHistoryDatabase(box.odbc, stored);
    ASSERT_FALSE(down.ok());
    EXPECT_EQ(down.error().message, "[HY000] Can't connect to server");
    box.odbc.environmentFails = true;
    EXPECT_EQ(testHistoryDatabase(box.odbc, stored).error().message, "no ODBC environment could be allocated");
    EXPECT_EQ(box.odbc.connections, 0);
}

} // namespace
