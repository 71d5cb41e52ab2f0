#include "nodeconfig/ui/CDlgXmlTree.h"

#include "nodeconfig/NodeConfiguration.h"
#include "nodeconfig/SettingsBlock.h"
#include "nodeconfig/ui/CDlgSetAlarm.h"
#include "nodeconfig/ui/ReportList.h"
#include "nodeconfig/ui/XmlTreeItemModel.h"
#include "uikit/DialogButtons.h"
#include "uikit/MessageBoxes.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <functional>

namespace {

enum Column { AttributeColumn, ValueColumn };

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

/// The tree, with its context menu opened for the item under the mouse or, from the keyboard,
/// for the current item, and Enter offered to the dialog before the default button takes it.
class XmlTreeView final : public QTreeView {
public:
    std::function<void(const QModelIndex&, const QPoint&)> menuRequested;
    std::function<bool(const QModelIndex&)> enterPressed;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        event->accept();
        if (event->reason() == QContextMenuEvent::Keyboard) {
            openMenuOfCurrent();
            return;
        }
        const QModelIndex index = indexAt(event->pos());
        if (!index.isValid())
            return;
        setCurrentIndex(index);
        menuRequested(index, event->globalPos());
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        const bool menuKey
            = event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
        if (menuKey) {
            event->accept();
            openMenuOfCurrent();
            return;
        }
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && event->modifiers() == Qt::NoModifier && enterPressed(currentIndex())) {
            event->accept();
            return;
        }
        QTreeView::keyPressEvent(event);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        // A left click beside the items selects nothing.
        if (event->button() == Qt::LeftButton && !indexAt(event->position().toPoint()).isValid())
            selectionModel()->clear();
        QTreeView::mousePressEvent(event);
    }

private:
    void openMenuOfCurrent()
    {
        const QModelIndex index = currentIndex();
        if (!index.isValid())
            return;
        scrollTo(index);
        menuRequested(index, viewport()->mapToGlobal(visualRect(index).bottomLeft()));
    }
};

QTableWidget* attributeList(const QString& name)
{
    return reportList({ QStringLiteral("Attribute"), QStringLiteral("Value") }, { 120, 200 }, name);
}

void fill(QTableWidget& list, const std::vector<nodeconfig::AttributeRow>& rows)
{
    list.setUpdatesEnabled(false);
    list.setRowCount(0);
    list.setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const nodeconfig::AttributeRow& shown = rows[static_cast<std::size_t>(row)];
        for (const auto& [column, text] :
            { std::pair { AttributeColumn, &shown.attribute }, { ValueColumn, &shown.value } }) {
            auto* cell = new QTableWidgetItem(fromUtf8(*text));
            cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            list.setItem(row, column, cell);
        }
    }
    list.setUpdatesEnabled(true);
}

} // namespace

CDlgXmlTree::CDlgXmlTree(nodeconfig::ConfigureRequest& request, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent)
    , m_boxes(boxes)
    , m_logic(request, *this)
{
    setObjectName(QStringLiteral("CDlgXmlTree"));
    setWindowTitle(QStringLiteral("Alarms & Historical Data"));
    buildView();
    m_logic.Initialise();
    m_tree->expand(m_model->indexOf(m_logic.objectsRoot()));
    enableConditionList(false);
}

CDlgXmlTree::~CDlgXmlTree()
{
    // The view lets go of the model before the logic's tree goes.
    m_tree->setModel(nullptr);
    delete m_model;
}

