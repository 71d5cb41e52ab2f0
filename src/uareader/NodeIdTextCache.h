#pragma once

#include "uareader/TextTable.h"
#include "uatypes/UaNodeId.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace UaBase {

/// The node identifiers already resolved from texts during one read of a nodeset (alias
/// names, string identifiers), each distinct text read once: a table of texts. The numeric
/// forms ("i=85", "ns=1;i=5001") need no table: numericKey reads them directly.
class NodeIdTextCache : public TextTable<UaNodeId> {
public:
    /// The namespace index and number of a text of the form "i=N" or "ns=M;i=N" (decimal digits
    /// only, within their ranges) as one key; false for any other text.
    static bool numericKey(std::string_view text, std::uint64_t& key);
    static std::uint16_t namespaceOf(std::uint64_t key) { return static_cast<std::uint16_t>(key >> 32); }
    static std::uint32_t numberOf(std::uint64_t key) { return static_cast<std::uint32_t>(key); }
};

} // namespace UaBase
