#include "history/ui/CPgODBCSQL.h"

#include "history/HistorySettings.h"
#include "nodeconfig/SettingsBlock.h"
#include "platform/PrivateProfile.h"
#include "support/WholeFile.h"
#include "testing/FakeOdbc.h"
#include "testing/UiSandbox.h"
#include "testing/UiWidgetFinders.h"
#include "uikit/SheetServices.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using finders::button;
using finders::byLabel;

/// Records what the page asks of the sheet.
class RecordingSheet final : public SheetServices {
public:
    void RequestRestart() override { calls << QStringLiteral("restart"); }
    void DeclineRestart() override { calls << QStringLiteral("decline"); }
    void RequestStart() override { ADD_FAILURE(); }
    void RequestStop() override { ADD_FAILURE(); }
    QStringList calls;
};

class CPgODBCSQLTest : public ::testing::Test {
protected:
    CPgODBCSQLTest()
    {
        m_odbc->drivers = { u"MySQL ODBC 8.0 Unicode Driver",
            u"MariaDB MySQL ODBC Driver",
            u"MySQL Native Driver",
            u"ODBC Driver 18 for SQL Server" };
    }
    void open()
    {
        m_page.setSheet(&m_sheet);
        m_page.ensureInitialized();
        m_page.show();
    }
    void writeSection(const std::string& keys) const
    {
        std::string file = UiSandbox::kNodeConfig;
        file.insert(file.size() - 3, keys);
        std::ofstream(m_sandbox.nodeConfig(), std::ios::binary) << file;
    }
    QComboBox* combo(const char* caption) const { return byLabel<QComboBox>(&m_page, caption); }
    QLineEdit* edit(const char* caption) const { return byLabel<QLineEdit>(&m_page, caption); }
    QCheckBox* active() const { return button<QCheckBox>(&m_page, "Active SQL"); }
    QPushButton* browse(const char* name) const { return m_page.findChild<QPushButton*>(name); }
    static QStringList items(const QComboBox* box)
    {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    }
    // Chooses an item as the user does, with the list closed again.
    static void choose(QComboBox* box, int index)
    {
        box->hidePopup();
        box->setCurrentIndex(index);
        emit box->activated(index);
        box->hidePopup();
    }
    QStringList messages() const
    {
        QStringList texts;
        for (const auto& shown : m_sandbox.boxes.shown())
            texts << shown.caption + QStringLiteral(": ") + shown.text;
        return texts;
    }
    std::u16string stored(std::u16string_view key) const
    {
        char16_t buffer[260];
        const auto n = platform::getPrivateProfileString(
            history::kHistorySection, key, u"<none>", buffer, 260, m_sandbox.nodeConfig());
        return std::u16string(buffer, n);
    }

    UiSandbox m_sandbox;
    FakeOdbc* m_odbc = new FakeOdbc;
    RecordingSheet m_sheet;
    CPgODBCSQL m_page { m_sandbox.boxes,
        std::unique_ptr<platform::OdbcDriverManager>(m_odbc),
        nodeconfig::EnsureHistorySection,
        m_sandbox.stores.machineStore() };
};

TEST_F(CPgODBCSQLTest, WithoutStoredSettingsOnlyTheSwitchIsEnabled)
{
    open();
    EXPECT_TRUE(active()->isEnabled());
    EXPECT_FALSE(active()->isChecked());
    EXPECT_FALSE(combo("SQL Type:")->isEnabled());
    EXPECT_EQ(combo("SQL Type:")->currentIndex(), -1);
    EXPECT_EQ(items(combo("SQL Type:")), QStringList({ "MySQL", "MSSQL" }));
    for (const char* caption : { "SQL Driver:", "Server:", "Database:" })
        EXPECT_FALSE(combo(caption)->isEnabled()) << caption;
    for (const char* caption : { "Port:", "User:", "Password:" })
        EXPECT_FALSE(edit(caption)->isEnabled()) << caption;
    EXPECT_FALSE(browse("browseServers")->isEnabled() || browse("browseDatabases")->isEnabled());
    EXPECT_EQ(edit("Port:")->text(), "3306");
    EXPECT_EQ(edit("Password:")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(byLabel<QLabel>(&m_page, "SQL Server:")->text(), "") << "empty until the sheet's first report";
    EXPECT_FALSE(m_page.isModified());
    EXPECT_TRUE(m_sandbox.boxes.shown().empty());

    // The icon-only buttons are named for assistive technologies.
    for (const auto& [name, accessible] :
        { std::pair { "browseServers", "Browse Servers" }, std::pair { "browseDatabases", "Browse Databases" } }) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(browse(name));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromLatin1(accessible));
        EXPECT_FALSE(browse(name)->icon().isNull());
    }
}

