#include "uikit/Rows.h"

#include <QHBoxLayout>

QHBoxLayout* leftAlignedRow(std::initializer_list<QWidget*> widgets)
{
    auto* layout = new QHBoxLayout;
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch();
    return layout;
}
