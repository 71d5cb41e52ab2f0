#include "app/CPsTavox.h"

#include "app/CDialogHeader.h"
#include "app/CTavoxUtilityApp.h"
#include "certificates/StoreLayout.h"
#include "certificates/StoreRepair.h"
#include "platform/PrivateProfile.h"
#include "snapshots/ConfigSnapshots.h"
#include "testing/TestCertificates.h"
#include "testing/UiSandbox.h"
#include "uikit/TavoxPage.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using platform::kServiceRunning;
using platform::kServiceStopped;

/// The sheet with its six pages, a scripted login and a record of the tray icon.
class TestSheet final : public CPsTavox {
public:
    explicit TestSheet(UiSandbox& sandbox)
        : CPsTavox(QStringLiteral("Tavox Server Utility"),
            sandbox.boxes,
            sandbox.services,
            sandbox.sleeper,
            sandbox.delays,
            sandbox.stores.stores())
    {
        CTavoxUtilityApp::AddPages(*this, sandbox.boxes, sandbox.fileDialogs, sandbox.stores.stores());
    }
    ~TestSheet() override { EXPECT_TRUE(logins.empty()) << "a scripted login was not asked for"; }

    std::deque<bool> logins;
    std::vector<TrayOperation> tray;
    QStringList balloons;

protected:
    bool RunLogin() override
    {
        if (logins.empty()) {
            ADD_FAILURE() << "unexpected login";
            return false;
        }
        const bool answer = logins.front();
        logins.pop_front();
        return answer;
    }
    void UpdateTrayIcon(TrayOperation operation) override
    {
        tray.push_back(operation);
        CPsTavox::UpdateTrayIcon(operation);
    }
    void ShowTrayMessage(const QString& text) override { balloons << text; }
};

class CPsTavoxTest : public ::testing::Test {
protected:
    void open(std::uint32_t serviceState = kServiceStopped)
    {
        sandbox.services.addService(UiSandbox::kService, serviceState);
        sheet.OnInitDialog();
        sheet.show();
    }
    void click(const QString& caption)
    {
        QPushButton* button = findButton<QPushButton>(&sheet, caption);
        ASSERT_NE(button, nullptr) << caption.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QStringList messages() const
    {
        QStringList texts;
        for (const auto& shown : sandbox.boxes.shown())
            texts << shown.caption + QStringLiteral(": ") + shown.text;
        return texts;
    }
    bool statusShows(const QString& text) const { return findChildWithText<QLabel>(sheet.GetPage(0), text) != nullptr; }
    template <typename T> static T* findChildWithText(QWidget* parent, const QString& text)
    {
        for (T* child : parent->findChildren<T*>()) {
            if (child->text() == text)
                return child;
        }
        return nullptr;
    }

    UiSandbox sandbox;
    TestSheet sheet { sandbox };
};

TEST_F(CPsTavoxTest, OkWithoutChangesHidesAndTheNextRestartPromptHidesAgain)
{
    open(kServiceRunning);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Tavox Server Utility"));
    click(QStringLiteral("OK"));
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_FALSE(sheet.isShown());
    ASSERT_FALSE(sheet.tray.empty());
    EXPECT_EQ(sheet.tray.back(), CPsTavox::TrayOperation::Modify) << "the balloon";
    EXPECT_TRUE(sheet.isOkPressed());

    sheet.logins.push_back(true);
    sheet.ToggleVisible();
    ASSERT_TRUE(sheet.isVisible());

    sandbox.boxes.queueAnswer(MbResult::No);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("Restart"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isVisible(); }, 3000));
    EXPECT_EQ(messages(),
        QStringList({
            QStringLiteral("Question: All parameters have been applied. Do you want to restart the "
                           "Tavox Server?"),
            QStringLiteral("Information: Don't forget to restart Tavox Server."),
        }));
    EXPECT_FALSE(sheet.isOkPressed());
}

