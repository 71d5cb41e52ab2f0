#pragma once

#include "nodeconfig/AlarmHistoryTree.h"

#include <QDialog>

class MessageBoxes;
class QMenu;
class QTableWidget;
class QTreeView;
class XmlTreeItemModel;

namespace nodeconfig {
struct ConfigureRequest;
}

/// The "Alarms & Historical Data" dialog that "Configure" opens: the address space of the node
/// configuration as a tree, the attributes of the selected node, the limits of a selected alarm,
/// and the context menus that add and remove alarms and historical logging. A thin view over
/// nodeconfig::AlarmHistoryTree: all changes stay in the tree until OK writes them to the
/// page's document; Cancel leaves the document untouched.
///
/// From the keyboard: the arrows move through the tree, the context-menu key or Shift+F10
/// opens the menu of the current item, Enter on an alarm edits its condition.
class CDlgXmlTree : public QDialog, private nodeconfig::XmlTreeHost {
    Q_OBJECT

public:
    CDlgXmlTree(nodeconfig::ConfigureRequest& request, MessageBoxes& boxes, QWidget* parent = nullptr);
    ~CDlgXmlTree() override;

    nodeconfig::AlarmHistoryTree& logic() { return m_logic; }
    /// The menu of `item` as the context menu shows it, with its items enabled as they apply;
    /// null for an item without a menu. The item becomes the selected one.
    QMenu* menuFor(nodeconfig::NodeTreeItem* item);

public slots:
    /// OK: the tree is written to the document, then the dialog ends.
    void accept() override;

private:
    void buildView();
    QMenu* buildMenu(const char* title, const char* name);
    void showMenu(const QModelIndex& index, const QPoint& globalPosition);
    void execute(nodeconfig::TreeCommand command);
    void followSelection();
    bool editConditionFromKeyboard(const QModelIndex& index);

    // The logic's side of the dialog.
    void tellFailure(std::string_view text) override;
    bool editAlarmLimits(nodeconfig::AlarmDataType type, nodeconfig::AlarmLimits& limits) override;
    void showAttributes(const std::vector<nodeconfig::AttributeRow>& attributes,
        const std::vector<nodeconfig::AttributeRow>& condition) override;
    void enableConditionList(bool enabled) override;

    MessageBoxes& m_boxes;
    nodeconfig::AlarmHistoryTree m_logic;
    XmlTreeItemModel* m_model = nullptr;
    QTreeView* m_tree = nullptr;
    QTableWidget* m_attributes = nullptr;
    QTableWidget* m_condition = nullptr;
    QMenu* m_objectsMenu = nullptr;
    QMenu* m_alarmMenu = nullptr;
    QMenu* m_historyMenu = nullptr;
    // While a command changes the tree, the view's own moves of its current item are not
    // selections of the user.
    bool m_commandRunning = false;
};
