#include "nodeconfig/ui/CDlgXmlTree.h"

#include "nodeconfig/XmlTreeTesting.h"
#include "nodeconfig/ui/CAlarmEdit.h"
#include "nodeconfig/ui/CDlgSetAlarm.h"
#include "nodeconfig/ui/CPgXmlConfigure.h"
#include "testing/UiSandbox.h"
#include "testing/UiWidgetFinders.h"
#include "uaxml/UaXmlDocument.h"

#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

using namespace nodeconfig;
using namespace nodeconfig::testing;

QStringList rowTexts(const QTableWidget& list)
{
    QStringList rows;
    for (int row = 0; row < list.rowCount(); ++row)
        rows << list.item(row, 0)->text() + "|" + list.item(row, 1)->text();
    return rows;
}

QMenu* visibleMenu(const QWidget& dialog)
{
    for (QMenu* menu : dialog.findChildren<QMenu*>()) {
        if (menu->isVisible())
            return menu;
    }
    return nullptr;
}

QStringList menuTexts(const QMenu& menu)
{
    QStringList texts { menu.title() };
    for (const QAction* action : menu.actions())
        texts << (action->isEnabled() ? "" : "-") + action->text();
    return texts;
}

/// The dialog over the plant, shown, with its model checked after every change.
struct Shown {
    Shown()
        : request(page.request())
    {
        dialog.show();
        tester = std::make_unique<QAbstractItemModelTester>(
            tree()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    QTreeView* tree() const { return dialog.findChild<QTreeView*>(QStringLiteral("nodeTree")); }
    QTableWidget* list(const char* name) const { return dialog.findChild<QTableWidget*>(QLatin1String(name)); }
    /// Makes the item current as the arrow keys would, its parents expanded.
    QModelIndex go(NodeTreeItem* root, const char* idText)
    {
        NodeTreeItem* item = dialog.logic().FindTreeItem(root, idText);
        EXPECT_NE(item, nullptr) << idText;
        QModelIndex index = tree()->model()->index(0, 0);
        std::vector<std::size_t> rows;
        for (const NodeTreeItem* at = item; at; at = at->parent())
            rows.insert(rows.begin(), at->row());
        index = tree()->model()->index(static_cast<int>(rows[0]), 0);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            tree()->expand(index);
            index = tree()->model()->index(static_cast<int>(rows[i]), 0, index);
        }
        tree()->setFocus();
        tree()->setCurrentIndex(index);
        return index;
    }
    /// Opens the menu of the current item from the keyboard.
    QMenu* keyboardMenu(Qt::Key key = Qt::Key_Menu, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(tree(), key, modifiers);
        QMenu* menu = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return (menu = visibleMenu(dialog)) != nullptr; }));
        return menu;
    }

    LoadedPage page;
    ConfigureRequest request;
    ScriptedMessageBoxes boxes;
    CDlgXmlTree dialog { request, boxes };
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST(CDlgXmlTreeTest, EveryCommandIsReachedFromTheKeyboard)
{
    Shown s;
    EXPECT_EQ(s.dialog.windowTitle(), QStringLiteral("Alarms & Historical Data"));
    EXPECT_FALSE(s.list("conditionList")->isEnabled());
    QModelIndex count = s.go(s.dialog.logic().objectsRoot(), "ns=2;s=Tank.Count");
    EXPECT_TRUE(rowTexts(*s.list("attributeList")).contains(QStringLiteral("    DataType|Int16")));

    // Shift+F10 opens the menu of the current item; Enter takes its first item.
    QMenu* menu = s.keyboardMenu(Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menuTexts(*menu), (QStringList { "Objects", "Add Alarm Event", "Add Historical Data" }));
    finders::onNextDialog<CDlgSetAlarm>([](CDlgSetAlarm& limits) {
        EXPECT_EQ(limits.dataTypeCode(), static_cast<int>(AlarmDataType::Int16));
        QTest::keyClicks(finders::byLabel<CAlarmEdit>(&limits, QStringLiteral("High High Limit:")), "100");
        QTest::keyClick(&limits, Qt::Key_Return);
    });
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(s.tree()->model()->data(count, Qt::AccessibleDescriptionRole).toString(),
        QStringLiteral("Variable with alarm"));

    // Enter on the new alarm edits its condition; Cancel changes nothing and says nothing.
    s.go(s.dialog.logic().alarmRoot(), "ns=2;s=Tank.Count");
    EXPECT_TRUE(s.list("conditionList")->isEnabled());
    EXPECT_EQ(rowTexts(*s.list("conditionList")).first(), QStringLiteral("HighHighLimit|100"));
    finders::onNextDialog<CDlgSetAlarm>([](CDlgSetAlarm& limits) {
        EXPECT_EQ(finders::byLabel<CAlarmEdit>(&limits, QStringLiteral("High High Limit:"))->text(), "100");
        QTest::keyClicks(finders::byLabel<CAlarmEdit>(&limits, QStringLiteral("Low Limit:")), "7");
        QTest::keyClick(&limits, Qt::Key_Escape);
    });
    QTest::keyClick(s.tree(), Qt::Key_Return);
    EXPECT_TRUE(s.dialog.isVisible());
    EXPECT_EQ(rowTexts(*s.list("conditionList")),
        (QStringList { "HighHighLimit|100", "HighLimit|", "LowLimit|", "LowLowLimit|" }));
    EXPECT_TRUE(s.boxes.shown().empty());

    // The context-menu key opens one menu; Down and Enter remove the level's alarm.
    s.go(s.dialog.logic().alarmRoot(), "ns=2;s=Tank.Level");
    menu = s.keyboardMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menuTexts(*menu), (QStringList { "ALARM", "Edit Condition", "Remove Alarm" }));
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(visibleMenu(s.dialog), nullptr);
    EXPECT_EQ(s.dialog.logic().alarmRoot()->childCount(), 1u);
    NodeTreeItem* level = s.dialog.logic().FindTreeItem(s.dialog.logic().objectsRoot(), "ns=2;s=Tank.Level");
    EXPECT_EQ(level->entry().image, static_cast<int>(NodeIcon::VariableWithHistory));
    EXPECT_FALSE(s.tree()->currentIndex().isValid());
    EXPECT_EQ(s.list("attributeList")->rowCount(), 0);

    // Where the first item is disabled, Enter takes the first enabled one.
    s.go(s.dialog.logic().objectsRoot(), "ns=2;s=Tank.Name");
    menu = s.keyboardMenu();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_NE(s.dialog.logic().FindTreeItem(s.dialog.logic().historyRoot(), "ns=2;s=Tank.Name"), nullptr);
    EXPECT_TRUE(s.boxes.shown().empty());
}

