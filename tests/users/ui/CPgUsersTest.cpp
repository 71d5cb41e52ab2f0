#include "users/ui/CPgUsers.h"

#include "testing/ScriptedMessageBoxes.h"
#include "testing/ServerKeyStore.h"
#include "testing/UiWidgetFinders.h"
#include "users/ui/CDlgUserOpt.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

namespace {

using finders::action;
using finders::button;
using finders::byLabel;

class CPgUsersTest : public ::testing::Test {
protected:
    /// Stores users named "u<slot+1>" in the given slots, password "abc", rights Read.
    void storeUsers(const std::vector<std::size_t>& used)
    {
        const CTavoxUsrAuth auth(m_server.machineStore());
        UserTable table(auth);
        for (std::size_t slot : used)
            table.place(slot, *table.makeEntry(u"u" + platformNumber(slot + 1), u"abc", kRightRead));
        ASSERT_TRUE(table.save());
    }
    static std::u16string platformNumber(std::size_t n)
    {
        const std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }
    const UsrAuthEntry& stored(std::size_t slot)
    {
        m_stored = *m_server.raw("UsrAuth");
        return reinterpret_cast<const UsrAuthEntry*>(m_stored.data())[slot];
    }
    QTableWidget* list() const { return m_page.findChild<QTableWidget*>(); }
    QStringList column(int c) const
    {
        QStringList texts;
        for (int row = 0; row < list()->rowCount(); ++row)
            texts << list()->item(row, c)->text();
        return texts;
    }
    void select(std::initializer_list<int> rows)
    {
        list()->clearSelection();
        for (int row : rows)
            list()->selectionModel()->select(
                list()->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void trigger(const QString& item) { action(m_page.userMenu(), item)->trigger(); }
    /// Answers the next user dialog; an empty name is left as the dialog shows it.
    static void answer(const QString& name, const QString& password, const char* button_ = "&OK")
    {
        finders::onNextDialog<CDlgUserOpt>([=](CDlgUserOpt& dialog) {
            if (!name.isEmpty())
                byLabel<QLineEdit>(&dialog, "Name:")->setText(name);
            byLabel<QLineEdit>(&dialog, "Password:")->setText(password);
            byLabel<QLineEdit>(&dialog, "Password Confirm:")->setText(password);
            QTest::mouseClick(button(&dialog, button_), Qt::LeftButton);
        });
    }

    ServerKeyStore m_server;
    ScriptedMessageBoxes m_boxes;
    CPgUsers m_page { m_boxes, m_server.machineStore() };
    std::vector<std::uint8_t> m_stored;
};

TEST_F(CPgUsersTest, FullListDisablesAddUser)
{
    std::vector<std::size_t> all(kUsrAuthSlots);
    std::iota(all.begin(), all.end(), 0);
    storeUsers(all);
    m_page.ensureInitialized();
    m_page.show();
    QStringList headers;
    for (int c = 0; c < list()->columnCount(); ++c)
        headers << list()->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, QStringList({ "#", "Name", "Read", "Write", "Executable" }));
    EXPECT_EQ(column(0).last(), "32");
    EXPECT_EQ(column(2).first() + column(3).first(), "V---");

    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, { 5, 5 }, list()->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list()->viewport(), &rightClick);
    QMenu* menu = m_page.findChild<QMenu*>();
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    EXPECT_EQ(menu->title(), "User");
    menu->hide();

