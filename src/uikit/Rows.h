#pragma once

#include <initializer_list>

class QHBoxLayout;
class QWidget;

/// The widgets side by side from the left of a row; the rest of the row stays empty.
QHBoxLayout* leftAlignedRow(std::initializer_list<QWidget*> widgets);
