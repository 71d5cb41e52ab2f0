#include "users/ui/CLogin.h"
#include "users/ui/CSetPwd.h"

#include "testing/UiSandbox.h"
#include "testing/UiWidgetFinders.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

void typeInto(QWidget& dialog, const QString& caption, const QString& text)
{
    // The captions are exactly as shown, without mnemonics.
    QLineEdit* edit = finders::byLabel<QLineEdit>(&dialog, caption);
    ASSERT_NE(edit, nullptr) << caption.toStdString();
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    edit->clear();
    QTest::keyClicks(edit, text);
}

void clickOk(QWidget& dialog)
{
    QPushButton* ok = findButton<QPushButton>(&dialog, QStringLiteral("OK"));
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
}

TEST(CLoginTest, ThreeWrongPasswordsCloseTheDialogAndTheRightOneOpens)
{
    struct Case {
        std::vector<QString> typed;
        int result;
        std::vector<QString> messages;
    };
    const QString again = QStringLiteral("The password is not correct! Please try again.");
    const QString last = QStringLiteral("The password is not correct!");
    const QString right = QString::fromStdU16String(UiSandbox::kPassword);
    const Case cases[] = {
        { { right }, QDialog::Accepted, {} },
        { { QStringLiteral("x"), QStringLiteral("y"), right }, QDialog::Accepted, { again, again } },
        { { QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z") },
            QDialog::Rejected,
            { again, again, last } },
    };
    for (const Case& c : cases) {
        UiSandbox sandbox;
        sandbox.boxes.setAnswerAll(true);
        CLogin login(sandbox.boxes, UserProfile::utility(sandbox.stores.userStore()));
        login.show();
        EXPECT_EQ(login.windowTitle(), QStringLiteral("Tavox Server Utility Login"));
        for (const QString& password : c.typed) {
            ASSERT_TRUE(login.isVisible()) << "closed before every attempt was made";
            typeInto(login, QStringLiteral("Password:"), password);
            clickOk(login);
        }
        EXPECT_FALSE(login.isVisible());
        EXPECT_EQ(login.result(), c.result);
        ASSERT_EQ(sandbox.boxes.shown().size(), c.messages.size());
        for (std::size_t i = 0; i < c.messages.size(); ++i) {
            EXPECT_EQ(sandbox.boxes.shown()[i].text, c.messages[i]);
            EXPECT_EQ(sandbox.boxes.shown()[i].caption, QStringLiteral("Warning"));
            EXPECT_EQ(sandbox.boxes.shown()[i].icon, MbIcon::Warning);
        }
    }
}

TEST(CSetPwdTest, RefusesInOrderAndStoresTheConfirmedPassword)
{
    struct Case {
        QString oldPassword, newPassword, confirmation;
        QString message, caption;
        MbIcon icon;
        bool changed;
    };
    const QString right = QString::fromStdU16String(UiSandbox::kPassword);
    const Case cases[] = {
        { QStringLiteral("wrong"),
            QStringLiteral("a"),
            QStringLiteral("b"),
            QStringLiteral("The old password is not correct! Please input it again."),
            QStringLiteral("Warning"),
            MbIcon::Warning,
            false },
        { right,
            QStringLiteral("new one"),
            QStringLiteral("new One"),
            QStringLiteral("The passwords are not the same. Please confirm it again."),
            QStringLiteral("Error"),
            MbIcon::Warning,
            false },
        { right,
            QStringLiteral("new one"),
            QStringLiteral("new one"),
            QStringLiteral("The password has been changed!"),
            QStringLiteral("Information"),
            MbIcon::Information,
            true },
    };
    for (const Case& c : cases) {
        UiSandbox sandbox;
        sandbox.boxes.setAnswerAll(true);
        CSetPwd dialog(
            sandbox.boxes, UserProfile::utility(sandbox.stores.userStore()), nullptr, UiSandbox::kDigestIterations);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Change Login Password"));
        typeInto(dialog, QStringLiteral("Old Password:"), c.oldPassword);
        typeInto(dialog, QStringLiteral("New Password:"), c.newPassword);
        typeInto(dialog, QStringLiteral("Confirm Password:"), c.confirmation);
        clickOk(dialog);

        ASSERT_EQ(sandbox.boxes.shown().size(), 1u);
        EXPECT_EQ(sandbox.boxes.shown()[0].text, c.message);
        EXPECT_EQ(sandbox.boxes.shown()[0].caption, c.caption);
        EXPECT_EQ(sandbox.boxes.shown()[0].icon, c.icon);
        EXPECT_EQ(dialog.isVisible(), !c.changed);
        const std::string stored = readLoginDigest(UserProfile::utility(sandbox.stores.userStore()));
        EXPECT_TRUE(loginDigestMatches(stored, c.changed ? u"new one" : UiSandbox::kPassword));
        EXPECT_TRUE(isSaltedLoginDigest(stored));

        // The next login takes the digest that is stored now.
        CLogin login(sandbox.boxes, UserProfile::utility(sandbox.stores.userStore()));
        login.show();
        typeInto(login, QStringLiteral("Password:"), c.changed ? QStringLiteral("new one") : right);
        clickOk(login);
        EXPECT_EQ(login.result(), QDialog::Accepted);
    }
}

TEST(CLoginTest, AnOldDigestOpensAndIsStoredSaltedFromThen)
{
    UiSandbox sandbox;
    sandbox.boxes.setAnswerAll(true);
    ASSERT_TRUE(writeLoginDigest(UserProfile::utility(sandbox.stores.userStore()), MakeLoginDigest(u"abcdefghijkl")));
    CLogin refused(
        sandbox.boxes, UserProfile::utility(sandbox.stores.userStore()), nullptr, UiSandbox::kDigestIterations);
    refused.show();
    typeInto(refused, QStringLiteral("Password:"), QStringLiteral("Xbcdefghijkl"));
    clickOk(refused);
    EXPECT_EQ(readLoginDigest(UserProfile::utility(sandbox.stores.userStore())), MakeLoginDigest(u"abcdefghijkl"))
        << "a refusal writes nothing";

    CLogin login(
        sandbox.boxes, UserProfile::utility(sandbox.stores.userStore()), nullptr, UiSandbox::kDigestIterations);
    login.show();
    typeInto(login, QStringLiteral("Password:"), QStringLiteral("abcdefghijkl"));
    clickOk(login);
    EXPECT_EQ(login.result(), QDialog::Accepted);
    const std::string stored = readLoginDigest(UserProfile::utility(sandbox.stores.userStore()));
    EXPECT_TRUE(isSaltedLoginDigest(stored)) << stored;

    // From now on only the whole password opens.
    CLogin again(
        sandbox.boxes, UserProfile::utility(sandbox.stores.userStore()), nullptr, UiSandbox::kDigestIterations);
    again.show();
    typeInto(again, QStringLiteral("Password:"), QStringLiteral("abcdefXXXXXX"));
    clickOk(again);
    EXPECT_TRUE(again.isVisible());
    typeInto(again, QStringLiteral("Password:"), QStringLiteral("abcdefghijkl"));
    clickOk(again);
    EXPECT_EQ(again.result(), QDialog::Accepted);
}

} // namespace