TEST_F(CPsTavoxTest, RestartPromptAnswers)
{
    struct Case {
        MbResult answer;
        bool startFails;
        QString message;
        int stops, starts;
    };
    const Case cases[] = {
        { MbResult::Yes, false, QStringLiteral("Information!: Tavox Service has been restarted!"), 1, 1 },
        { MbResult::Yes,
            true,
            QStringLiteral("Error!: Could not restart the Tavox Service. Please recheck your parameters."),
            1,
            1 },
        { MbResult::No, false, QStringLiteral("Information: Don't forget to restart Tavox Server."), 0, 0 },
    };
    open(kServiceRunning);
    for (const Case& c : cases) {
        sandbox.services.addService(UiSandbox::kService, kServiceRunning);
        sandbox.services.setStartFails(UiSandbox::kService, c.startFails);
        const int stopsBefore = sandbox.services.stopCalls(UiSandbox::kService);
        const int startsBefore = sandbox.services.startCalls(UiSandbox::kService);
        sandbox.boxes.clear();
        sandbox.boxes.queueAnswer(c.answer);
        sandbox.boxes.queueAnswer(MbResult::Ok);
        sheet.RequestRestart();
        sheet.RequestRestart();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isRestartPending(); }, 3000));
        ASSERT_EQ(messages().size(), 2);
        EXPECT_EQ(messages()[1], c.message);
        EXPECT_EQ(sandbox.services.stopCalls(UiSandbox::kService) - stopsBefore, c.stops);
        EXPECT_EQ(sandbox.services.startCalls(UiSandbox::kService) - startsBefore, c.starts);
        EXPECT_TRUE(sheet.isVisible()) << "OK was not pressed";
    }
}

TEST_F(CPsTavoxTest, StartClickedTwiceWithinTheDelayStartsOnce)
{
    open(kServiceStopped);
    EXPECT_TRUE(statusShows(QStringLiteral("Stopped")));
    click(QStringLiteral("Start"));
    click(QStringLiteral("Start"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isStartPending(); }, 3000));
    QTest::qWait(sandbox.delays.operationDelayMs * 3);
    EXPECT_EQ(sandbox.services.startCalls(UiSandbox::kService), 1);
    EXPECT_TRUE(statusShows(QStringLiteral("Running")));
    EXPECT_TRUE(sandbox.boxes.shown().empty());

    sandbox.services.setStopFails(UiSandbox::kService, true);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("Stop"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isStopPending(); }, 3000));
    EXPECT_EQ(messages(),
        QStringList(QStringLiteral("Error!: Could not stop the Tavox Service. Please recheck your parameters.")));
}

TEST_F(CPsTavoxTest, MinusOneOnTheCommandLineHidesAfterOneSecond)
{
    sheet.setCommandLine(QStringLiteral("/usr/bin/tavox-utility -1"));
    open();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isVisible(); }, 3000));
    EXPECT_EQ(sheet.tray.back(), CPsTavox::TrayOperation::Modify);
}

TEST_F(CPsTavoxTest, PageUpAndPageDownWrapAround)
{
    open();
    struct Step {
        int from;
        Qt::Key key;
        int to;
        const char* title;
        const char* description;
    };
    const Step steps[] = {
        { 5, Qt::Key_PageUp, 0, "Status", "Show the status of Tavox server." },
        { 0, Qt::Key_PageDown, 5, "About", "Change login password and copyright" },
        { 0, Qt::Key_PageUp, 1, "Endpoints", "Configurate the Tavox server." },
        { 3, Qt::Key_PageDown, 2, "Users", "Add/Remove the users of Tavox server." },
    };
    for (const Step& s : steps) {
        sheet.SetActivePage(s.from);
        QTest::keyClick(sheet.GetPage(s.from), s.key);
        EXPECT_EQ(sheet.GetActiveIndex(), s.to) << s.from;
        EXPECT_EQ(sheet.header()->title(), QString::fromLatin1(s.title));
        // The strip paints its texts; assistive technologies read the same ones.
        QAccessibleInterface* header = QAccessible::queryAccessibleInterface(sheet.header());
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->text(QAccessible::Name), QString::fromLatin1(s.title));
        EXPECT_EQ(header->text(QAccessible::Description), QString::fromLatin1(s.description));
    }
}

