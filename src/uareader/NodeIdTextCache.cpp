#include "uareader/NodeIdTextCache.h"

namespace UaBase {

namespace {

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

} // namespace UaBase
