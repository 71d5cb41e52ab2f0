// The ODBC page's logic against a real database server and driver manager.
#include "history/OdbcConnectionString.h"
#include "history/OdbcSettings.h"
#include "nodeconfig/SettingsBlock.h"
#include "platform/UnixOdbc.h"
#include "support/TextCodec.h"

#include "testing/MariaDbServer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace history;

// Names of up to 31 characters arrive whole, and so do longer ones.
const std::u16string kLongName = u"history_of_the_north_hall_2024_q4_archive";

TEST(HistoryDatabaseTest, DriversDatabasesAndBracedPasswordsOnARealServer)
{
    MariaDbServer db;
    ASSERT_TRUE(db.ready()) << db.problem();
    ASSERT_EQ(db.sql("CREATE DATABASE history; CREATE DATABASE " + std::string(kLongName.begin(), kLongName.end())
                  + "; CREATE USER 'admin'@'%' IDENTIFIED BY 'secret'; GRANT ALL ON *.* TO 'admin'@'%';"
                    "CREATE USER 'logger'@'%' IDENTIFIED BY 'se;cr}et{'; GRANT ALL ON history.* TO 'logger'@'%';"),
        "");

    platform::UnixOdbc odbc;
    OdbcSettings settings(odbc, nodeconfig::EnsureHistorySection);
    EXPECT_EQ(settings.FillDriverList(SqlType::MySql),
        std::vector<std::u16string> { support::utf8ToUtf16(MariaDbServer::kDriverName) })
        << "the decoys are not offered";
    EXPECT_TRUE(settings.FillDriverList(SqlType::MsSql).empty());

    HistorySettings shown;
    shown.active = true;
    shown.type = SqlType::MySql;
    shown.driver = support::utf8ToUtf16(MariaDbServer::kDriverName);
    shown.server = u"127.0.0.1";
    shown.port = support::utf8ToUtf16(db.portText());
    shown.user = u"admin";
    shown.password = u"secret";
    BrowseResult all = settings.BrowseDatabases(shown);
    std::sort(all.choices.begin(), all.choices.end());
    EXPECT_EQ(all.choices,
        (std::vector<std::u16string> {
            u"history", kLongName, u"information_schema", u"mysql", u"performance_schema", u"sys" }));
    EXPECT_TRUE(all.dropDown);
    EXPECT_TRUE(settings.hasEnvironment());

    shown.user = u"logger";
    shown.password = u"se;cr}et{";
    const BrowseResult own = settings.BrowseDatabases(shown);
    EXPECT_EQ(own.choices, (std::vector<std::u16string> { u"history", u"information_schema" }));

    // The same password pasted into the string as it stands does not get through.
    const auto environment = odbc.openEnvironment();
    ASSERT_NE(environment, nullptr);
    std::string diagnostic;
    const std::u16string naive
        = u"DRIVER={" + shown.driver + u"};SERVER=127.0.0.1;PORT=" + shown.port + u";UID=logger;PWD=se;cr}et{;";
    EXPECT_EQ(environment->driverConnect(naive, platform::OdbcCompletion::NoPrompt, 5, diagnostic), nullptr);
    EXPECT_FALSE(diagnostic.empty());
    shown.database = u"history";
    const auto connection = environment->driverConnect(
        connection_string::forHistoryDatabase(shown), platform::OdbcCompletion::NoPrompt, 5, diagnostic);
    ASSERT_NE(connection, nullptr) << diagnostic;
    EXPECT_EQ(connection->firstColumn(u"SELECT DATABASE()"), std::vector<std::u16string> { u"history" });

    shown.password = u"wrong";
    const BrowseResult refused = settings.BrowseDatabases(shown);
    EXPECT_TRUE(refused.choices.empty());
    EXPECT_TRUE(refused.refusal.isEmpty()) << "a failed connection shows no message";
}

} // namespace
