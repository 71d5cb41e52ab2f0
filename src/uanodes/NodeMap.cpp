#include "uanodes/NodeMap.h"

#include <algorithm>

namespace UaBase {

namespace {

constexpr std::size_t kFirstIndexSize = 64;

bool entryBefore(const NodeMap::Entry& a, const NodeMap::Entry& b)
{
    const UaNodeId& x = a.first;
    const UaNodeId& y = b.first;
    // Numeric identifiers, nearly all of a nodeset, are told apart without a call.
    if (x.identifierType() == UaIdentifierType::Numeric && y.identifierType() == UaIdentifierType::Numeric) {
        if (x.namespaceIndex() != y.namespaceIndex())
            return x.namespaceIndex() < y.namespaceIndex();
        return x.identifierNumeric() < y.identifierNumeric();
    }
    return x < y;
}

} // namespace

NodeMap::NodeMap(NodeMap&& other) noexcept
    : m_entries(std::move(other.m_entries))
    , m_sorted(other.m_sorted)
    , m_index(std::move(other.m_index))
{
    other.m_entries.clear();
    other.m_index.clear();
    other.m_sorted = true;
}

NodeMap& NodeMap::operator=(NodeMap&& other) noexcept
{
    if (this != &other) {
        m_entries = std::move(other.m_entries);
        m_sorted = other.m_sorted;
        m_index = std::move(other.m_index);
        other.m_entries.clear();
        other.m_index.clear();
        other.m_sorted = true;
    }
    return *this;
}

NodeMap::~NodeMap() = default;

std::size_t NodeMap::findSlot(const UaNodeId& nodeId) const
{
    const std::size_t mask = m_index.size() - 1;
    std::size_t slot = nodeId.hash() & mask;
    while (m_index[slot].node != nullptr && !(m_index[slot].key == nodeId)) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

void NodeMap::growIndex()
{
    std::vector<Slot> old = std::move(m_index);
    m_index.assign(old.empty() ? kFirstIndexSize : old.size() * 2, Slot());
    for (Slot& entry : old) {
        if (entry.node != nullptr) {
            m_index[findSlot(entry.key)] = std::move(entry);
        }
    }
}

bool NodeMap::insert(std::unique_ptr<BaseNode> node)
{
    if (!node) {
        return false;
    }
    if ((m_entries.size() + 1) * 2 > m_index.size()) {
        growIndex();
    }
    UaNodeId nodeId = node->nodeId();
    const std::size_t slot = findSlot(nodeId);
    if (m_index[slot].node != nullptr) {
        return false;
    }
    m_index[slot] = Slot { nodeId, node.get() };
    // Nodes read in identifier order keep the list in order as it grows.
    if (m_sorted && !m_entries.empty() && nodeId < m_entries.back().first) {
        m_sorted = false;
    }
    m_entries.emplace_back(std::move(nodeId), std::move(node));
    return true;
}

BaseNode* NodeMap::find(const UaNodeId& nodeId) const
{
    if (m_index.empty()) {
        return nullptr;
    }
    return m_index[findSlot(nodeId)].node;
}

void NodeMap::removeFromIndex(std::size_t slot)
{
    // Backward-shift deletion: entries after the freed slot that would no longer be found move
    // up, so that lookups never need markers for removed entries.
    const std::size_t mask = m_index.size() - 1;
    std::size_t hole = slot;
    std::size_t next = (hole + 1) & mask;
    while (m_index[next].node != nullptr) {
        const std::size_t home = m_index[next].key.hash() & mask;
        // Moves when its home is not within (hole, next], cyclically.
        const bool stays = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
        if (!stays) {
            m_index[hole] = std::move(m_index[next]);
            hole = next;
        }
        next = (next + 1) & mask;
    }
    m_index[hole] = Slot();
}

std::size_t NodeMap::position(const UaNodeId& nodeId) const
{
    if (m_sorted) {
        auto it
            = std::lower_bound(m_entries.begin(), m_entries.end(), nodeId, [](const Entry& entry, const UaNodeId& id) {
                  return entry.first < id;
              });
        return static_cast<std::size_t>(it - m_entries.begin());
    }
    auto it = std::find_if(
        m_entries.begin(), m_entries.end(), [&nodeId](const Entry& entry) { return entry.first == nodeId; });
    return static_cast<std::size_t>(it - m_entries.begin());
}

std::unique_ptr<BaseNode> NodeMap::take(const UaNodeId& nodeId)
{
    if (m_index.empty()) {
        return nullptr;
    }
    const std::size_t slot = findSlot(nodeId);
    if (m_index[slot].node == nullptr) {
        return nullptr;
    }
    removeFromIndex(slot);
    const std::size_t at = position(nodeId);
    std::unique_ptr<BaseNode> node = std::move(m_entries[at].second);
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(at));
    return node;
}

bool NodeMap::erase(const UaNodeId& nodeId) { return take(nodeId) != nullptr; }

void NodeMap::clear()
{
    m_index.clear();
    m_entries.clear();
    m_sorted = true;
}

void NodeMap::sortEntries() const
{
    std::sort(m_entries.begin(), m_entries.end(), entryBefore);
    m_sorted = true;
}

NodeMap::const_iterator NodeMap::begin() const
{
    if (!m_sorted) {
        sortEntries();
    }
    return m_entries.begin();
}

} // namespace UaBase