TEST_F(CPgODBCSQLTest, ATypeWithoutDriversWarnsAndDisablesTheSwitch)
{
    m_odbc->drivers = { u"MySQL ODBC 8.0 Unicode Driver" };
    writeSection("SQLTYPE=MySQL\r\nACTIVE=1,1\r\n");
    m_sandbox.boxes.queueAnswer(MbResult::Ok);
    open();
    EXPECT_EQ(messages(), QStringList("Warning!: No any SQL driver can be find!"));
    EXPECT_EQ(m_sandbox.boxes.shown().at(0).icon, MbIcon::Warning);
    EXPECT_FALSE(active()->isEnabled());
    EXPECT_FALSE(active()->isChecked()) << "nothing else is loaded";
}

TEST_F(CPgODBCSQLTest, StoredSettingsAreShownAndTheStoredDriverIsKept)
{
    writeSection("SQLTYPE=MySQL\r\nDRIVER=Old MySQL ODBC 3.51\r\nSERVER=db1\r\nPORT=\r\nUID=tavox\r\nPWD=pw\r\n"
                 "DATABASE=history\r\nACTIVE=1,1\r\n");
    open();
    EXPECT_TRUE(active()->isChecked());
    EXPECT_EQ(combo("SQL Type:")->currentText(), "MySQL");
    EXPECT_EQ(items(combo("SQL Driver:")), QStringList({ "MariaDB MySQL ODBC Driver", "Old MySQL ODBC 3.51" }));
    EXPECT_EQ(combo("SQL Driver:")->currentIndex(), 0);
    EXPECT_EQ(combo("Server:")->currentText(), "db1");
    EXPECT_EQ(edit("Port:")->text(), "3306");
    EXPECT_EQ(combo("Database:")->currentText(), "history");
    EXPECT_TRUE(combo("Server:")->isEnabled() && edit("Password:")->isEnabled());
    EXPECT_FALSE(browse("browseServers")->isVisibleTo(&m_page)) << "MySQL has no server browse";
    EXPECT_FALSE(m_page.isModified());
}

TEST_F(CPgODBCSQLTest, TypeSelectionDiscoversDriversAndEnablesTheFields)
{
    open();
    active()->click();
    EXPECT_TRUE(combo("SQL Type:")->isEnabled());
    EXPECT_FALSE(combo("SQL Driver:")->isEnabled()) << "no type yet";
    EXPECT_TRUE(m_page.isModified());

    choose(combo("SQL Type:"), 1);
    EXPECT_EQ(items(combo("SQL Driver:")), QStringList("ODBC Driver 18 for SQL Server"));
    EXPECT_TRUE(combo("SQL Driver:")->isEnabled());
    EXPECT_TRUE(browse("browseServers")->isVisibleTo(&m_page));
    choose(combo("SQL Type:"), 0);
    EXPECT_EQ(items(combo("SQL Driver:")), QStringList("MariaDB MySQL ODBC Driver"));
    EXPECT_EQ(combo("SQL Driver:")->currentIndex(), -1) << "the list is offered, not chosen from";
    EXPECT_FALSE(browse("browseServers")->isVisibleTo(&m_page));

    active()->click();
    EXPECT_FALSE(combo("SQL Type:")->isEnabled());
    EXPECT_FALSE(edit("User:")->isEnabled());
}

