#include "users/ui/CPgUsers.h"

#include "support/ScriptedMessageBoxes.h"
#include "support/ServerKeyStore.h"
#include "support/WidgetFinders.h"
#include "users/CTavoxUsrAuth.h"
#include "users/UserTable.h"
#include "users/ui/CDlgUserOpt.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using finders::action;
using finders::button;
using finders::byLabel;

const char* const kSecretDigest = "2ebe3349ecd7e7f71eab8547d3a5ee54"; // "secret"
const char* const kAbcDigest = "477027416cd39fb7d5456f8d31e08f83";    // "abc"

class CPgUsersTest : public ::testing::Test {
protected:
    /// Stores users in the given slots, password "abc", rights Read.
    void storeUsers(const std::vector<std::pair<std::size_t, std::u16string>>& users)
    {
        UserTable table(m_auth);
        for (const auto& [slot, name] : users)
            table.place(slot, *table.makeEntry(name, u"abc", kRightRead));
        ASSERT_TRUE(table.save());
    }

    UsrAuthTable storedTable() const
    {
        UsrAuthTable table {};
        const auto bytes = m_server.raw("UsrAuth");
        EXPECT_TRUE(bytes && bytes->size() == kUsrAuthBytes);
        if (bytes && bytes->size() == kUsrAuthBytes)
            std::memcpy(table.data(), bytes->data(), kUsrAuthBytes);
        return table;
    }

    QTableWidget* list() const { return m_page.findChild<QTableWidget*>("userList"); }

    QStringList column(int c) const
    {
        QStringList texts;
        for (int row = 0; row < list()->rowCount(); ++row)
            texts << list()->item(row, c)->text();
        return texts;
    }

    void selectRows(std::initializer_list<int> rows)
    {
        list()->clearSelection();
        for (int row : rows)
            list()->selectionModel()->select(list()->model()->index(row, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void trigger(const QString& item) { action(m_page.userMenu(), item)->trigger(); }

    /// Answers the next user dialog with the given texts (empty name: left as it is).
    static void answerDialog(const QString& name, const QString& password, bool ok = true)
    {
        finders::onNextDialog<CDlgUserOpt>([=](CDlgUserOpt& dialog) {
            if (!name.isEmpty())
                byLabel<QLineEdit>(&dialog, "Name:")->setText(name);
            byLabel<QLineEdit>(&dialog, "Password:")->setText(password);
            byLabel<QLineEdit>(&dialog, "Password Confirm:")->setText(password);
            QTest::mouseClick(button(&dialog, ok ? "&OK" : "&Cancel"), Qt::LeftButton);
        });
    }

    ServerKeyStore m_server;
    const CTavoxUsrAuth m_auth;
    ScriptedMessageBoxes m_boxes;
    CPgUsers m_page {m_boxes};
};

TEST_F(CPgUsersTest, ListsStoredUsersWithTheirRights)
{
    UserTable table(m_auth);
    table.place(0, *table.makeEntry(u"writer", u"abc", 0x204));
    table.place(3, *table.makeEntry(u"reader", u"abc", 0x00B));
    table.place(7, *table.makeEntry(u"runner", u"abc", 0x004));
    ASSERT_TRUE(table.save());
    m_server.setDword("Authentication", 0x0D);
    m_page.ensureInitialized();

    QStringList headers;
    for (int c = 0; c < list()->columnCount(); ++c)
        headers << list()->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, QStringList({"#", "Name", "Read", "Write", "Executable"}));
    EXPECT_EQ(column(0), QStringList({"01", "02", "03"}));
    EXPECT_EQ(column(1), QStringList({"writer", "reader", "runner"}));
    EXPECT_EQ(column(2), QStringList({"---", "V", "---"}));
    EXPECT_EQ(column(3), QStringList({"V", "---", "---"}));
    EXPECT_EQ(column(4), QStringList({"V", "---", "V"}));
    EXPECT_TRUE(button<QCheckBox>(&m_page, "Enable Windows Logon")->isChecked());
    EXPECT_TRUE(button<QCheckBox>(&m_page, "Enable Certification")->isChecked());
    EXPECT_TRUE(button<QCheckBox>(&m_page, "Anonymous")->isChecked());
    EXPECT_FALSE(m_page.isModified());
}

TEST_F(CPgUsersTest, MenuItemsFollowRowsAndSelection)
{
    std::vector<std::pair<std::size_t, std::u16string>> users;
    for (std::size_t slot = 0; slot < 32; ++slot)
        users.push_back({slot, u"user" + std::u16string(1, static_cast<char16_t>(u'A' + slot))});
    storeUsers(users);
    m_page.ensureInitialized();
    m_page.show();

    // A right click opens the "User" menu at the mouse.
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), list()->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list()->viewport(), &click);
    QMenu* menu = m_page.findChild<QMenu*>("userMenu");
    ASSERT_TRUE(menu);
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    EXPECT_EQ(menu->title(), "User");
    menu->hide();

