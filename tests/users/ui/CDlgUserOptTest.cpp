#include "users/ui/CDlgUserOpt.h"

#include "support/ScriptedMessageBoxes.h"
#include "support/WidgetFinders.h"
#include "users/UsrAuthEntry.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using finders::button;
using finders::byLabel;

struct Fields {
    QLineEdit* name;
    QLineEdit* password;
    QLineEdit* confirmation;
    QCheckBox* read;
    QCheckBox* write;
    QCheckBox* executable;
};

Fields fieldsOf(const CDlgUserOpt& dialog)
{
    return {byLabel<QLineEdit>(&dialog, "Name:"),
            byLabel<QLineEdit>(&dialog, "Password:"),
            byLabel<QLineEdit>(&dialog, "Password Confirm:"),
            button<QCheckBox>(&dialog, "Read"),
            button<QCheckBox>(&dialog, "Write"),
            button<QCheckBox>(&dialog, "Executable")};
}

TEST(CDlgUserOptTest, OkRefusesInputInTheOrderOfItsChecks)
{
    ScriptedMessageBoxes boxes;
    CDlgUserOpt dialog(UserOptMode::Add, boxes);
    dialog.show();
    const Fields f = fieldsOf(dialog);
    const QString n31(31, 'n'), n32(32, 'n'), p31(31, 'p'), p32(32, 'p');
    const struct {
        QString name, password, confirmation, message;
    } steps[] = {
        {"root", "", "", "User name can't be 'root'. Please change your name."},
        {n32, "", "", "Password can't be empty. Please input your password."},
        {n32, p32, "", "User name is too long. Please input your name again."},
        {n31, p32, "", "Password is too long. Please input your password again."},
        {n31, p31, p31 + "x", "Password is not the same. Please confirm it again."},
        {QString::fromUtf16(u"\u0416"), p31, p31,
         "User name can only contain Western European (Latin-1) characters. Please input your name again."},
        {"Root", QString::fromUtf16(u"\u20AC"), QString::fromUtf16(u"\u20AC"),
         "Password can only contain Western European (Latin-1) characters. Please input your password again."},
    };
    for (const auto& s : steps) {
        f.name->setText(s.name);
        f.password->setText(s.password);
        f.confirmation->setText(s.confirmation);
        boxes.queueAnswer(MbResult::Ok);
        QTest::mouseClick(button(&dialog, "&OK"), Qt::LeftButton);
        ASSERT_FALSE(boxes.shown().empty());
        EXPECT_EQ(boxes.shown().back().text, s.message);
        EXPECT_EQ(boxes.shown().back().caption, "Warning");
        EXPECT_EQ(boxes.shown().back().icon, MbIcon::None);
        EXPECT_EQ(boxes.shown().back().buttons, MbButtons::Ok);
        EXPECT_TRUE(dialog.isVisible()) << "the dialog stays open as entered";
        EXPECT_EQ(f.name->text(), s.name);
    }
    EXPECT_EQ(boxes.shown().size(), std::size(steps));

    f.name->setText(QString::fromUtf16(u"J\u00F6rg"));
    f.password->setText(p31);
    f.confirmation->setText(p31);
    QTest::mouseClick(button(&dialog, "&OK"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(boxes.shown().size(), std::size(steps));
}

TEST(CDlgUserOptTest, ModesSetCaptionAndEditableFields)
{
    UsrAuthEntry writer {};
    std::strcpy(writer.name, "J\xF6rg");
    writer.rights = kRightWrite;
    const struct {
        UserOptMode mode;
        const UsrAuthEntry* entry;
        QString caption, name;
        bool nameEnabled, passwordEnabled, rightsEnabled;
        bool read, write, executable;
    } cases[] = {
        {UserOptMode::RootPassword, nullptr, "Change 'root' Password", "root", false, true, false, true, true, true},
        {UserOptMode::Add, nullptr, "Add New User", "", true, true, true, true, true, true},
        {UserOptMode::ChangePassword, &writer, "Change User Password", QString::fromUtf16(u"J\u00F6rg"), false, true,
         false, false, true, true},
        {UserOptMode::ChangeAccessRight, &writer, "Change User Access Right", QString::fromUtf16(u"J\u00F6rg"), false,
         false, true, false, true, true},
    };
    for (const auto& c : cases) {
        ScriptedMessageBoxes boxes;
        CDlgUserOpt dialog(c.mode, boxes, c.entry);
        const Fields f = fieldsOf(dialog);
        const std::string what = c.caption.toStdString();
        EXPECT_EQ(dialog.windowTitle(), c.caption);
        EXPECT_EQ(f.name->text(), c.name) << what;
        EXPECT_EQ(f.name->isEnabled(), c.nameEnabled) << what;
        EXPECT_TRUE(f.password->text().isEmpty()) << what;
        EXPECT_EQ(f.password->echoMode(), QLineEdit::Password) << what;
        EXPECT_EQ(f.confirmation->echoMode(), QLineEdit::Password) << what;
        EXPECT_EQ(f.password->isEnabled(), c.passwordEnabled) << what;
        EXPECT_EQ(f.confirmation->isEnabled(), c.passwordEnabled) << what;
        for (QCheckBox* box : {f.read, f.write, f.executable})
            EXPECT_EQ(box->isEnabled(), c.rightsEnabled) << what;
        EXPECT_EQ(f.read->isChecked(), c.read) << what;
        EXPECT_EQ(f.write->isChecked(), c.write) << what;
        EXPECT_EQ(f.executable->isChecked(), c.executable) << what;
    }
}

TEST(CDlgUserOptTest, WriteAndExecutableFollowEachOther)
{
    ScriptedMessageBoxes boxes;
    CDlgUserOpt dialog(UserOptMode::Add, boxes);
    dialog.show();
    const Fields f = fieldsOf(dialog);
    QTest::mouseClick(f.write, Qt::LeftButton);
    EXPECT_FALSE(f.executable->isChecked());
    QTest::mouseClick(f.executable, Qt::LeftButton);
    EXPECT_TRUE(f.write->isChecked());
    QTest::mouseClick(f.read, Qt::LeftButton);
    EXPECT_EQ(dialog.rights(), kRightWrite | kRightExecutable);
    QTest::mouseClick(f.executable, Qt::LeftButton);
    EXPECT_FALSE(f.write->isChecked());
    EXPECT_EQ(dialog.rights(), 0u);
}

} // namespace
