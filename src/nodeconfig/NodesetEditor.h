#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class UaXmlDocument;
struct _xmlNode;

namespace UaBase {
class BaseNode;
class UaNodesetXmlParser;
} // namespace UaBase

namespace nodeconfig {

struct AlarmHistoryEntry;
struct AlarmLimits;

/// The edits that the Alarms & Historical Data dialog makes on the loaded nodeset when it ends
/// with OK: a variable's `Tavox_Alarm` child element, and its access levels for historical
/// logging. A variable's element is the first `UAVariable` child of the root whose "NodeId",
/// read as written (no aliases, no namespace table) and printed again, is the variable's
/// identifier text. Nothing is reported: what cannot be edited is skipped.
///
/// The elements are indexed by identifier text at the first search. The index stays right for
/// the editor's own edits, which change the children and attributes of `UAVariable` elements
/// but never a "NodeId" or the root's children; other changes to the document need a new editor.
class NodesetEditor {
public:
    explicit NodesetEditor(UaXmlDocument& document);
    ~NodesetEditor();
    NodesetEditor(const NodesetEditor&) = delete;
    NodesetEditor& operator=(const NodesetEditor&) = delete;

    /// Moves the document's cursor to the variable's element; false when there is none (the
    /// cursor is then on the root's last child element).
    bool FindVariableElement(std::string_view idText);
    /// Writes the node's `Tavox_Alarm` child: a new one last with "Alarm", "AlarmLimit_HH",
    /// "AlarmLimit_H", "AlarmLimit_L" and "AlarmLimit_LL" in this order, or the values of an
    /// existing one replaced in place (a missing attribute added at its end).
    void SetAlarmElement(const UaBase::BaseNode* node, std::string_view alarm, const AlarmLimits& limits);
    /// Removes the first `Tavox_Alarm` child of the variable's element with all inside it.
    bool removeAlarmElement(std::string_view idText);
    /// Sets "AccessLevel" and then, when that worked, "UserAccessLevel" of the variable's
    /// element to `level`, whatever they held.
    bool setAccessLevels(std::string_view idText, const char* level);

private:
    void indexElements();

    UaXmlDocument& m_document;
    // The dialog's own reader, with no aliases and no namespace table: texts read as written.
    std::unique_ptr<UaBase::UaNodesetXmlParser> m_resolver;
    std::unordered_map<std::string, _xmlNode*> m_elements;
    _xmlNode* m_lastChild = nullptr;
    bool m_indexed = false;
};

/// The OK step of the dialog: writes the alarms (`alarms`, the items under the alarm root in
/// tree order) and the historical logging (`histories`) to the document, each taking the first
/// page entry of its kind and identifier out of `pageEntries`; what is left of those are the
/// alarms and histories the user removed, taken from the document from the last to the first.
void ApplyTreeChanges(UaXmlDocument& document,
    const std::vector<const AlarmHistoryEntry*>& alarms,
    const std::vector<const AlarmHistoryEntry*>& histories,
    std::vector<AlarmHistoryEntry*>& pageEntries);

} // namespace nodeconfig
