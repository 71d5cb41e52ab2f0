#pragma once

#include <QString>

class QDialog;
class QHBoxLayout;

/// Whether OK is the dialog's default button, pressed by Enter wherever the focus is.
enum class OkDefault { No, Yes };

/// A dialog's OK and Cancel buttons, to the right of their row: OK accepts `dialog`, Cancel
/// rejects it. The buttons are the dialog's once the row is in its layout, in the focus order
/// of that moment.
QHBoxLayout* okCancelRow(QDialog* dialog,
    OkDefault okDefault = OkDefault::Yes,
    const QString& okCaption = QStringLiteral("OK"),
    const QString& cancelCaption = QStringLiteral("Cancel"));
