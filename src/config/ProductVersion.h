#pragma once

#include <string_view>

/// The product's version as the About dialog and every program's --version show it.
inline constexpr std::string_view kProductVersionText = "Tavox Utility, Version 1.20.037";
