#pragma once

#include "uabase/UaNodeId.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

namespace UaBase {

/// The node identifiers already resolved from texts during one read of a nodeset, so that
/// each distinct text (alias name, string identifier) is read once and all its uses share one
/// representation. Texts are kept by view and must outlive the cache; identifiers are stored
/// once, at addresses that stay valid for the cache's lifetime. The table uses open
/// addressing: tens of thousands of lookups per nodeset, no allocation per entry. The numeric
/// forms ("i=85", "ns=1;i=5001") need no table: numericKey reads them directly.
class NodeIdTextCache {
public:
    NodeIdTextCache();

    /// The namespace index and number of a text of the form "i=N" or "ns=M;i=N" (decimal digits
    /// only, within their ranges) as one key; false for any other text.
    static bool numericKey(std::string_view text, std::uint64_t& key);
    static std::uint16_t namespaceOf(std::uint64_t key) { return static_cast<std::uint16_t>(key >> 32); }
    static std::uint32_t numberOf(std::uint64_t key) { return static_cast<std::uint32_t>(key); }

    const UaNodeId* findText(std::string_view text) const;
    const UaNodeId& insertText(std::string_view text, const UaNodeId& id);

private:
    struct TextSlot {
        const char* text = nullptr; // null: free
        std::uint32_t length = 0;
        std::uint32_t hash = 0;
        const UaNodeId* id = nullptr;
    };

    static std::uint32_t hashOf(std::string_view text);
    void placeText(std::string_view text, std::uint32_t hash, const UaNodeId* id);
    void growText();
    const UaNodeId& keep(const UaNodeId& id);

    std::deque<UaNodeId> m_ids;
    std::vector<TextSlot> m_texts;
    std::size_t m_textsUsed = 0;
};

} // namespace UaBase
