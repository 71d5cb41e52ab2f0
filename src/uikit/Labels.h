#pragma once

class QLabel;
class QString;
class QWidget;

/// A label for the field `buddy`: its mnemonic moves the focus to the field, and assistive
/// technologies name the field by it.
QLabel* labelFor(const QString& caption, QWidget* buddy);