TEST_F(CPgODBCSQLTest, BrowsesFillTheListsAndRefuseWithoutTheirFields)
{
    writeSection("SQLTYPE=MySQL\r\nDRIVER=MariaDB MySQL ODBC Driver\r\nACTIVE=1,1\r\n");
    open();
    m_sandbox.boxes.queueAnswer(MbResult::Ok);
    QTest::mouseClick(browse("browseDatabases"), Qt::LeftButton);
    EXPECT_EQ(messages(), QStringList("Error!: Please check all setting value!"));

    QTest::keyClicks(combo("Server:"), "db1");
    QTest::keyClicks(edit("User:"), "tavox");
    QTest::keyClicks(edit("Password:"), "p;w");
    QTest::mouseClick(browse("browseDatabases"), Qt::LeftButton);
    combo("Database:")->hidePopup();
    EXPECT_EQ(items(combo("Database:")), QStringList({ "history", "mysql" }));
    EXPECT_EQ(m_odbc->connectionStrings().back(),
        u"DRIVER={MariaDB MySQL ODBC Driver};SERVER=db1;PORT=3306;UID=tavox;PWD={p;w};");

    combo("Server:")->addItem("db2");
    choose(combo("Server:"), 0);
    EXPECT_EQ(combo("Database:")->count(), 0) << "choosing a server empties the database list";
    choose(combo("SQL Driver:"), 0);
    EXPECT_EQ(combo("Server:")->currentText(), "") << "choosing a driver empties both lists";
}

TEST_F(CPgODBCSQLTest, ApplyWritesTheKeysAfterTheLocalhostQuestion)
{
    writeSection("SQLTYPE=MySQL\r\nDRIVER=MariaDB MySQL ODBC Driver\r\nACTIVE=1,1\r\n");
    open();
    QTest::keyClicks(combo("Server:"), "127.0.0.1");
    QTest::keyClicks(edit("User:"), "tavox");
    QTest::keyClicks(edit("Password:"), "se;cr}et");
    QTest::keyClicks(combo("Database:"), "history");
    EXPECT_TRUE(m_page.isModified());

    m_sandbox.boxes.queueAnswer(MbResult::No);
    EXPECT_FALSE(m_page.OnApply());
    EXPECT_EQ(combo("Server:")->currentText(), "");
    EXPECT_EQ(m_sheet.calls, QStringList("decline"));
    EXPECT_EQ(stored(u"UID"), u"<none>");

    QTest::keyClicks(combo("Server:"), "127.0.0.1");
    m_sandbox.boxes.queueAnswer(MbResult::Yes);
    EXPECT_TRUE(m_page.OnApply());
    EXPECT_EQ(m_sheet.calls, QStringList({ "decline", "restart" }));
    const auto& question = m_sandbox.boxes.shown().back();
    EXPECT_EQ(question.caption, "Localhost");
    EXPECT_EQ(question.buttons, MbButtons::YesNo);
    EXPECT_EQ(question.icon, MbIcon::Question);
    const std::pair<std::u16string_view, std::u16string_view> keys[] = { { u"SQLTYPE", u"MySQL" },
        { u"DRIVER", u"MariaDB MySQL ODBC Driver" },
        { u"SERVER", u"127.0.0.1" },
        { u"PORT", u"3306" },
        { u"UID", u"tavox" },
        { u"PWD", u"se;cr}et" },
        { u"DATABASE", u"history" },
        { u"DSN", u"ACTIVE" },
        { u"ACTIVE", u"1,1" },
        { u"StartLogging", u"false" } };
    for (const auto& [key, value] : keys)
        EXPECT_EQ(stored(key), value) << std::string(key.begin(), key.end());
    EXPECT_FALSE(m_page.isModified());
    EXPECT_TRUE(support::readWholeFile(m_sandbox.nodeConfig())->ends_with("DATABASE=history\r\nDSN=ACTIVE\r\n-->"))
        << "new keys go after the last one, inside the block";
}

TEST_F(CPgODBCSQLTest, RefusedApplyShowsItsMessageAfterDecliningTheRestart)
{
    open();
    active()->click();
    m_sandbox.boxes.queueAnswer(MbResult::Ok);
    EXPECT_FALSE(m_page.OnApply());
    EXPECT_EQ(m_sheet.calls, QStringList("decline"));
    EXPECT_EQ(messages(), QStringList("Error!: Blank field! Please check all setting value!"));

    std::filesystem::remove(m_sandbox.nodeConfig());
    m_sandbox.boxes.queueAnswer(MbResult::Ok);
    EXPECT_FALSE(m_page.OnApply());
    EXPECT_EQ(messages().back(),
        "Error!: " + QString::fromStdString(m_sandbox.nodeConfig().string()) + " doesn't exist or it can't be opened!");
}

} // namespace
