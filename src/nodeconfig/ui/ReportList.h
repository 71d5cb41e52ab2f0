#pragma once

#include <QList>
#include <QStringList>

class QTableWidget;

/// A read-only list in report form, as the page and the Alarms & Historical Data dialog show
/// them: whole rows selected one at a time, one line of text a row, the columns `widths` wide
/// (the first may be as narrow as an icon) and the last taking the width the others leave.
QTableWidget* reportList(const QStringList& columns, const QList<int>& widths, const QString& name);
