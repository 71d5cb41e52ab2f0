#include "app/CTavoxUtilityApp.h"

#include "app/CPsTavox.h"
#include "testing/UiSandbox.h"
#include "users/ui/CLogin.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kLoginTitle = QStringLiteral("Tavox Server Utility Login");

/// Runs `step` every 20 ms while the program under test runs its own modal loops.
class Driver {
public:
    explicit Driver(std::function<void()> step)
        : m_step(std::move(step))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_step(); });
        m_timer.start(20);
    }

private:
    std::function<void()> m_step;
    QTimer m_timer;
};

bool logIn(const QString& password)
{
    CLogin* login = findTopLevel<CLogin>(kLoginTitle);
    if (!login)
        return false;
    QLineEdit* edit = login->findChild<QLineEdit*>();
    edit->clear();
    QTest::keyClicks(edit, password);
    QTest::mouseClick(findButton<QPushButton>(login, QStringLiteral("OK")), Qt::LeftButton);
    return true;
}

TEST(CTavoxUtilityAppTest, ThreeFailedLoginsEndTheProgramWithoutTheSheet)
{
    UiSandbox sandbox;
    sandbox.boxes.setAnswerAll(true);
    CTavoxUtilityApp app(sandbox.boxes, sandbox.services, sandbox.sleeper, sandbox.stores.stores());
    app.setInstanceName(QString::fromStdString((sandbox.dir / "instance").string()));
    int attempts = 0;
    bool sheetSeen = false;
    Driver driver([&] {
        sheetSeen = sheetSeen || app.sheet() != nullptr;
        if (attempts < 3 && logIn(QStringLiteral("wrong")))
            ++attempts;
    });
    EXPECT_EQ(app.InitInstance(), 0);
    EXPECT_EQ(attempts, 3);
    EXPECT_FALSE(sheetSeen);
    ASSERT_EQ(sandbox.boxes.shown().size(), 3u);
    EXPECT_EQ(sandbox.boxes.shown()[2].text, QStringLiteral("The password is not correct!"));
}

TEST(CTavoxUtilityAppTest, ASecondStartShowsTheHiddenSheetAfterTheLogin)
{
    UiSandbox sandbox;
    const QString instance = QString::fromStdString((sandbox.dir / "instance").string());
    const QString password = QString::fromStdU16String(UiSandbox::kPassword);
    CTavoxUtilityApp app(sandbox.boxes, sandbox.services, sandbox.sleeper, sandbox.stores.stores());
    app.setInstanceName(instance);

    enum class Phase { Login, Hide, SecondStart, LoginAgain, Shown, Done } phase = Phase::Login;
    int secondResult = -1;
    Driver driver([&] {
        CPsTavox* sheet = app.sheet();
        switch (phase) {
        case Phase::Login:
            if (logIn(password))
                phase = Phase::Hide;
            break;
        case Phase::Hide:
            if (sheet && sheet->isVisible()) {
                QTest::mouseClick(findButton<QPushButton>(sheet, QStringLiteral("Cancel")), Qt::LeftButton);
                phase = Phase::SecondStart;
            }
            break;
        case Phase::SecondStart: {
            ASSERT_FALSE(sheet->isVisible());
            phase = Phase::LoginAgain;
            CTavoxUtilityApp second(sandbox.boxes, sandbox.services, sandbox.sleeper, sandbox.stores.stores());
            second.setInstanceName(instance);
            secondResult = second.InitInstance();
            break;
        }
        case Phase::LoginAgain:
            if (logIn(password))
                phase = Phase::Shown;
            break;
        case Phase::Shown:
            if (sheet && sheet->isVisible()) {
                phase = Phase::Done;
                sheet->done(QDialog::Rejected);
            }
            break;
        case Phase::Done:
            break;
        }
    });
    QTimer::singleShot(10000, [&] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        if (app.sheet())
            app.sheet()->done(QDialog::Rejected);
    });
    EXPECT_EQ(app.InitInstance(), 0);
    EXPECT_EQ(secondResult, 0) << "the second start ends at once";
    EXPECT_EQ(phase, Phase::Done);
}

} // namespace