TEST_F(CPsTavoxTest, RestoreWithAFailedLoginEndsTheSheet)
{
    open();
    QSignalSpy finished(&sheet, &QDialog::finished);
    click(QStringLiteral("Cancel"));
    EXPECT_FALSE(sheet.isVisible());
    sheet.logins.push_back(false);
    sheet.ToggleVisible();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Accepted);
    EXPECT_FALSE(sheet.isVisible());
}

TEST_F(CPsTavoxTest, ASecondStartWhoseLoginIsRefusedLeavesTheSheetInTheTray)
{
    open();
    QSignalSpy finished(&sheet, &QDialog::finished);
    sheet.OnShowRequest();
    EXPECT_TRUE(sheet.isVisible()) << "a shown sheet needs no login";
    click(QStringLiteral("Cancel"));
    sheet.logins.push_back(false);
    sheet.OnShowRequest();
    EXPECT_EQ(finished.count(), 0);
    EXPECT_FALSE(sheet.isVisible());
    sheet.logins.push_back(true);
    sheet.OnShowRequest();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(sheet.isShown());
}

TEST_F(CPsTavoxTest, TrayExitEndsTheSheet)
{
    open();
    QSignalSpy finished(&sheet, &QDialog::finished);
    auto* menu = sheet.findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("Task"));
    QStringList items;
    for (QAction* action : menu->actions())
        items << action->text();
    EXPECT_EQ(items,
        QStringList({ QStringLiteral("Show/Hide"), QStringLiteral("&About"), QString(), QStringLiteral("E&xit") }));
    menu->actions().last()->trigger();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Rejected);
}

TEST_F(CPsTavoxTest, EveryCheckBoxToggledByAnAssistiveTechnologyMarksItsPageModified)
{
    open();
    const std::pair<int, QString> boxes[] = { { 1, QStringLiteral("None") },
        { 1, QStringLiteral("https://") },
        { 2, QStringLiteral("Enable Windows Logon") },
        { 2, QStringLiteral("Enable Certification") },
        { 2, QStringLiteral("Anonymous") },
        { 3, QStringLiteral("Start Logging") },
        { 4, QStringLiteral("Active SQL") } };
    for (const auto& [index, caption] : boxes) {
        SCOPED_TRACE(caption.toStdString());
        CTavoxPage* page = sheet.GetPage(index);
        QCheckBox* box = nullptr;
        for (QCheckBox* child : page->findChildren<QCheckBox*>())
            box = child->text().startsWith(caption) ? child : box;
        ASSERT_NE(box, nullptr);
        const bool stored = box->isChecked();
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
        ASSERT_TRUE(accessible && accessible->actionInterface());
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_NE(box->isChecked(), stored);
        EXPECT_TRUE(page->isModified());
        // Filled from the stores again, the box is no change of the user's.
        page->Refresh();
        EXPECT_EQ(box->isChecked(), stored);
        EXPECT_FALSE(page->isModified());
    }
}

TEST_F(CPsTavoxTest, ApplyIsEnabledExactlyWhileAPageIsModified)
{
    open();
    QPushButton* apply = findButton<QPushButton>(&sheet, QStringLiteral("&Apply"));
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(apply->isEnabled());
    sheet.GetPage(2)->SetModified(true);
    sheet.GetPage(4)->SetModified(true);
    EXPECT_TRUE(apply->isEnabled());
    sheet.GetPage(2)->SetModified(false);
    EXPECT_TRUE(apply->isEnabled());
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_FALSE(sheet.GetPage(4)->isModified());

    // OK with a change applies every page and keeps the sheet open.
    sheet.GetPage(1)->SetModified(true);
    click(QStringLiteral("OK"));
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(sheet.isOkPressed());
    EXPECT_FALSE(apply->isEnabled());
}

