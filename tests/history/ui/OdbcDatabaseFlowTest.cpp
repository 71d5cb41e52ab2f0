// The ODBC Database page end to end: a real database server and driver, the sheet with its
// status timer, and the stand-in server daemon keeping the connection.
#include "app/CPsTavox.h"
#include "app/CTavoxUtilityApp.h"
#include "history/HistorySettings.h"
#include "history/ui/CPgODBCSQL.h"
#include "testing/ChildProcess.h"
#include "testing/MariaDbServer.h"
#include "testing/UiSandbox.h"
#include "testing/UiWidgetFinders.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using finders::button;
using finders::byLabel;

const std::string kServerBinary = TAVOX_BINARY_DIR "/server/tavox-server";
const QString kConnected = QStringLiteral("SQL Server is Connecting");
const QString kDisconnected = QStringLiteral("SQL Server is Disconnection");
// A password that ends a plain connection-string value early.
const QString kPassword = QStringLiteral("lo;g}ger{pw");

void choose(QComboBox* box, int index)
{
    box->hidePopup();
    box->setCurrentIndex(index);
    emit box->activated(index);
    box->hidePopup();
}

TEST(OdbcDatabaseFlowTest, ApplyConnectsTheServerAndThePageFollowsTheDatabase)
{
    MariaDbServer db;
    ASSERT_TRUE(db.ready()) << db.problem();
    ASSERT_EQ(db.sql("CREATE DATABASE history; CREATE DATABASE archive; CREATE USER 'logger'@'%' IDENTIFIED BY '"
                  + kPassword.toStdString() + "'; GRANT ALL ON history.* TO 'logger'@'%';"),
        "");

    UiSandbox sandbox;
    sandbox.setDword(ServerKey::kUaTcpPort, MariaDbServer::freeLoopbackPort());
    sandbox.services.addService(UiSandbox::kService, platform::kServiceRunning);
    CPsTavox sheet(CTavoxUtilityApp::kAppTitle,
        sandbox.boxes,
        sandbox.services,
        sandbox.sleeper,
        sandbox.delays,
        sandbox.stores.stores());
    CTavoxUtilityApp::AddPages(sheet, sandbox.boxes, sandbox.fileDialogs, sandbox.stores.stores());
    sheet.OnInitDialog();
    sheet.show();
    sheet.SetActivePage(4);
    CTavoxPage* page = sheet.GetPage(4);
    ASSERT_EQ(page->caption(), QStringLiteral("ODBC Database"));

    button<QCheckBox>(page, "Active SQL")->click();
    choose(byLabel<QComboBox>(page, "SQL Type:"), 0);
    QComboBox* driver = byLabel<QComboBox>(page, "SQL Driver:");
    ASSERT_EQ(driver->count(), 1) << "only the driver that is neither excluded nor lacking \"ODBC\"";
    EXPECT_EQ(driver->itemText(0), QString::fromLatin1(MariaDbServer::kDriverName));
    choose(driver, 0);
    QTest::keyClicks(byLabel<QComboBox>(page, "Server:"), "127.0.0.1");
    QLineEdit* port = byLabel<QLineEdit>(page, "Port:");
    port->clear();
    QTest::keyClicks(port, QString::fromStdString(db.portText()));
    QTest::keyClicks(byLabel<QLineEdit>(page, "User:"), "logger");
    QTest::keyClicks(byLabel<QLineEdit>(page, "Password:"), kPassword);

    QComboBox* database = byLabel<QComboBox>(page, "Database:");
    QTest::mouseClick(page->findChild<QPushButton*>("browseDatabases"), Qt::LeftButton);
    database->hidePopup();
    QStringList databases;
    for (int i = 0; i < database->count(); ++i)
        databases << database->itemText(i);
    EXPECT_EQ(databases, QStringList({ "history", "information_schema" })) << "what the user may see";
    choose(database, 0);

    // Apply: the localhost question, then the restart question that the Endpoints page asked for.
    sandbox.boxes.queueAnswer(MbResult::Yes);
    sandbox.boxes.queueAnswer(MbResult::No);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    QTest::mouseClick(findButton<QPushButton>(&sheet, QStringLiteral("&Apply")), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isRestartPending(); }, 5000));
    EXPECT_EQ(sandbox.boxes.shown().size(), 3u);
    const history::StoredHistoryKeys keys = history::readHistoryKeys(sandbox.nodeConfig());
    EXPECT_EQ(keys.sqlType, u"MySQL");
    EXPECT_EQ(keys.server, u"127.0.0.1");
    EXPECT_EQ(keys.pwd, kPassword.toStdU16String());
    EXPECT_EQ(keys.database, u"history");
    EXPECT_EQ(keys.active, u"1,1");

    // The server, started with these settings, connects; the sheet's timer shows it.
    std::vector<std::string> environment = db.environment();
    environment.push_back("TAVOX_REGISTRY=" + sandbox.stores.machine().string());
    environment.push_back("TAVOX_ENGINE=" TAVOX_TEST_DATA_DIR "/engine");
    ChildProcess server({ kServerBinary }, ChildProcess::Stderr::Capture, environment);
    ASSERT_TRUE(server.waitForLine("tavox-server: history database connected (SQLServerStatus 1)")) << server.seen();
    auto* status = page->findChild<QLabel*>("sqlStatus");
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == kConnected; }, 5000)) << status->text().toStdString();

    const auto stoppedAt = std::chrono::steady_clock::now();
    db.stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == kDisconnected; }, 8000));
    using std::chrono::milliseconds;
    const auto noticed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - stoppedAt);
    RecordProperty("disconnection_shown_after_ms", static_cast<int>(noticed.count()));
    EXPECT_LT(noticed, std::chrono::seconds(6));
    EXPECT_TRUE(server.waitForLine("tavox-server: history database connection lost")) << server.seen();

    ASSERT_TRUE(db.start()) << db.problem();
    EXPECT_TRUE(server.waitForLine("tavox-server: history database connected (SQLServerStatus 1)")) << server.seen();
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == kConnected; }, 5000));

    server.signal(SIGTERM);
    EXPECT_TRUE(server.waitForLine("tavox-server: stopped (SQLServerStatus 0)")) << server.seen();
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == kDisconnected; }, 5000));
}

} // namespace
