#include "uikit/Labels.h"

#include <QGridLayout>
#include <QLabel>

QLabel* labelFor(const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption);
    label->setBuddy(buddy);
    return label;
}

void addLabelledRow(QGridLayout* grid, int row, const QString& caption, QWidget* field)
{
    grid->addWidget(labelFor(caption, field), row, 0);
    grid->addWidget(field, row, 1);
}
