#pragma once

#include "nodeconfig/NodeTree.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <vector>

/// The Alarms & Historical Data tree as a Qt item model: one column, the item's display name and
/// its icon from the strip of node icons, supplied when the view asks. It follows every change
/// of the tree through the tree's listener.
class XmlTreeItemModel final : public QAbstractItemModel, private nodeconfig::NodeTreeListener {
    Q_OBJECT

public:
    explicit XmlTreeItemModel(nodeconfig::NodeTree& tree, QObject* parent = nullptr);
    ~XmlTreeItemModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    /// The index of `item`; invalid for null.
    QModelIndex indexOf(const nodeconfig::NodeTreeItem* item) const;
    static nodeconfig::NodeTreeItem* itemOf(const QModelIndex& index);

private:
    void aboutToReset() override { beginResetModel(); }
    void reset() override { endResetModel(); }
    void aboutToInsert(const nodeconfig::NodeTreeItem* parent, std::size_t row) override;
    void inserted() override { endInsertRows(); }
    void aboutToRemove(const nodeconfig::NodeTreeItem& item) override;
    void removed() override { endRemoveRows(); }
    void imageChanged(const nodeconfig::NodeTreeItem& item) override;

    nodeconfig::NodeTree& m_tree;
    std::vector<QIcon> m_icons;
};
