#pragma once

class QAbstractButton;

/// The pages' check boxes. The user changes a box with the mouse, the Space key or an assistive
/// technology's toggle action, and that action toggles the box without any click: the pages take
/// a box's changes from its `toggled` signal, and show what the stores hold with showChecked,
/// which is no change of the user's.
namespace checkboxes {

/// Checks or clears the box without signalling a change.
void showChecked(QAbstractButton* box, bool checked);

} // namespace checkboxes