void CDlgXmlTree::buildView()
{
    auto* view = new XmlTreeView;
    m_tree = view;
    m_tree->setObjectName(QStringLiteral("nodeTree"));
    m_tree->setAccessibleName(QStringLiteral("Nodes"));
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setIconSize(QSize(16, 16));
    m_model = new XmlTreeItemModel(m_logic.tree());
    m_tree->setModel(m_model);
    view->menuRequested = [this](const QModelIndex& index, const QPoint& at) { showMenu(index, at); };
    view->enterPressed = [this](const QModelIndex& index) { return editConditionFromKeyboard(index); };
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (!m_commandRunning)
            m_logic.Select(XmlTreeItemModel::itemOf(current));
    });

    m_attributes = attributeList(QStringLiteral("Node Attributes"));
    m_attributes->setObjectName(QStringLiteral("attributeList"));
    m_condition = attributeList(QStringLiteral("Alarm Condition"));
    m_condition->setObjectName(QStringLiteral("conditionList"));

    auto* nodes = new QGroupBox(QStringLiteral("Node Configuration"));
    auto* nodesLayout = new QHBoxLayout(nodes);
    nodesLayout->addWidget(m_tree, 1);
    nodesLayout->addWidget(m_attributes, 1);
    auto* condition = new QGroupBox(QStringLiteral("Alarm Condition"));
    auto* conditionLayout = new QVBoxLayout(condition);
    conditionLayout->addWidget(m_condition);
    m_condition->setMaximumHeight(m_condition->verticalHeader()->defaultSectionSize() * 5 + 8);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(nodes, 1);
    layout->addWidget(condition);
    layout->addLayout(okCancelRow(this, OkDefault::No));
    resize(760, 560);

    m_objectsMenu = buildMenu("Objects", "objectsMenu");
    m_alarmMenu = buildMenu("ALARM", "alarmMenu");
    m_historyMenu = buildMenu("History", "historyMenu");
}

QMenu* CDlgXmlTree::buildMenu(const char* title, const char* name)
{
    auto* menu = new QMenu(QLatin1String(title), this);
    menu->setObjectName(QLatin1String(name));
    menu->setAccessibleName(QLatin1String(title));
    return menu;
}

QMenu* CDlgXmlTree::menuFor(nodeconfig::NodeTreeItem* item)
{
    const std::optional<nodeconfig::TreeMenu> shown = m_logic.contextMenu(item);
    if (!shown)
        return nullptr;
    QMenu* menu = shown->title == "Objects" ? m_objectsMenu : (shown->title == "ALARM" ? m_alarmMenu : m_historyMenu);
    menu->clear();
    for (const nodeconfig::TreeMenuItem& entry : shown->items) {
        QAction* action = menu->addAction(fromUtf8(entry.text));
        action->setEnabled(entry.enabled);
        const nodeconfig::TreeCommand command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { execute(command); });
    }
    return menu;
}

void CDlgXmlTree::showMenu(const QModelIndex& index, const QPoint& globalPosition)
{
    if (QMenu* menu = menuFor(XmlTreeItemModel::itemOf(index))) {
        // From the keyboard, Enter takes the first item that can be taken.
        for (QAction* action : menu->actions()) {
            if (action->isEnabled()) {
                menu->setActiveAction(action);
                break;
            }
        }
        menu->popup(globalPosition);
    }
}

void CDlgXmlTree::execute(nodeconfig::TreeCommand command)
{
    m_commandRunning = true;
    m_logic.execute(command);
    followSelection();
    m_commandRunning = false;
}

void CDlgXmlTree::followSelection()
{
    // The view's current item is the logic's selected item; a removed item leaves none.
    const QModelIndex selected = m_model->indexOf(m_logic.selectedItem());
    if (selected.isValid())
        m_tree->setCurrentIndex(selected);
    else
        m_tree->selectionModel()->clear();
}

bool CDlgXmlTree::editConditionFromKeyboard(const QModelIndex& index)
{
    nodeconfig::NodeTreeItem* item = XmlTreeItemModel::itemOf(index);
    if (!item || m_logic.RootOf(item) != m_logic.alarmRoot())
        return false;
    // Enter on an alarm does what "Edit Condition" does (nothing where it is disabled).
    m_logic.Select(item);
    execute(nodeconfig::TreeCommand::EditCondition);
    return true;
}

void CDlgXmlTree::accept()
{
    m_logic.ApplyTreeChanges();
    QDialog::accept();
}

void CDlgXmlTree::tellFailure(std::string_view text)
{
    m_boxes.show(nullptr, fromUtf8(text), QStringLiteral("Error"), MbIcon::None, MbButtons::Ok);
}

bool CDlgXmlTree::editAlarmLimits(nodeconfig::AlarmDataType type, nodeconfig::AlarmLimits& limits)
{
    CDlgSetAlarm dialog(static_cast<int>(type), limits, m_boxes, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    limits = dialog.limits();
    return true;
}

void CDlgXmlTree::showAttributes(const std::vector<nodeconfig::AttributeRow>& attributes,
    const std::vector<nodeconfig::AttributeRow>& condition)
{
    fill(*m_attributes, attributes);
    fill(*m_condition, condition);
}

void CDlgXmlTree::enableConditionList(bool enabled) { m_condition->setEnabled(enabled); }
