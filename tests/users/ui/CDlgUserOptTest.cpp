#include "users/ui/CDlgUserOpt.h"

#include "testing/ScriptedMessageBoxes.h"
#include "testing/UiWidgetFinders.h"
#include "users/UsrAuthEntry.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using finders::button;
using finders::byLabel;

TEST(CDlgUserOptTest, OkRefusesInputInTheOrderOfItsChecks)
{
    ScriptedMessageBoxes boxes;
    CDlgUserOpt dialog(UserOptMode::Add, boxes);
    dialog.show();
    const QString n31(31, 'n'), n32(32, 'n'), p31(31, 'p'), p32(32, 'p'), euro = QString::fromUtf16(u"\u20AC");
    const struct {
        QString name, password, confirmation, message;
    } steps[] = {
        { "root", "", "", "User name can't be 'root'. Please change your name." },
        { n32, "", "", "Password can't be empty. Please input your password." },
        { n32, p32, "", "User name is too long. Please input your name again." },
        { n31, p32, "", "Password is too long. Please input your password again." },
        { n31, p31, p31 + "x", "Password is not the same. Please confirm it again." },
        { QString::fromUtf16(u"\u0416"),
            euro,
            euro,
            "User name can only contain Western European (Latin-1) characters. Please input your name again." },
        { "Root",
            euro,
            euro,
            "Password can only contain Western European (Latin-1) characters. Please input your password again." },
        { QString::fromUtf16(u"J\u00F6rg"), p31, p31, "" },
    };
    for (const auto& s : steps) {
        byLabel<QLineEdit>(&dialog, "Name:")->setText(s.name);
        byLabel<QLineEdit>(&dialog, "Password:")->setText(s.password);
        byLabel<QLineEdit>(&dialog, "Password Confirm:")->setText(s.confirmation);
        boxes.clear();
        if (!s.message.isEmpty())
            boxes.queueAnswer(MbResult::Ok);
        QTest::mouseClick(button(&dialog, "&OK"), Qt::LeftButton);
        EXPECT_EQ(dialog.isVisible(), !s.message.isEmpty()) << s.message.toStdString();
        if (s.message.isEmpty())
            continue;
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].text, s.message);
        EXPECT_EQ(boxes.shown()[0].caption, "Warning");
        EXPECT_EQ(boxes.shown()[0].icon, MbIcon::None);
    }
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(CDlgUserOptTest, ModesSetCaptionFieldsAndChecks)
{
    UsrAuthEntry writer {};
    writer.name[0] = '\xE9';
    writer.rights = kRightWrite;
    const QString e = QString::fromUtf16(u"\u00E9");
    const struct {
        UserOptMode mode;
        QString caption, name;
        bool nameOn, passwordOn, rightsOn, read, write, emptyPasswordPasses;
    } cases[] = {
        { UserOptMode::RootPassword, "Change 'root' Password", "root", false, true, false, true, true, true },
        { UserOptMode::Add, "Add New User", "", true, true, true, true, true, false },
        { UserOptMode::ChangePassword, "Change User Password", e, false, true, false, false, true, true },
        { UserOptMode::ChangeAccessRight, "Change User Access Right", e, false, false, true, false, true, true },
    };
    for (const auto& c : cases) {
        ScriptedMessageBoxes boxes;
        boxes.setAnswerAll(true);
        CDlgUserOpt dialog(c.mode, boxes, &writer);
        const std::string what = c.caption.toStdString();
        EXPECT_EQ(dialog.windowTitle(), c.caption);
        auto* name = byLabel<QLineEdit>(&dialog, "Name:");
        auto* password = byLabel<QLineEdit>(&dialog, "Password:");
        EXPECT_EQ(name->text(), c.name) << what;
        EXPECT_EQ(name->isEnabled(), c.nameOn) << what;
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        EXPECT_EQ(password->isEnabled(), c.passwordOn) << what;
        EXPECT_EQ(byLabel<QLineEdit>(&dialog, "Password Confirm:")->isEnabled(), c.passwordOn) << what;
        EXPECT_EQ(button<QCheckBox>(&dialog, "Read")->isChecked(), c.read) << what;
        for (const char* right : { "Write", "Executable" }) {
            EXPECT_EQ(button<QCheckBox>(&dialog, right)->isChecked(), c.write) << what;
            EXPECT_EQ(button<QCheckBox>(&dialog, right)->isEnabled(), c.rightsOn) << what;
        }
        name->setText("x");
        EXPECT_EQ(dialog.validate(), c.emptyPasswordPasses) << what;
    }
}

TEST(CDlgUserOptTest, WriteAndExecutableFollowEachOther)
{
    ScriptedMessageBoxes boxes;
    CDlgUserOpt dialog(UserOptMode::Add, boxes);
    dialog.show();
    auto* write = button<QCheckBox>(&dialog, "Write");
    auto* executable = button<QCheckBox>(&dialog, "Executable");
    QTest::mouseClick(write, Qt::LeftButton);
    EXPECT_FALSE(executable->isChecked());
    QTest::mouseClick(executable, Qt::LeftButton);
    EXPECT_TRUE(write->isChecked());
    QTest::mouseClick(button<QCheckBox>(&dialog, "Read"), Qt::LeftButton);
    EXPECT_EQ(dialog.rights(), 0x204u);
    // An assistive technology's toggle action is followed the same way.
    QAccessible::queryAccessibleInterface(executable)
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(write->isChecked());
}

} // namespace
