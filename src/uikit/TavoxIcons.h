#pragma once

#include <QIcon>

/// The icons drawn for the program (resources/icons), by name: "tavox" (the application),
/// "status", "endpoints", "users", "nodeconfig", "database".
namespace tavox_icons {

QIcon appIcon();
QIcon icon(const char* name);
/// Icon `index` (0 to 13) of the strip of 16 x 16 node icons shared by the Node Config page's
/// list and the Alarms & Historical Data tree (nodeconfig::NodeIcon); a null icon outside it.
QIcon nodeIcon(int index);

} // namespace tavox_icons
