#include "uikit/CheckBoxes.h"

#include <QAbstractButton>
#include <QSignalBlocker>

namespace checkboxes {

void showChecked(QAbstractButton* box, bool checked)
{
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
}

} // namespace checkboxes
