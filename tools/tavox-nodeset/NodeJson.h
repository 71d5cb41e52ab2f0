#pragma once

#include <nlohmann/json.hpp>

namespace UaBase {
class BaseNode;
}

/// One node as the JSON object of `tavox-nodeset dump`: identity, names, parent, references,
/// then the attributes of its node class.
nlohmann::ordered_json nodeToJson(const UaBase::BaseNode& node);

/// The node class name ("Object", "Variable", ...).
const char* nodeClassName(const UaBase::BaseNode& node);
