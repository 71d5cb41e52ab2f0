#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string_view>
#include <vector>

namespace UaBase {

/// Values worked out from texts of the document being read, so that each distinct text is
/// worked out once and all its uses share the result. Texts are kept by view and must outlive
/// the table; values are stored once, at addresses that stay valid for the table's lifetime.
/// Open addressing: tens of thousands of lookups per nodeset, no allocation per entry.
template <class T> class TextTable {
public:
    TextTable()
        : m_slots(kInitialSlots)
    {
    }

    const T* find(std::string_view text) const
    {
        if (text.data() == nullptr) {
            return nullptr;
        }
        const std::uint32_t hash = hashOf(text);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const Slot& candidate = m_slots[slot];
            if (candidate.text == nullptr) {
                return nullptr;
            }
            if (candidate.hash == hash && candidate.length == text.size()
                && std::memcmp(candidate.text, text.data(), text.size()) == 0) {
                return candidate.value;
            }
        }
    }

    /// The value stored for `text`, storing `value` first when there is none.
    const T& insert(std::string_view text, const T& value)
    {
        if (const T* known = find(text)) {
            return *known;
        }
        m_values.push_back(value);
        if (text.data() == nullptr || text.size() > UINT32_MAX) {
            return m_values.back();
        }
        // Grows at three quarters full.
        if ((m_used + 1) * 4 > m_slots.size() * 3) {
            grow();
        }
        place(text, hashOf(text), &m_values.back());
        return m_values.back();
    }

    /// Eight bytes at a time: alias names, browse names and string identifiers run to dozens
    /// of characters.
    static std::uint32_t hashOf(std::string_view text)
    {
        constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
        std::uint64_t hash = text.size() * kMultiplier;
        const char* bytes = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            std::uint64_t word = 0;
            const std::size_t taken = left < sizeof(word) ? left : sizeof(word);
            std::memcpy(&word, bytes, taken);
            hash = (hash ^ word) * kMultiplier;
            hash ^= hash >> 29;
            bytes += taken;
            left -= taken;
        }
        return static_cast<std::uint32_t>(hash ^ (hash >> 32));
    }

private:
    static constexpr std::size_t kInitialSlots = 256;

    struct Slot {
        const char* text = nullptr; // null: free
        std::uint32_t length = 0;
        std::uint32_t hash = 0;
        const T* value = nullptr;
    };

    void place(std::string_view text, std::uint32_t hash, const T* value)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = hash & mask;
        while (m_slots[slot].text != nullptr) {
            slot = (slot + 1) & mask;
        }
        m_slots[slot] = Slot { text.data(), static_cast<std::uint32_t>(text.size()), hash, value };
        ++m_used;
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        m_used = 0;
        for (const Slot& slot : old) {
            if (slot.text != nullptr) {
                place(std::string_view(slot.text, slot.length), slot.hash, slot.value);
            }
        }
    }

    std::deque<T> m_values;
    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

} // namespace UaBase
