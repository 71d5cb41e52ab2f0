#pragma once

#include "nodeconfig/NodeConfigHost.h"
#include "nodeconfig/NodeConfiguration.h"
#include "nodeconfig/SettingsBlock.h"
#include "support/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nodeconfig {

/// Whether an edit changed the configuration or found it as asked already.
enum class EditEffect { Changed, Unchanged };
using EditResult = support::Result<EditEffect>;

/// The limits an edit gives: a missing one keeps the variable's current text, as a field of the
/// alarm limit dialog that is left alone does; an empty one clears it.
struct LimitChanges {
    std::optional<std::string> highHigh;
    std::optional<std::string> high;
    std::optional<std::string> low;
    std::optional<std::string> lowLow;

    bool any() const { return highHigh || high || low || lowLow; }
};

/// The Node Config page's host when no window shows it: the messages are kept in order,
/// questions get a preset answer and file dialogs a preset file.
class UnattendedHost final : public NodeConfigHost {
public:
    void tell(const UserMessage& message, bool) override { m_told.emplace_back(message.text); }
    bool ask(std::string_view text, std::string_view caption) override;
    std::optional<std::filesystem::path> chooseFile(const FileChoice& choice) override;
    void setPageModified(bool modified) override { (void)modified; }

    void answer(bool yes) { m_answer = yes; }
    void offer(std::optional<std::filesystem::path> file) { m_file = std::move(file); }
    const std::vector<std::string>& told() const { return m_told; }
    /// The messages told since the mark.
    std::size_t mark() const { return m_told.size(); }
    std::optional<std::string> lastSince(std::size_t mark) const;

private:
    std::vector<std::string> m_told;
    std::optional<std::filesystem::path> m_file;
    bool m_answer = false;
};

/// The Node Config page, its Alarms & Historical Data dialog and the alarm limit dialog driven
/// without a window: each edit selects the variable's item in the dialog's tree, runs the
/// context menu command the administrator would choose there, ends the dialog with OK and
/// leaves the page modified; Write then does what the sheet's apply does. Failures carry the
/// message the page or dialog shows, and leave the file untouched.
class NodeConfigEditor {
public:
    explicit NodeConfigEditor(NodeConfigPaths paths);

    /// Loads the server's file as the page does when it opens.
    support::Result<void> Load();

    /// "Add Alarm Event", or "Edit Condition" for a variable that has an alarm, with the limits
    /// checked as the alarm limit dialog checks them: each must be a text that can be typed into
    /// its edit for the variable's type, and OK's checks must pass. Limits out of order are kept
    /// only with `keepOutOfOrder` (the dialog's question answered Yes). A Boolean variable takes
    /// no limits.
    EditResult setAlarm(std::string_view idText, const LimitChanges& limits, bool keepOutOfOrder);
    /// "Remove Alarm".
    EditResult removeAlarm(std::string_view idText);
    /// "Add Historical Data" or "Remove Historical".
    EditResult setHistory(std::string_view idText, bool on);
    /// The "Start Logging" box.
    EditResult setLogging(bool on);

    /// The sheet's apply: writes the file back.
    support::Result<void> Write();
    /// "Import" with `file` chosen, followed by the apply. A file that does not load, or an
    /// apply that fails, leaves the server's file as it was. Where the server has no file yet
    /// (the page would stop without a word), the first import puts one in place.
    support::Result<void> Import(const std::filesystem::path& file);
    /// "Export" to `file`; an existing file is replaced only with `overwrite`.
    support::Result<void> Export(const std::filesystem::path& file, bool overwrite);

    const NodeConfiguration& configuration() const { return m_configuration; }
    const NodeConfigPaths& paths() const { return m_configuration.paths(); }

private:
    support::Result<void> importFirst(const std::filesystem::path& file);
    support::Error toldOr(std::size_t mark, std::string fallback) const;

    UnattendedHost m_host;
    NodeConfiguration m_configuration;
};

/// The variable of the loaded nodes whose identifier text (UaNodeId::toString, as
/// "tavox-nodeset dump" prints it) is `idText`; an error naming the identifier otherwise.
support::Result<const UaBase::BaseNode*> findNodeByText(const UaBase::NodeMap& nodes, std::string_view idText);

/// The limits of the entries that the server would not read as numbers of their variable's
/// type, and alarms whose limits are out of order: one line each, in list order.
std::vector<std::string> limitProblems(const EntryList& entries);

} // namespace nodeconfig