TEST_F(CPsTavoxTest, ApplyKeepsASnapshotFirstAndAppliesNothingWithoutOne)
{
    open();
    const ConfigSnapshots snapshots(sandbox.stores.machineStore());
    sheet.GetPage(2)->SetModified(true);
    click(QStringLiteral("&Apply"));
    auto taken = snapshots.list();
    ASSERT_TRUE(taken);
    ASSERT_EQ(taken->size(), 1u);
    EXPECT_EQ(taken->front().origin, "Tavox Server Utility: Apply");
    // The Endpoints page's apply asked the restart question; answered, it is out of the way.
    sandbox.boxes.queueAnswer(MbResult::No);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isRestartPending(); }, 3000));
    sandbox.boxes.clear();

    // A file where the snapshots belong: neither Apply nor OK may change anything.
    std::filesystem::remove_all(snapshots.folder());
    std::ofstream(snapshots.folder()) << "in the way";
    sheet.GetPage(2)->SetModified(true);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("&Apply"));
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().front().startsWith(QStringLiteral("Error!: Cannot take a snapshot of the configuration: ")))
        << messages().front().toStdString();
    EXPECT_TRUE(messages().front().endsWith(QStringLiteral(". Nothing was applied.")));
    EXPECT_TRUE(sheet.GetPage(2)->isModified()) << "the change waits for the next Apply";
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("OK"));
    EXPECT_EQ(messages().size(), 2);
    EXPECT_FALSE(sheet.isOkPressed());
    EXPECT_FALSE(sheet.isRestartPending()) << "no page applied, so none asked for a restart";
    EXPECT_TRUE(sheet.isVisible());
}

TEST_F(CPsTavoxTest, RefusedOdbcSettingsAnswerTheRestartQuestionOfTheirApplyOnly)
{
    open(kServiceRunning);
    auto* active = findChildWithText<QCheckBox>(sheet.GetPage(4), QStringLiteral("Active SQL"));
    ASSERT_NE(active, nullptr);
    // Checked with nothing filled in: the ODBC page refuses, after the Endpoints page has
    // asked for the restart question.
    active->click();
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("&Apply"));
    EXPECT_TRUE(sheet.isRestartPending());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isRestartPending(); }, 3000));
    EXPECT_EQ(messages(), QStringList(QStringLiteral("Error!: Blank field! Please check all setting value!")));
    EXPECT_TRUE(sheet.isVisible());

    // The next apply passes: its question is the user's, however the last one ended.
    active->click();
    sandbox.boxes.clear();
    sandbox.boxes.queueAnswer(MbResult::No);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("&Apply"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isRestartPending(); }, 3000));
    EXPECT_EQ(messages(),
        QStringList({
            QStringLiteral("Question: All parameters have been applied. Do you want to restart the "
                           "Tavox Server?"),
            QStringLiteral("Information: Don't forget to restart Tavox Server."),
        }));
}

TEST_F(CPsTavoxTest, ARefusalWithoutQuestionLeavesLaterQuestionsToTheUser)
{
    // The Endpoints page refuses too, so that this OK asks for no restart question at all.
    sandbox.setDword(ServerKey::kAuthentication, 0x22);
    sandbox.setDword(ServerKey::kUaTcpPort, 4840);
    sandbox.setDword(ServerKey::kHttpsPort, 4840);
    open(kServiceRunning);
    findChildWithText<QCheckBox>(sheet.GetPage(4), QStringLiteral("Active SQL"))->click();
    sandbox.boxes.queueAnswer(MbResult::Ok);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("OK"));
    QTest::qWait(sandbox.delays.operationDelayMs * 3);
    EXPECT_FALSE(sheet.isRestartPending());
    EXPECT_EQ(messages().size(), 2);
    EXPECT_TRUE(sheet.isVisible());

    sandbox.boxes.clear();
    sandbox.boxes.queueAnswer(MbResult::No);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("Restart"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isRestartPending(); }, 3000));
    EXPECT_EQ(messages().value(0),
        QStringLiteral("Question: All parameters have been applied. Do you want to restart "
                       "the Tavox Server?"));
    EXPECT_FALSE(sheet.isVisible()) << "OK was pressed before";
}

