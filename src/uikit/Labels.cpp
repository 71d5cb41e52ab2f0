#include "uikit/Labels.h"

#include <QLabel>

QLabel* labelFor(const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption);
    label->setBuddy(buddy);
    return label;
}
