#include "nodeconfig/NodesetEditor.h"

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/SettingsBlock.h"
#include "uabase/BaseNode.h"
#include "uabase/UaNodesetXmlParser.h"
#include "uabase/UaString.h"
#include "uabase/UaWideString.h"
#include "uabase/UaXmlDocument.h"

#include <array>
#include <cstring>

namespace nodeconfig {
namespace {

constexpr const char* kAlarmElement = "Tavox_Alarm";

std::string idTextOf(const UaBase::BaseNode& node) { return node.nodeId().toString().toStdString(); }

/// A page entry on its way through ApplyTreeChanges.
struct PageEntry {
    AlarmHistoryEntry* entry;
    std::string idText;
    bool kept;
};

/// Takes the first page entry of `kind` with `idText` out of the ones left.
void keepFirst(std::vector<PageEntry>& entries, std::uint16_t kind, const std::string& idText)
{
    for (PageEntry& page : entries) {
        if (!page.kept && (page.entry->flags & kind) != 0 && page.idText == idText) {
            page.kept = true;
            return;
        }
    }
}

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
        = {"Alarm", "AlarmLimit_HH", "AlarmLimit_H", "AlarmLimit_L", "AlarmLimit_LL"};
    const std::array<std::string, 5> values
        = {std::string(alarm), limits.highHigh, limits.high, limits.low, limits.lowLow};
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

bool NodesetEditor::RemoveAlarmElement(std::string_view idText)
{
    return FindVariableElement(idText) && m_document.getChild(kAlarmElement) == 0 && m_document.removeCurrent() == 0;
}

bool NodesetEditor::SetAccessLevels(std::string_view idText, const char* level)
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
    std::vector<PageEntry> left;
    left.reserve(pageEntries.size());
    for (AlarmHistoryEntry* entry : pageEntries) {
        if (entry && entry->node)
            left.push_back({entry, idTextOf(*entry->node), false});
    }
    for (const AlarmHistoryEntry* alarm : alarms) {
        const std::string idText = idTextOf(*alarm->node);
        if (editor.FindVariableElement(idText))
            editor.SetAlarmElement(alarm->node, "true",
                {alarm->highHighLimit, alarm->highLimit, alarm->lowLimit, alarm->lowLowLimit});
        keepFirst(left, kEntryAlarm, idText);
    }
    for (const AlarmHistoryEntry* history : histories) {
        const std::string idText = idTextOf(*history->node);
        editor.SetAccessLevels(idText, "7");
        keepFirst(left, kEntryHistory, idText);
    }
    std::erase_if(left, [](const PageEntry& page) { return page.kept; });
    pageEntries.clear();
    for (const PageEntry& page : left)
        pageEntries.push_back(page.entry);
    // What is left the user removed.
    for (auto page = left.rbegin(); page != left.rend(); ++page) {
        if (page->entry->isAlarm())
            editor.RemoveAlarmElement(page->idText);
        else if (page->entry->isHistory())
            editor.SetAccessLevels(page->idText, "3");
    }
}

} // namespace nodeconfig