TEST_F(CPsTavoxTest, AClientRefusedWhileTheUtilityRunsIsNamedInABalloon)
{
    const auto store = certificates::StoreLayout::applications(sandbox.dir.path());
    ASSERT_TRUE(certificates::prepareStore(store, [](const std::string&) {}).ok());
    writeClientCertificate(store.rejected() / "known.pem", "known");
    open();
    writeClientCertificate(store.rejected() / "line3.pem", "line3");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.balloons.isEmpty(); }, 3000));
    EXPECT_EQ(sheet.balloons,
        QStringList {
            "The Tavox Server refused the client \"line3\" (urn:line3:client): its certificate is not trusted. "
            "Trust it under Endpoints, Certificates..." });
}

TEST_F(CPsTavoxTest, HistoryKeysWrittenSinceTheLoadSurviveAnApplyThatTheOdbcPageRefuses)
{
    open(kServiceRunning);
    // Another tool sets the history database while the sheet is open.
    for (const auto& [key, value] : { std::pair { "SQLTYPE", "MySQL" }, std::pair { "SERVER", "db2" } })
        ASSERT_TRUE(platform::writeProfileString(sandbox.nodeConfig(), "HistorizedtoODBCSQL", key, value));
    findChildWithText<QCheckBox>(sheet.GetPage(4), QStringLiteral("Active SQL"))->click();
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("&Apply"));
    EXPECT_EQ(messages(), QStringList(QStringLiteral("Error!: Blank field! Please check all setting value!")));
    EXPECT_EQ(platform::readProfileString(sandbox.nodeConfig(), "HistorizedtoODBCSQL", "SERVER", ""), "db2");
    EXPECT_EQ(platform::readProfileString(sandbox.nodeConfig(), "HistorizedtoODBCSQL", "SQLTYPE", ""), "MySQL");
}

TEST_F(CPsTavoxTest, OkWithAnUnwritableNodeConfigurationKeepsItsEditsAndTheSheetOpen)
{
    open(kServiceRunning);
    CTavoxPage* nodeConfig = sheet.GetPage(3);
    findChildWithText<QCheckBox>(nodeConfig, QStringLiteral("Start Logging"))->click();
    // A folder stands where the page's file was; the ODBC Database page, which reads its path
    // anew, applies to a copy, so that only the write-back fails.
    const std::filesystem::path copy = sandbox.serviceDir / "Other.xml";
    std::filesystem::rename(sandbox.nodeConfig(), copy);
    std::filesystem::create_directory(sandbox.nodeConfig());
    sandbox.setString(ServerKey::kNodeCfg, u"Other.xml");
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("OK"));
    QTest::qWait(sandbox.delays.operationDelayMs * 3);
    EXPECT_EQ(messages(), QStringList(QStringLiteral("Error: Open file fail...")));
    EXPECT_FALSE(sheet.isRestartPending()) << "the Endpoints page's restart question is not asked";
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(nodeConfig->isModified());
    EXPECT_TRUE(sheet.isApplyEnabled());

    // The edit is still there for the next Apply.
    std::filesystem::remove(sandbox.nodeConfig());
    std::filesystem::rename(copy, sandbox.nodeConfig());
    sandbox.setString(ServerKey::kNodeCfg, u"NodeConfig.xml");
    sandbox.boxes.clear();
    sandbox.boxes.queueAnswer(MbResult::No);
    sandbox.boxes.queueAnswer(MbResult::Ok);
    click(QStringLiteral("&Apply"));
    EXPECT_FALSE(nodeConfig->isModified());
    EXPECT_EQ(platform::readProfileString(sandbox.nodeConfig(), "HistorizedtoODBCSQL", "StartLogging", ""), "true");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isVisible(); }, 3000)) << "OK was pressed before";
}

TEST_F(CPsTavoxTest, StateChangeFromTheServiceThreadRefreshesTheStatusPage)
{
    open(kServiceStopped);
    EXPECT_TRUE(statusShows(QStringLiteral("Stopped")));
    std::thread backend([this] { sandbox.services.changeState(UiSandbox::kService, kServiceRunning); });
    backend.join();
    EXPECT_TRUE(statusShows(QStringLiteral("Stopped"))) << "refreshed on the user-interface thread only";
    EXPECT_TRUE(QTest::qWaitFor([&] { return statusShows(QStringLiteral("Running")); }, 3000));
}

} // namespace
