#include "history/OdbcConnectionString.h"
#include "history/OdbcLists.h"

#include <gtest/gtest.h>

namespace {

using namespace history;

HistorySettings settings(std::u16string server, std::u16string user, std::u16string password)
{
    HistorySettings s;
    s.driver = u"MariaDB MySQL ODBC Driver";
    s.server = std::move(server);
    s.port = u"3306";
    s.user = std::move(user);
    s.password = std::move(password);
    s.database = u"history";
    return s;
}

TEST(OdbcConnectionStringTest, ValuesThatCouldEndEarlyAreBraced)
{
    const struct {
        std::u16string value;
        std::u16string expected;
    } cases[] = {
        { u"secret", u"secret" },
        { u"", u"" },
        { u"with space", u"with space" },
        { u"a=b", u"a=b" },
        { u"pa;ss", u"{pa;ss}" },
        { u"x;DATABASE=mysql", u"{x;DATABASE=mysql}" },
        { u"a}b", u"{a}}b}" },
        { u"{a}", u"{{a}}}" },
        { u"}", u"{}}}" },
        { u"p;}", u"{p;}}}" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(connection_string::attributeValue(c.value), c.expected);
}

TEST(OdbcConnectionStringTest, PlainValuesGiveTheUsualStrings)
{
    const HistorySettings plain = settings(u"db1", u"tavox", u"secret");
    EXPECT_EQ(connection_string::forServerBrowse(plain.driver), u"DRIVER={MariaDB MySQL ODBC Driver}");
    EXPECT_EQ(connection_string::forMySqlDatabases(plain),
        u"DRIVER={MariaDB MySQL ODBC Driver};SERVER=db1;PORT=3306;UID=tavox;PWD=secret;");
    EXPECT_EQ(connection_string::forMsSqlDatabaseBrowse(plain),
        u"DRIVER={MariaDB MySQL ODBC Driver};SERVER=db1;UID=tavox;PWD=secret;Trusted_Connection=yes");
    EXPECT_EQ(connection_string::forHistoryDatabase(plain),
        u"DRIVER={MariaDB MySQL ODBC Driver};SERVER=db1;PORT=3306;UID=tavox;PWD=secret;DATABASE=history;");

    HistorySettings noPort = plain;
    noPort.port.clear();
    EXPECT_EQ(connection_string::forHistoryDatabase(noPort),
        u"DRIVER={MariaDB MySQL ODBC Driver};SERVER=db1;UID=tavox;PWD=secret;DATABASE=history;");
}

TEST(OdbcConnectionStringTest, APasswordCannotSetOtherAttributes)
{
    const HistorySettings hostile = settings(u"db1", u"tavox", u"x;SERVER=evil;UID=root");
    EXPECT_EQ(connection_string::forMySqlDatabases(hostile),
        u"DRIVER={MariaDB MySQL ODBC Driver};SERVER=db1;PORT=3306;UID=tavox;PWD={x;SERVER=evil;UID=root};");
    HistorySettings oddDriver = hostile;
    oddDriver.driver = u"Odd} Driver";
    EXPECT_EQ(connection_string::forServerBrowse(oddDriver.driver), u"DRIVER={Odd}} Driver}");
}

TEST(OdbcConnectionStringTest, AValueEndsAtItsFirstNulAndTheAttributesAfterItStay)
{
    // The driver manager reads the string up to its first NUL: one inside a value would drop
    // the database and the login after it.
    HistorySettings withNul = settings(std::u16string(u"db1\0x", 5), u"tavox", std::u16string(u"se\0cret", 7));
    withNul.driver = std::u16string(u"Driver\0}", 8);
    EXPECT_EQ(connection_string::forHistoryDatabase(withNul),
        u"DRIVER={Driver};SERVER=db1;PORT=3306;UID=tavox;PWD=se;DATABASE=history;");
}

TEST(OdbcListsTest, DriversNeedTheKeywordAndOdbcButNotTheExcludedMySqlDriver)
{
    const std::vector<std::u16string> installed = {
        u"SQL Server",
        u"ODBC Driver 17 for SQL Server",
        u"MySQL ODBC 8.0 Unicode Driver",
        u"MySQL ODBC 8.0 ANSI Driver",
        u"MariaDB MySQL ODBC Driver",
        u"MySQL ODBC 5.3 Unicode Driver",
        u"MySQL Native Driver",
        u"mysql odbc lowercase",
        u"PostgreSQL ODBC",
    };
    EXPECT_EQ(
        filterDrivers(installed, u"SQL Server"), std::vector<std::u16string> { u"ODBC Driver 17 for SQL Server" });
    EXPECT_EQ(filterDrivers(installed, u"MySQL"),
        (std::vector<std::u16string> { u"MariaDB MySQL ODBC Driver", u"MySQL ODBC 5.3 Unicode Driver" }));
    EXPECT_TRUE(filterDrivers({}, u"MySQL").empty());
}

TEST(OdbcListsTest, BrowseChoicesComeFromTheFirstBraces)
{
    const struct {
        const char16_t* output;
        const char16_t* attribute;
        std::vector<std::u16string> expected;
    } cases[] = {
        { u"SERVER:Server={db1,db2,db3};UID:Login ID=?;PWD:Password=?", u"SERVER", { u"db1", u"db2", u"db3" } },
        { u"SERVER:Server={db1};UID:Login ID=?", u"SERVER", { u"db1" } },
        { u"SERVER:Server={};UID:Login ID=?", u"SERVER", {} },
        { u"UID:Login ID=?;PWD:Password=?", u"SERVER", {} },
        { u"SERVER:Server=?", u"SERVER", {} },
        { u"SERVER:Server={db1,db2", u"SERVER", {} },
        { u"SERVER:Server={db1,,db2,}", u"SERVER", { u"db1", u"db2" } },
        { u"*DATABASE:Database={master,tempdb,history};*LANGUAGE:Language={us_english}",
            u"DATABASE",
            { u"master", u"tempdb", u"history" } },
        { u"*DATABASE:Database={}", u"DATABASE", {} },
        { u"*LANGUAGE:Language={us_english}", u"DATABASE", {} },
    };
    for (const auto& c : cases)
        EXPECT_EQ(browseChoices(c.output, c.attribute), c.expected) << std::u16string_view(c.output).size();
}

} // namespace
