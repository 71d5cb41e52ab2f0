#include "nodeconfig/ui/XmlTreeItemModel.h"

#include "uatypes/UaString.h"
#include "uikit/TavoxIcons.h"

namespace {

/// What each icon of the strip stands for, read out by assistive technologies.
QString iconMeaning(std::int32_t image)
{
    static const char* const kMeanings[nodeconfig::kNodeIconCount] = { "Folder",
        "Object",
        "Variable",
        "Method",
        "Object type",
        "Variable type",
        "Reference type",
        "Data type",
        "View",
        "Alarm",
        "Historical data",
        "Variable with alarm",
        "Variable with historical data",
        "Variable with alarm and historical data" };
    return image >= 0 && image < nodeconfig::kNodeIconCount ? QString::fromLatin1(kMeanings[image]) : QString();
}

} // namespace

XmlTreeItemModel::XmlTreeItemModel(nodeconfig::NodeTree& tree, QObject* parent)
    : QAbstractItemModel(parent)
    , m_tree(tree)
{
    for (int i = 0; i < nodeconfig::kNodeIconCount; ++i)
        m_icons.push_back(tavox_icons::nodeIcon(i));
    m_tree.setListener(this);
}

XmlTreeItemModel::~XmlTreeItemModel() { m_tree.setListener(nullptr); }

QModelIndex XmlTreeItemModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    const nodeconfig::NodeTreeItem* above = itemOf(parent);
    const auto at = static_cast<std::size_t>(row);
    return indexOf(above ? above->child(at) : m_tree.root(at));
}

QModelIndex XmlTreeItemModel::parent(const QModelIndex& child) const
{
    const nodeconfig::NodeTreeItem* item = itemOf(child);
    return item ? indexOf(item->parent()) : QModelIndex();
}

int XmlTreeItemModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const nodeconfig::NodeTreeItem* item = itemOf(parent);
    return static_cast<int>(item ? item->childCount() : m_tree.rootCount());
}

int XmlTreeItemModel::columnCount(const QModelIndex&) const { return 1; }

QVariant XmlTreeItemModel::data(const QModelIndex& index, int role) const
{
    const nodeconfig::NodeTreeItem* item = itemOf(index);
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const UaString text = item->text();
        return QString::fromUtf8(text.view().data(), static_cast<qsizetype>(text.view().size()));
    }
    case Qt::DecorationRole: {
        const std::int32_t image = item->entry().image;
        return image >= 0 && image < nodeconfig::kNodeIconCount ? m_icons[static_cast<std::size_t>(image)] : QIcon();
    }
    case Qt::AccessibleDescriptionRole:
        return iconMeaning(item->entry().image);
    default:
        return {};
    }
}

QModelIndex XmlTreeItemModel::indexOf(const nodeconfig::NodeTreeItem* item) const
{
    if (!item)
        return {};
    return createIndex(static_cast<int>(item->row()), 0, const_cast<nodeconfig::NodeTreeItem*>(item));
}

nodeconfig::NodeTreeItem* XmlTreeItemModel::itemOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<nodeconfig::NodeTreeItem*>(index.internalPointer()) : nullptr;
}

void XmlTreeItemModel::aboutToInsert(const nodeconfig::NodeTreeItem* parent, std::size_t row)
{
    beginInsertRows(indexOf(parent), static_cast<int>(row), static_cast<int>(row));
}

void XmlTreeItemModel::aboutToRemove(const nodeconfig::NodeTreeItem& item)
{
    const int row = static_cast<int>(item.row());
    beginRemoveRows(indexOf(item.parent()), row, row);
}

void XmlTreeItemModel::imageChanged(const nodeconfig::NodeTreeItem& item)
{
    const QModelIndex at = indexOf(&item);
    emit dataChanged(at, at, { Qt::DecorationRole, Qt::AccessibleDescriptionRole });
}
