#pragma once

class QGridLayout;
class QLabel;
class QString;
class QWidget;

/// A label for the field `buddy`: its mnemonic moves the focus to the field, and assistive
/// technologies name the field by it.
QLabel* labelFor(const QString& caption, QWidget* buddy);
/// Row `row` of a two-column grid: the label for `field` in the first column, the field in the
/// second.
void addLabelledRow(QGridLayout* grid, int row, const QString& caption, QWidget* field);