    const struct {
        std::initializer_list<int> rows;
        bool remove, change;
    } cases[] = { { {}, false, false }, { { 4 }, true, true }, { { 4, 9 }, true, false } };
    for (const auto& c : cases) {
        select(c.rows);
        EXPECT_FALSE(action(m_page.userMenu(), "Add User")->isEnabled());
        EXPECT_EQ(action(m_page.userMenu(), "Delete User(s)")->isEnabled(), c.remove);
        EXPECT_EQ(action(m_page.userMenu(), "Change Password")->isEnabled(), c.change);
        EXPECT_EQ(action(m_page.userMenu(), "Change Access Right")->isEnabled(), c.change);
    }
    trigger("Delete User(s)");
    EXPECT_TRUE(action(m_page.userMenu(), "Add User")->isEnabled());
}

TEST_F(CPgUsersTest, AddingAnExistingNameReplacesOnlyOnYes)
{
    storeUsers({ 0, 2 });
    m_page.ensureInitialized();
    m_boxes.queueAnswer(MbResult::No);
    answer("u3", "secret");
    trigger("Add User");
    ASSERT_EQ(m_boxes.shown().size(), 1u);
    EXPECT_EQ(m_boxes.shown()[0].text, "Found the same user name. Do you want to replace it!");
    EXPECT_EQ(m_boxes.shown()[0].caption, "Question");
    EXPECT_EQ(m_boxes.shown()[0].buttons, MbButtons::YesNo);
    EXPECT_FALSE(m_page.isModified());

    m_boxes.queueAnswer(MbResult::Yes);
    answer("u3", "secret");
    trigger("Add User");
    answer("new", "abc");
    trigger("Add User");
    EXPECT_EQ(column(1), QStringList({ "u1", "new", "u3" })) << "a new user takes the first free slot";
    EXPECT_TRUE(m_page.isModified());
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_STREQ(stored(2).password, "2ebe3349ecd7e7f71eab8547d3a5ee54");
    EXPECT_EQ(stored(2).rights, 0x20Fu);
    EXPECT_STREQ(stored(0).password, "477027416cd39fb7d5456f8d31e08f83");
}

TEST_F(CPgUsersTest, DeletedRowsKeepTheirNumbersUntilTheNextRefresh)
{
    storeUsers({ 0, 1, 2, 3, 4 });
    m_page.ensureInitialized();
    select({ 1, 2 });
    trigger("Delete User(s)");
    EXPECT_EQ(column(0), QStringList({ "01", "04", "05" }));
    EXPECT_EQ(column(1), QStringList({ "u1", "u4", "u5" }));
    EXPECT_EQ(stored(1).name[0], 'u') << "nothing is stored before apply";

    select({ 1 });
    answer("", "", "&Cancel");
    trigger("Change Access Right");
    EXPECT_EQ(column(0), QStringList({ "01", "04", "05" })) << "a cancelled dialog changes nothing";
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_EQ(column(0), QStringList({ "01", "02", "03" }));
    UsrAuthEntry freed {};
    freed.index = 3;
    EXPECT_EQ(std::memcmp(&stored(2), &freed, sizeof(freed)), 0);
}

TEST_F(CPgUsersTest, ApplyStoresRootPasswordAndLogonBits)
{
    m_server.setDword("Authentication", 0x35);
    m_page.ensureInitialized();
    m_page.show();
    answer("", "", "&Cancel");
    QTest::mouseClick(button(&m_page, "Reset"), Qt::LeftButton);
    EXPECT_TRUE(m_page.isModified()) << "even a cancelled reset marks the page";
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_FALSE(m_server.raw("RootAuth")) << "no root password entered, none stored";

    answer("", "abc");
    QTest::mouseClick(button(&m_page, "Reset"), Qt::LeftButton);
    QTest::mouseClick(button<QCheckBox>(&m_page, "Enable Windows Logon"), Qt::LeftButton);
    QTest::mouseClick(button<QCheckBox>(&m_page, "Anonymous"), Qt::LeftButton);
    ASSERT_TRUE(m_page.OnApply());
    const auto root = m_server.raw("RootAuth");
    EXPECT_EQ(std::string(root->begin(), root->end()), "477027416cd39fb7d5456f8d31e08f83");
    EXPECT_EQ(m_server.dword("Authentication"), 0x3Eu);

    QTest::mouseClick(button<QCheckBox>(&m_page, "Enable Certification"), Qt::LeftButton);
    answer("new", "abc");
    trigger("Add User");
    EXPECT_FALSE(button<QCheckBox>(&m_page, "Enable Certification")->isChecked()) << "adding keeps the edit";
    m_page.Refresh();
    EXPECT_TRUE(button<QCheckBox>(&m_page, "Enable Certification")->isChecked()) << "a reload drops it";
}

TEST_F(CPgUsersTest, ReloadShowsOnlyWhatIsStoredAndDropsThePendingRootPassword)
{
    storeUsers({ 0, 1, 2 });
    m_page.ensureInitialized();
    m_page.show();
    answer("", "abc");
    QTest::mouseClick(button(&m_page, "Reset"), Qt::LeftButton);

    // Another tool shortens the stored table to its first slot while the sheet is hidden.
    std::vector<std::uint8_t> first = *m_server.raw("UsrAuth");
    first.resize(88);
    m_server.set("UsrAuth", platform::kRegBinary, first);
    m_page.Refresh();
    EXPECT_EQ(column(1), QStringList({ "u1" }));
    EXPECT_TRUE(m_page.pendingRootPassword().empty());

    ASSERT_TRUE(m_page.OnApply());
    EXPECT_FALSE(m_server.raw("RootAuth")) << "a root password dropped by the reload is not stored";
    EXPECT_EQ(stored(1).name[0], '\0') << "users removed from the store are not written back";
}

} // namespace