TEST(CDlgXmlTreeTest, RightClickOffersWhatTheItemAllows)
{
    Shown s;
    const auto rightClick = [&s](NodeTreeItem* root, const char* idText) {
        const QModelIndex index = s.go(root, idText);
        const QPoint at = s.tree()->visualRect(index).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, s.tree()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(s.tree()->viewport(), &event);
        QMenu* menu = visibleMenu(s.dialog);
        QStringList texts = menu ? menuTexts(*menu) : QStringList { "none" };
        if (menu)
            menu->hide();
        return texts;
    };
    AlarmHistoryTree& logic = s.dialog.logic();
    EXPECT_EQ(rightClick(logic.objectsRoot(), "ns=2;s=Tank.Name"),
        (QStringList { "Objects", "-Add Alarm Event", "Add Historical Data" }));
    EXPECT_EQ(rightClick(logic.objectsRoot(), "ns=2;s=Tank.Level"),
        (QStringList { "Objects", "-Add Alarm Event", "-Add Historical Data" }));
    EXPECT_EQ(rightClick(logic.historyRoot(), "ns=2;s=Tank.Level"), (QStringList { "History", "Remove Historical" }));
    EXPECT_EQ(rightClick(logic.objectsRoot(), "ns=2;s=Tank"), QStringList { "none" });

    // A Boolean alarm needs no limits: no dialog, and its condition shows "---".
    EXPECT_EQ(rightClick(logic.objectsRoot(), "ns=2;s=Tank.Running").value(1), QStringLiteral("Add Alarm Event"));
    finders::action(s.dialog.menuFor(logic.FindTreeItem(logic.objectsRoot(), "ns=2;s=Tank.Running")),
        QStringLiteral("Add Alarm Event"))
        ->trigger();
    s.go(logic.alarmRoot(), "ns=2;s=Tank.Running");
    EXPECT_EQ(rowTexts(*s.list("conditionList")),
        (QStringList { "HighHighLimit|---", "HighLimit|---", "LowLimit|---", "LowLowLimit|---" }));
    EXPECT_EQ(rightClick(logic.alarmRoot(), "ns=2;s=Tank.Running"),
        (QStringList { "ALARM", "-Edit Condition", "Remove Alarm" }));
    EXPECT_TRUE(s.boxes.shown().empty());
}

