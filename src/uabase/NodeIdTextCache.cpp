#include "uabase/NodeIdTextCache.h"

#include <cstring>

namespace UaBase {

namespace {

constexpr std::size_t kInitialTextSlots = 256;

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

/// Tables grow at three quarters full.
bool isCrowded(std::size_t used, std::size_t size)
{
    return (used + 1) * 4 > size * 3;
}

} // namespace

NodeIdTextCache::NodeIdTextCache()
    : m_texts(kInitialTextSlots)
{
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

const UaNodeId& NodeIdTextCache::keep(const UaNodeId& id)
{
    m_ids.push_back(id);
    return m_ids.back();
}

std::uint32_t NodeIdTextCache::hashOf(std::string_view text)
{
    // Eight bytes at a time: alias names and string identifiers run to dozens of characters.
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

const UaNodeId* NodeIdTextCache::findText(std::string_view text) const
{
    const std::uint32_t hash = hashOf(text);
    const std::size_t mask = m_texts.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const TextSlot& candidate = m_texts[slot];
        if (candidate.text == nullptr) {
            return nullptr;
        }
        if (candidate.hash == hash && candidate.length == text.size() &&
            std::memcmp(candidate.text, text.data(), text.size()) == 0) {
            return candidate.id;
        }
    }
}

const UaNodeId& NodeIdTextCache::insertText(std::string_view text, const UaNodeId& id)
{
    if (text.data() == nullptr || text.size() > UINT32_MAX) {
        return keep(id);
    }
    if (const UaNodeId* known = findText(text)) {
        return *known;
    }
    if (isCrowded(m_textsUsed, m_texts.size())) {
        growText();
    }
    const UaNodeId& stored = keep(id);
    placeText(text, hashOf(text), &stored);
    return stored;
}

void NodeIdTextCache::placeText(std::string_view text, std::uint32_t hash, const UaNodeId* id)
{
    const std::size_t mask = m_texts.size() - 1;
    std::size_t slot = hash & mask;
    while (m_texts[slot].text != nullptr) {
        slot = (slot + 1) & mask;
    }
    m_texts[slot] = TextSlot{text.data(), static_cast<std::uint32_t>(text.size()), hash, id};
    ++m_textsUsed;
}

void NodeIdTextCache::growText()
{
    std::vector<TextSlot> old(m_texts.size() * 2);
    old.swap(m_texts);
    m_textsUsed = 0;
    for (const TextSlot& slot : old) {
        if (slot.text != nullptr) {
            placeText(std::string_view(slot.text, slot.length), slot.hash, slot.id);
        }
    }
}

} // namespace UaBase
