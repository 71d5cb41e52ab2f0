#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

/// What the header strip shows above one page: one item per page, at the page's index.
struct tagCPropSheetItem {
    QIcon hIcon;
    QString title;
    QString description;
    QColor background;
    /// 0 left, 1 centred, 2 right; any other value is shown as left.
    int alignment = 0;
};
