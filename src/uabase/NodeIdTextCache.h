#pragma once

#include "uabase/UaNodeId.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace UaBase {

/// The node identifiers already resolved from texts during one read of a nodeset, so that
/// each distinct text is read once and all its uses share one representation. The common
/// numeric forms ("i=85", "ns=1;i=5001") are kept by their numbers in an open-addressing
/// table; other texts by a view of the text, which must outlive the cache.
class NodeIdTextCache {
public:
    NodeIdTextCache();

    /// The namespace index and number of a text of the form "i=N" or "ns=M;i=N" (decimal digits
    /// only, within their ranges) as one key; false for any other text.
    static bool numericKey(std::string_view text, std::uint64_t& key);
    static std::uint16_t namespaceOf(std::uint64_t key) { return static_cast<std::uint16_t>(key >> 32); }
    static std::uint32_t numberOf(std::uint64_t key) { return static_cast<std::uint32_t>(key); }

    const UaNodeId* findNumeric(std::uint64_t key) const;
    void insertNumeric(std::uint64_t key, const UaNodeId& id);

    const UaNodeId* findText(std::string_view text) const;
    void insertText(std::string_view text, const UaNodeId& id);

private:
    struct Slot {
        std::uint64_t key = 0;
        UaNodeId id;
        bool used = false;
    };

    std::size_t slotOf(std::uint64_t key) const;
    void grow();

    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
    std::unordered_map<std::string_view, UaNodeId> m_texts;
};

} // namespace UaBase