    const struct {
        std::initializer_list<int> selected;
        bool add, remove, change;
    } cases[] = {
        {{}, false, false, false},
        {{4}, false, true, true},
        {{4, 9}, false, true, false},
    };
    for (const auto& c : cases) {
        selectRows(c.selected);
        QMenu* m = m_page.userMenu();
        EXPECT_EQ(action(m, "Add User")->isEnabled(), c.add);
        EXPECT_EQ(action(m, "Delete User(s)")->isEnabled(), c.remove);
        EXPECT_EQ(action(m, "Change Password")->isEnabled(), c.change);
        EXPECT_EQ(action(m, "Change Access Right")->isEnabled(), c.change);
    }
    selectRows({31});
    trigger("Delete User(s)");
    EXPECT_TRUE(action(m_page.userMenu(), "Add User")->isEnabled()) << "31 rows leave room for one more";
}

TEST_F(CPgUsersTest, AddingAnExistingNameAsksBeforeReplacing)
{
    storeUsers({{0, u"alice"}, {2, u"bob"}});
    m_page.ensureInitialized();

    m_boxes.queueAnswer(MbResult::No);
    answerDialog("bob", "secret");
    trigger("Add User");
    ASSERT_EQ(m_boxes.shown().size(), 1u);
    EXPECT_EQ(m_boxes.shown()[0].text, "Found the same user name. Do you want to replace it!");
    EXPECT_EQ(m_boxes.shown()[0].caption, "Question");
    EXPECT_EQ(m_boxes.shown()[0].icon, MbIcon::Question);
    EXPECT_EQ(m_boxes.shown()[0].buttons, MbButtons::YesNo);
    EXPECT_FALSE(m_page.isModified()) << "No changes nothing";

    m_boxes.queueAnswer(MbResult::Yes);
    answerDialog("bob", "secret");
    trigger("Add User");
    EXPECT_TRUE(m_page.isModified());
    answerDialog("carol", "abc");
    trigger("Add User");
    EXPECT_EQ(column(1), QStringList({"alice", "carol", "bob"})) << "a new user takes the first free slot";

    ASSERT_TRUE(m_page.OnApply());
    const UsrAuthTable stored = storedTable();
    EXPECT_STREQ(stored[2].name, "bob");
    EXPECT_STREQ(stored[2].password, kSecretDigest);
    EXPECT_EQ(stored[2].rights, 0x20Fu);
    EXPECT_STREQ(stored[1].name, "carol");
    EXPECT_STREQ(stored[0].password, kAbcDigest);
    EXPECT_EQ(stored[0].rights, kRightRead);
}

