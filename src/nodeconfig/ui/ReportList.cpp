#include "nodeconfig/ui/ReportList.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableWidget>

QTableWidget* reportList(const QStringList& columns, const QList<int>& widths, const QString& name)
{
    auto* list = new QTableWidget(0, static_cast<int>(columns.size()));
    list->setHorizontalHeaderLabels(columns);
    list->setAccessibleName(name);
    list->verticalHeader()->hide();
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setIconSize(QSize(16, 16));
    list->setWordWrap(false);
    // The icon column is narrower than the style's smallest section.
    list->horizontalHeader()->setMinimumSectionSize(16);
    for (int column = 0; column < widths.size(); ++column)
        list->setColumnWidth(column, widths[column]);
    // The last column takes the client width the others leave, as the page widens it.
    list->horizontalHeader()->setSectionResizeMode(static_cast<int>(columns.size()) - 1, QHeaderView::Stretch);
    // Report rows: one line of text each.
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    return list;
}