/// The Node Config page over the plant, as the sheet shows it.
struct PageOnScreen {
    PageOnScreen()
    {
        writeFile(sandbox.dir / "NodeConfig.xml", plantXml());
        const std::string folder = sandbox.dir.path().string() + "/";
        sandbox.setString(ServerKey::kServicePath, std::u16string(folder.begin(), folder.end()));
        page.ensureInitialized();
        page.show();
    }
    QStringList rows() const { return rowTexts3(*page.findChild<QTableWidget*>(QStringLiteral("entryList"))); }
    static QStringList rowTexts3(const QTableWidget& list)
    {
        QStringList rows;
        for (int row = 0; row < list.rowCount(); ++row)
            rows << list.item(row, 1)->text() + "|" + list.item(row, 2)->text();
        return rows;
    }
    std::string document() const
    {
        std::string text;
        EXPECT_EQ(page.configuration().document()->saveXmlMemory(text), 0);
        return text;
    }
    void configure(std::function<void(CDlgXmlTree&)> drive)
    {
        finders::onNextDialog<CDlgXmlTree>(std::move(drive));
        QTest::mouseClick(finders::button<QPushButton>(&page, QStringLiteral("Configure")), Qt::LeftButton);
    }

    UiSandbox sandbox;
    mutable CPgXmlConfigure page { sandbox.boxes, sandbox.fileDialogs, sandbox.stores.machineStore() };
};

void addHistory(CDlgXmlTree& dialog, const char* idText)
{
    AlarmHistoryTree& logic = dialog.logic();
    finders::action(
        dialog.menuFor(logic.FindTreeItem(logic.objectsRoot(), idText)), QStringLiteral("Add Historical Data"))
        ->trigger();
}

TEST(CDlgXmlTreeTest, CancelLeavesTheDocumentTheNodesAndTheLists)
{
    PageOnScreen p;
    const QStringList rows = p.rows();
    EXPECT_EQ(rows, (QStringList { "01|Tank.Level", "02|Tank.Level" }));
    const std::string document = p.document();
    const UaBase::BaseNode* level = p.page.configuration().entries().front()->node;
    p.configure([](CDlgXmlTree& dialog) {
        addHistory(dialog, "ns=2;s=Tank.Total");
        QTest::mouseClick(finders::button<QPushButton>(&dialog, QStringLiteral("Cancel")), Qt::LeftButton);
    });
    EXPECT_EQ(p.rows(), rows);
    EXPECT_EQ(p.document(), document);
    EXPECT_EQ(p.page.configuration().entries().front()->node, level);
    EXPECT_FALSE(p.page.isModified());
    EXPECT_TRUE(p.sandbox.boxes.shown().empty());
}

TEST(CDlgXmlTreeTest, OkEditsTheDocumentAndThePageListsTheResult)
{
    PageOnScreen p;
    p.configure([](CDlgXmlTree& dialog) {
        addHistory(dialog, "ns=2;s=Tank.Total");
        QTest::mouseClick(finders::button<QPushButton>(&dialog, QStringLiteral("OK")), Qt::LeftButton);
    });
    EXPECT_EQ(p.rows(), (QStringList { "01|Tank.Level", "02|Tank.Level", "03|Tank.Total" }));
    EXPECT_TRUE(p.page.isModified());
    EXPECT_NE(p.document().find("NodeId=\"ns=2;s=Tank.Total\" BrowseName=\"2:Total\" DataType=\"i=7\" "
                                "AccessLevel=\"7\" UserAccessLevel=\"7\""),
        std::string::npos);
}

} // namespace
