#include "uabase/NodeIdTextCache.h"

namespace UaBase {

namespace {

constexpr std::size_t kInitialSlots = 8192;

/// Reads 1 to `maxDigits` decimal digits up to `max`; advances `text` past them.
bool readNumber(std::string_view& text, std::size_t maxDigits, std::uint64_t max, std::uint64_t& value)
{
    std::size_t count = 0;
    value = 0;
    while (count < text.size() && text[count] >= '0' && text[count] <= '9') {
        if (count == maxDigits) {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(text[count] - '0');
        ++count;
    }
    text.remove_prefix(count);
    return count > 0 && value <= max;
}

} // namespace

NodeIdTextCache::NodeIdTextCache()
    : m_slots(kInitialSlots)
{
    m_texts.reserve(1024);
}

bool NodeIdTextCache::numericKey(std::string_view text, std::uint64_t& key)
{
    std::uint64_t namespaceIndex = 0;
    if (text.starts_with("ns=")) {
        text.remove_prefix(3);
        if (!readNumber(text, 5, 0xFFFF, namespaceIndex) || !text.starts_with(';')) {
            return false;
        }
        text.remove_prefix(1);
    }
    if (!text.starts_with("i=")) {
        return false;
    }
    text.remove_prefix(2);
    std::uint64_t number = 0;
    if (!readNumber(text, 10, 0xFFFFFFFF, number) || !text.empty()) {
        return false;
    }
    key = (namespaceIndex << 32) | number;
    return true;
}

std::size_t NodeIdTextCache::slotOf(std::uint64_t key) const
{
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (m_slots.size() - 1);
}

const UaNodeId* NodeIdTextCache::findNumeric(std::uint64_t key) const
{
    for (std::size_t slot = slotOf(key);; slot = (slot + 1) & (m_slots.size() - 1)) {
        const Slot& candidate = m_slots[slot];
        if (!candidate.used) {
            return nullptr;
        }
        if (candidate.key == key) {
            return &candidate.id;
        }
    }
}

void NodeIdTextCache::insertNumeric(std::uint64_t key, const UaNodeId& id)
{
    if ((m_used + 1) * 2 > m_slots.size()) {
        grow();
    }
    std::size_t slot = slotOf(key);
    while (m_slots[slot].used) {
        if (m_slots[slot].key == key) {
            return;
        }
        slot = (slot + 1) & (m_slots.size() - 1);
    }
    m_slots[slot] = Slot{key, id, true};
    ++m_used;
}

void NodeIdTextCache::grow()
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    m_used = 0;
    for (const Slot& slot : old) {
        if (slot.used) {
            insertNumeric(slot.key, slot.id);
        }
    }
}

const UaNodeId* NodeIdTextCache::findText(std::string_view text) const
{
    auto found = m_texts.find(text);
    return found == m_texts.end() ? nullptr : &found->second;
}

void NodeIdTextCache::insertText(std::string_view text, const UaNodeId& id)
{
    m_texts.emplace(text, id);
}

} // namespace UaBase