TEST_F(CPgUsersTest, DeletedRowsKeepTheirNumbersUntilTheNextRefresh)
{
    storeUsers({{0, u"u1"}, {1, u"u2"}, {2, u"u3"}, {3, u"u4"}, {4, u"u5"}});
    m_page.ensureInitialized();
    selectRows({1, 2});
    trigger("Delete User(s)");
    EXPECT_EQ(column(0), QStringList({"01", "04", "05"}));
    EXPECT_EQ(column(1), QStringList({"u1", "u4", "u5"}));
    EXPECT_TRUE(m_page.isModified());
    EXPECT_TRUE(m_server.raw("UsrAuth")->at(88) == 'u') << "nothing is stored before apply";

    ASSERT_TRUE(m_page.OnApply());
    EXPECT_EQ(column(0), QStringList({"01", "02", "03"}));
    EXPECT_FALSE(m_page.isModified());
    const UsrAuthTable stored = storedTable();
    for (std::size_t slot : {1u, 2u}) {
        UsrAuthEntry freed {};
        freed.index = static_cast<std::uint32_t>(slot + 1);
        EXPECT_EQ(std::memcmp(&stored[slot], &freed, sizeof(freed)), 0) << "slot " << slot;
    }
    EXPECT_STREQ(stored[3].name, "u4");
}

TEST_F(CPgUsersTest, ChangesApplyToTheSelectedUser)
{
    storeUsers({{0, u"u1"}, {5, u"u6"}});
    m_page.ensureInitialized();

    selectRows({1});
    answerDialog("", "secret");
    trigger("Change Password");
    selectRows({1});
    finders::onNextDialog<CDlgUserOpt>([](CDlgUserOpt& dialog) {
        QTest::mouseClick(button<QCheckBox>(&dialog, "Write"), Qt::LeftButton);
        QTest::mouseClick(button(&dialog, "&OK"), Qt::LeftButton);
    });
    trigger("Change Access Right");
    EXPECT_EQ(column(3), QStringList({"---", "V"}));
    EXPECT_EQ(column(4), QStringList({"---", "V"}));

    selectRows({0});
    answerDialog("", "ignored", false);
    trigger("Change Password");
    EXPECT_TRUE(m_boxes.shown().empty());

    ASSERT_TRUE(m_page.OnApply());
    const UsrAuthTable stored = storedTable();
    EXPECT_STREQ(stored[5].password, kSecretDigest);
    EXPECT_EQ(stored[5].rights, 0x20Fu);
    EXPECT_STREQ(stored[0].password, kAbcDigest);
}

TEST_F(CPgUsersTest, RootPasswordIsStoredOnlyWhenOneWasEntered)
{
    m_page.ensureInitialized();
    m_page.show();
    answerDialog("", "", false);
    QTest::mouseClick(button(&m_page, "Reset"), Qt::LeftButton);
    EXPECT_TRUE(m_page.isModified()) << "even a cancelled reset marks the page";

    answerDialog("", "");
    QTest::mouseClick(button(&m_page, "Reset"), Qt::LeftButton);
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_FALSE(m_server.raw("RootAuth")) << "an empty root password stores nothing";

    answerDialog("", "secret");
    QTest::mouseClick(button(&m_page, "Reset"), Qt::LeftButton);
    ASSERT_TRUE(m_page.OnApply());
    const auto root = m_server.raw("RootAuth");
    ASSERT_TRUE(root);
    EXPECT_EQ(std::string(root->begin(), root->end()), kSecretDigest);
    EXPECT_TRUE(m_page.pendingRootPassword().empty());
}

TEST_F(CPgUsersTest, LogonBoxesChangeOnlyTheirBits)
{
    m_server.setDword("Authentication", 0x35);
    m_page.ensureInitialized();
    m_page.show();
    QTest::mouseClick(button<QCheckBox>(&m_page, "Enable Windows Logon"), Qt::LeftButton);
    QTest::mouseClick(button<QCheckBox>(&m_page, "Anonymous"), Qt::LeftButton);
    EXPECT_TRUE(m_page.isModified());
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_EQ(m_server.dword("Authentication"), 0x3Eu);
    EXPECT_EQ(m_server.raw("UsrAuth")->size(), kUsrAuthBytes);

    // An unapplied box is reset by the refresh that follows an add.
    QTest::mouseClick(button<QCheckBox>(&m_page, "Enable Certification"), Qt::LeftButton);
    answerDialog("dave", "pw");
    trigger("Add User");
    EXPECT_TRUE(button<QCheckBox>(&m_page, "Enable Certification")->isChecked());
}

} // namespace
