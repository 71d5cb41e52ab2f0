#pragma once

#include "AdminTool.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace admin {

/// The machine-readable answer of a show or list command: one JSON document on standard
/// output, its keys in a fixed order, text that is no UTF-8 replaced rather than refused.
inline void printJson(const Streams& io, const nlohmann::ordered_json& document)
{
    io.out << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

} // namespace admin
