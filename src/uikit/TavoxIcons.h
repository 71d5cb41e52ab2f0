#pragma once

#include <QIcon>

/// The icons drawn for the program (resources/icons), by name: "tavox" (the application),
/// "status", "endpoints", "users", "nodeconfig", "database".
namespace TavoxIcons {

QIcon appIcon();
QIcon icon(const char* name);

} // namespace TavoxIcons
