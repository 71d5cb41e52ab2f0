#include "nodeconfig/NodesetEditor.h"

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/SettingsBlock.h"
#include "uanodes/BaseNode.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uatypes/UaString.h"
#include "uatypes/UaWideString.h"
#include "uaxml/UaXmlDocument.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <iterator>

namespace nodeconfig {
namespace {

constexpr const char* kAlarmElement = "Tavox_Alarm";

std::string idTextOf(const UaBase::BaseNode& node) { return node.nodeId().toString().toStdString(); }

/// The page entries on their way through ApplyTreeChanges: the tree's items take them, each
/// the first of its kind and identifier text that is left, found by text rather than by a scan
/// of the list (an OK may pair thousands of items with thousands of entries).
class PageEntries {
public:
    explicit PageEntries(const std::vector<AlarmHistoryEntry*>& entries)
    {
        for (AlarmHistoryEntry* entry : entries) {
            if (!entry || !entry->node)
                continue;
            m_entries.push_back({ entry, idTextOf(*entry->node), false });
            for (const std::uint16_t kind : { kEntryAlarm, kEntryHistory }) {
                if (entry->flags & kind)
                    m_waiting[kind == kEntryAlarm ? 0 : 1][m_entries.back().idText].push_back(m_entries.size() - 1);
            }
        }
    }

    /// Marks the first entry of `kind` with `idText` that is left as kept by the tree.
    void keepFirst(std::uint16_t kind, const std::string& idText)
    {
        auto& waiting = m_waiting[kind == kEntryAlarm ? 0 : 1];
        const auto found = waiting.find(idText);
        if (found == waiting.end())
            return;
        std::deque<std::size_t>& positions = found->second;
        while (!positions.empty() && m_entries[positions.front()].kept)
            positions.pop_front();
        if (positions.empty())
            return;
        m_entries[positions.front()].kept = true;
        positions.pop_front();
    }

    struct Entry {
        AlarmHistoryEntry* entry;
        std::string idText;
        bool kept;
    };
    /// The entries the tree did not keep, in list order.
    std::vector<Entry> left() const
    {
        std::vector<Entry> entries;
        std::copy_if(m_entries.begin(), m_entries.end(), std::back_inserter(entries), [](const Entry& page) {
            return !page.kept;
        });
        return entries;
    }

private:
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::deque<std::size_t>> m_waiting[2];
};

} // namespace

NodesetEditor::NodesetEditor(UaXmlDocument& document)
    : m_document(document)
    , m_resolver(std::make_unique<UaBase::UaNodesetXmlParser>())
{
}

NodesetEditor::~NodesetEditor() = default;

void NodesetEditor::indexElements()
{
    m_indexed = true;
    if (m_document.toRoot() != 0 || m_document.getFirstChild() != 0)
        return;
    do {
        m_lastChild = m_document.currentElement();
        const char* name = m_document.getNodeName();
        if (!name || std::strcmp(name, "UAVariable") != 0)
            continue;
        char* nodeId = nullptr;
        if (m_document.getAttributeValue("NodeId", nodeId) == 0 && nodeId) {
            const UaNodeId id = m_resolver->resolveNodeId(UaWideString(nodeId));
            // The first element of a text is the one the search in document order finds.
            m_elements.emplace(id.toString().toStdString(), m_lastChild);
        }
        UaXmlDocument::freeXmlString(nodeId);
    } while (m_document.getFollowingSibling() == 0);
}

bool NodesetEditor::FindVariableElement(std::string_view idText)
{
    if (!m_indexed)
        indexElements();
    const auto found = m_elements.find(std::string(idText));
    if (found != m_elements.end())
        return m_document.moveTo(found->second) == 0;
    if (m_lastChild)
        m_document.moveTo(m_lastChild);
    return false;
}

void NodesetEditor::SetAlarmElement(const UaBase::BaseNode* node, std::string_view alarm, const AlarmLimits& limits)
{
    if (!node || !FindVariableElement(idTextOf(*node)))
        return;
    static constexpr std::array<const char*, 5> kNames
        = { "Alarm", "AlarmLimit_HH", "AlarmLimit_H", "AlarmLimit_L", "AlarmLimit_LL" };
    const std::array<std::string, 5> values
        = { std::string(alarm), limits.highHigh, limits.high, limits.low, limits.lowLow };
    if (m_document.getChild(kAlarmElement) != 0) {
        if (m_document.addChild(kAlarmElement, nullptr) != 0)
            return;
        for (std::size_t i = 0; i < kNames.size(); ++i)
            m_document.addAttribute(kNames[i], values[i].c_str());
        return;
    }
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (m_document.setAttributeValue(kNames[i], values[i].c_str()) != 0)
            m_document.addAttribute(kNames[i], values[i].c_str());
    }
}

bool NodesetEditor::removeAlarmElement(std::string_view idText)
{
    return FindVariableElement(idText) && m_document.getChild(kAlarmElement) == 0 && m_document.removeCurrent() == 0;
}

bool NodesetEditor::setAccessLevels(std::string_view idText, const char* level)
{
    return FindVariableElement(idText) && m_document.setAttributeValue("AccessLevel", level) == 0
        && m_document.setAttributeValue("UserAccessLevel", level) == 0;
}

void ApplyTreeChanges(UaXmlDocument& document,
    const std::vector<const AlarmHistoryEntry*>& alarms,
    const std::vector<const AlarmHistoryEntry*>& histories,
    std::vector<AlarmHistoryEntry*>& pageEntries)
{
    NodesetEditor editor(document);
    PageEntries page(pageEntries);
    for (const AlarmHistoryEntry* alarm : alarms) {
        const std::string idText = idTextOf(*alarm->node);
        if (editor.FindVariableElement(idText))
            editor.SetAlarmElement(
                alarm->node, "true", { alarm->highHighLimit, alarm->highLimit, alarm->lowLimit, alarm->lowLowLimit });
        page.keepFirst(kEntryAlarm, idText);
    }
    for (const AlarmHistoryEntry* history : histories) {
        const std::string idText = idTextOf(*history->node);
        editor.setAccessLevels(idText, "7");
        page.keepFirst(kEntryHistory, idText);
    }
    const std::vector<PageEntries::Entry> left = page.left();
    pageEntries.clear();
    for (const PageEntries::Entry& removed : left)
        pageEntries.push_back(removed.entry);
    // What is left the user removed.
    for (auto removed = left.rbegin(); removed != left.rend(); ++removed) {
        if (removed->entry->isAlarm())
            editor.removeAlarmElement(removed->idText);
        else if (removed->entry->isHistory())
            editor.setAccessLevels(removed->idText, "3");
    }
}

} // namespace nodeconfig
