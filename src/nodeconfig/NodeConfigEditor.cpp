#include "nodeconfig/NodeConfigEditor.h"

#include "nodeconfig/AlarmHistoryTree.h"
#include "nodeconfig/AlarmLimitInput.h"
#include "nodeconfig/NodeConfigFiles.h"
#include "support/TextCodec.h"
#include "uanodes/NodeMap.h"
#include "uanodes/Variable.h"
#include "uatypes/UaString.h"

#include <functional>
#include <utility>

namespace nodeconfig {
namespace {

using support::Error;
using support::ErrorKind;

std::string inQuotes(std::string_view text)
{
    // Appended: GCC 12 misreads "\"" + string as overlapping copies (-Wrestrict).
    std::string quoted = "\"";
    quoted += text;
    quoted += '"';
    return quoted;
}

const UaBase::Variable* asVariable(const UaBase::BaseNode* node)
{
    return node && node->nodeClass() == UaBase::NodeClass::Variable ? static_cast<const UaBase::Variable*>(node)
                                                                    : nullptr;
}

/// What may be typed into a limit edit of the type, for the message of a refused limit.
std::string_view typedCharacters(AlarmDataType type)
{
    switch (type) {
    case AlarmDataType::UInt16:
    case AlarmDataType::UInt32:
    case AlarmDataType::UInt64:
        return "digits only";
    case AlarmDataType::Float:
    case AlarmDataType::Double:
        return "digits, a leading \"-\" and one \".\" after a digit";
    default:
        return "digits and a leading \"-\"";
    }
}

/// The alarm limit dialog answered from the given limits: they are typed into its four edits
/// over the current texts and OK is pressed. A refusal is kept as the error of the edit.
class LimitDialog final : public XmlTreeHost {
public:
    LimitDialog(const LimitChanges& changes, bool keepOutOfOrder)
        : m_changes(changes)
        , m_keepOutOfOrder(keepOutOfOrder)
    {
    }

    void tellFailure(std::string_view text) override { m_failure = Error::invalidInput(std::string(text)); }
    bool editAlarmLimits(AlarmDataType type, AlarmLimits& limits) override
    {
        AlarmLimits entered = limits;
        const std::pair<const std::optional<std::string>*, std::string*> fields[] = {
            { &m_changes.highHigh, &entered.highHigh },
            { &m_changes.high, &entered.high },
            { &m_changes.low, &entered.low },
            { &m_changes.lowLow, &entered.lowLow },
        };
        const std::string_view names[] = { "High High Limit", "High Limit", "Low Limit", "Low Low Limit" };
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            const std::optional<std::string>& given = *fields[i].first;
            if (!given)
                continue;
            if (!canBeTyped(static_cast<int>(type), support::utf8ToUtf16(*given))) {
                m_failure = Error::invalidInput(std::string(names[i]) + " " + inQuotes(*given)
                    + " cannot be entered for " + std::string(dataTypeName(type)) + ": at most "
                    + std::to_string(alarmTextLimit(static_cast<int>(type))) + " characters, "
                    + std::string(typedCharacters(type)) + ".");
                return false;
            }
            *fields[i].second = *given;
        }
        const AlarmLimitsReview review = reviewAlarmLimits(static_cast<int>(type), entered);
        if (review.problem != AlarmConditionProblem::None) {
            m_failure = Error::invalidInput(std::string(alarmConditionMessage(review.problem)));
            return false;
        }
        // The dialog's order question, answered by the caller.
        if (review.outOfOrder && !m_keepOutOfOrder) {
            m_failure = Error::invalidInput(
                "The alarm limits are not in order (High High >= High >= Low >= Low Low); add --force to keep them.");
            return false;
        }
        m_unchanged = entered.highHigh == limits.highHigh && entered.high == limits.high && entered.low == limits.low
            && entered.lowLow == limits.lowLow;
        limits = std::move(entered);
        return true;
    }
    void showAttributes(const std::vector<AttributeRow>& attributes,
        const std::vector<AttributeRow>& condition) override
    {
        (void)attributes;
        (void)condition;
    }
    void enableConditionList(bool enabled) override { (void)enabled; }

    const std::optional<Error>& failure() const { return m_failure; }
    bool limitsUnchanged() const { return m_unchanged; }

private:
    const LimitChanges& m_changes;
    const bool m_keepOutOfOrder;
    std::optional<Error> m_failure;
    bool m_unchanged = false;
};

/// One step on the dialog's tree: the edit made, or why not.
using TreeStep = std::function<EditResult(AlarmHistoryTree& tree, LimitDialog& dialog)>;

} // namespace

bool UnattendedHost::ask(std::string_view text, std::string_view caption)
{
    m_told.emplace_back(text);
    (void)caption;
    return m_answer;
}

std::optional<std::filesystem::path> UnattendedHost::chooseFile(const FileChoice& choice)
{
    (void)choice;
    return m_file;
}

std::optional<std::string> UnattendedHost::lastSince(std::size_t mark) const
{
    if (m_told.size() <= mark)
        return std::nullopt;
    return m_told.back();
}

support::Result<const UaBase::BaseNode*> findNodeByText(const UaBase::NodeMap& nodes, std::string_view idText)
{
    for (const auto& [nodeId, node] : nodes) {
        if (nodeId.toString().view() == idText)
            return static_cast<const UaBase::BaseNode*>(node.get());
    }
    return Error { ErrorKind::NotFound,
        "No node " + inQuotes(idText) + " in the node configuration (tavox-nodeset dump lists the node identifiers)." };
}

NodeConfigEditor::NodeConfigEditor(NodeConfigPaths paths)
    : m_configuration(m_host)
{
    m_configuration.setPaths(std::move(paths));
}

support::Error NodeConfigEditor::toldOr(std::size_t mark, std::string fallback) const
{
    if (auto told = m_host.lastSince(mark))
        return Error { ErrorKind::System, *told };
    return Error { ErrorKind::System, std::move(fallback) };
}

support::Result<void> NodeConfigEditor::Load()
{
    const std::size_t mark = m_host.mark();
    m_configuration.ReloadNodeConfig();
    if (m_configuration.isLoaded())
        return {};
    const std::filesystem::path& file = paths().nodeCfgPath;
    if (const auto text = files::readText(file); !text)
        return Error { text.error().kind,
            "Cannot read the node configuration file " + file.string() + ": " + text.error().message + "." };
    return toldOr(mark, "The node configuration file " + file.string() + " is not a nodeset that can be read.");
}

namespace {

EditResult runOnTree(NodeConfiguration& configuration,
    std::string_view idText,
    const LimitChanges& limits,
    bool keepOutOfOrder,
    const TreeStep& step)
{
    const auto found = findNodeByText(configuration.nodes(), idText);
    if (!found)
        return found.error();
    if (!asVariable(*found))
        return Error::invalidInput("The node " + inQuotes(idText) + " is not a variable.");
    EditResult result = EditEffect::Unchanged;
    const bool rebuilt = configuration.ConfigureNodes([&](ConfigureRequest& request) {
        LimitDialog dialog(limits, keepOutOfOrder);
        AlarmHistoryTree tree(request, dialog);
        tree.Initialise();
        result = step(tree, dialog);
        if (!result || *result == EditEffect::Unchanged)
            return false;
        tree.ApplyTreeChanges();
        return true;
    });
    if (result && *result == EditEffect::Changed && !rebuilt)
        return Error { ErrorKind::System, "Parser NodeConfig.xml error..." };
    return result;
}

/// Runs `command` on the item of `idText` under `root`, with the dialog's failure if it fails.
EditResult runCommand(AlarmHistoryTree& tree, LimitDialog& dialog, NodeTreeItem* item, TreeCommand command)
{
    tree.Select(item);
    const bool done = tree.execute(command);
    if (dialog.failure())
        return *dialog.failure();
    if (!done)
        return Error { ErrorKind::System, "The command could not be run on this variable." };
    return EditEffect::Changed;
}

/// The item of `idText` under `root` (the tree's search goes on into the roots that follow).
NodeTreeItem* itemUnder(const AlarmHistoryTree& tree, NodeTreeItem* root, std::string_view idText)
{
    NodeTreeItem* found = tree.FindTreeItem(root, idText);
    return found && tree.RootOf(found) == root ? found : nullptr;
}

Error unreachable(std::string_view idText)
{
    return Error::invalidInput("The variable " + inQuotes(idText)
        + " is not under the Objects folder, so the Alarms & Historical Data dialog does not show it.");
}

} // namespace

EditResult NodeConfigEditor::setAlarm(std::string_view idText, const LimitChanges& limits, bool keepOutOfOrder)
{
    return runOnTree(m_configuration,
        idText,
        limits,
        keepOutOfOrder,
        [&](AlarmHistoryTree& tree, LimitDialog& dialog) -> EditResult {
            NodeTreeItem* variable = itemUnder(tree, tree.objectsRoot(), idText);
            if (!variable)
                return unreachable(idText);
            const auto* node = asVariable(variable->entry().node);
            const AlarmDataType type = alarmDataTypeOf(node->dataType());
            if (type == AlarmDataType::Boolean && limits.any())
                return Error::invalidInput("The alarm of the Boolean variable " + inQuotes(idText) + " has no limits.");
            if (type != AlarmDataType::Boolean && !isNumeric(type))
                return Error::invalidInput("The variable " + inQuotes(idText)
                    + " is neither Boolean nor numeric: the Alarms & Historical Data dialog offers no alarm for it.");
            NodeTreeItem* alarm = itemUnder(tree, tree.alarmRoot(), idText);
            if (!alarm)
                return runCommand(tree, dialog, variable, TreeCommand::AddAlarmEvent);
            if (type == AlarmDataType::Boolean)
                return EditEffect::Unchanged;
            const EditResult edited = runCommand(tree, dialog, alarm, TreeCommand::EditCondition);
            if (edited && dialog.limitsUnchanged())
                return EditEffect::Unchanged;
            return edited;
        });
}

EditResult NodeConfigEditor::removeAlarm(std::string_view idText)
{
    return runOnTree(
        m_configuration, idText, {}, false, [&](AlarmHistoryTree& tree, LimitDialog& dialog) -> EditResult {
            NodeTreeItem* alarm = itemUnder(tree, tree.alarmRoot(), idText);
            if (!alarm)
                return EditEffect::Unchanged;
            return runCommand(tree, dialog, alarm, TreeCommand::RemoveAlarm);
        });
}

EditResult NodeConfigEditor::setHistory(std::string_view idText, bool on)
{
    return runOnTree(
        m_configuration, idText, {}, false, [&](AlarmHistoryTree& tree, LimitDialog& dialog) -> EditResult {
            NodeTreeItem* history = itemUnder(tree, tree.historyRoot(), idText);
            if (!on)
                return history ? runCommand(tree, dialog, history, TreeCommand::RemoveHistorical)
                               : EditEffect::Unchanged;
            if (history)
                return EditEffect::Unchanged;
            NodeTreeItem* variable = itemUnder(tree, tree.objectsRoot(), idText);
            if (!variable)
                return unreachable(idText);
            return runCommand(tree, dialog, variable, TreeCommand::AddHistoricalData);
        });
}

EditResult NodeConfigEditor::setLogging(bool on)
{
    if (!m_configuration.isLoaded())
        return Error::invalidInput("Please import the xml file first.");
    if (m_configuration.startLogging() == (on ? 1 : 0))
        return EditEffect::Unchanged;
    m_configuration.OnStartLogging(on);
    return EditEffect::Changed;
}

support::Result<void> NodeConfigEditor::Write()
{
    const std::size_t mark = m_host.mark();
    if (!m_configuration.isLoaded())
        return Error::invalidInput("Please import the xml file first.");
    if (!m_configuration.CompletePendingWrite())
        return toldOr(mark, "Update Nodeconfig.xml fail...");
    return {};
}

support::Result<void> NodeConfigEditor::Import(const std::filesystem::path& file)
{
    if (const auto text = files::readText(file); !text)
        return Error { text.error().kind, "Cannot read " + file.string() + ": " + text.error().message + "." };
    const std::filesystem::path& current = paths().nodeCfgPath;
    if (!files::exists(current) && files::mayCreate(current))
        return importFirst(file);
    if (!files::exists(current) || !files::isWritable(current))
        return Error { ErrorKind::AccessDenied,
            "The node configuration file " + current.string() + " does not exist or cannot be written." };
    const std::size_t mark = m_host.mark();
    m_host.offer(file);
    m_configuration.ImportNodeConfig();
    m_host.offer(std::nullopt);
    if (!m_configuration.isBackupMade()) {
        // Rolled back, or stopped before the file was replaced.
        return toldOr(mark, "The node configuration file " + current.string() + " could not be replaced.");
    }
    if (auto written = Write(); !written) {
        // Reloading brings the backup back: the server's file is as it was.
        m_configuration.ReloadNodeConfig();
        return written;
    }
    return {};
}

support::Result<void> NodeConfigEditor::importFirst(const std::filesystem::path& file)
{
    const std::filesystem::path& current = paths().nodeCfgPath;
    if (!files::copyOver(file, current))
        return Error { ErrorKind::System,
            "The node configuration file " + current.string() + " could not be written." };
    m_configuration.ReloadNodeConfig();
    support::Result<void> written = m_configuration.isLoaded()
        ? Write()
        : support::Result<void>(Error { ErrorKind::InvalidInput, "Import node configuration fail! Please try again!" });
    if (!written)
        files::remove(current);
    return written;
}

support::Result<void> NodeConfigEditor::Export(const std::filesystem::path& file, bool overwrite)
{
    if (!m_configuration.isLoaded())
        return Error::invalidInput("Please import the xml file first.");
    if (files::exists(file) && !overwrite)
        return Error { ErrorKind::InvalidInput, file.string() + " exists; add --force to overwrite it." };
    const std::size_t mark = m_host.mark();
    m_host.offer(file);
    m_host.answer(true);
    m_configuration.ExportNodeConfig();
    m_host.offer(std::nullopt);
    m_host.answer(false);
    const auto told = m_host.lastSince(mark);
    if (told && *told == "Export file sucess.")
        return {};
    return toldOr(mark, "Update Nodeconfig.xml fail...");
}

std::vector<std::string> limitProblems(const EntryList& entries)
{
    std::vector<std::string> problems;
    for (const auto& entry : entries) {
        const auto* variable = entry ? asVariable(entry->node) : nullptr;
        if (!variable || !entry->isAlarm())
            continue;
        const AlarmDataType type = alarmDataTypeOf(variable->dataType());
        if (!isNumeric(type))
            continue;
        const std::string id = variable->nodeId().toString().toStdString();
        const AlarmLimits limits { entry->highHighLimit, entry->highLimit, entry->lowLimit, entry->lowLowLimit };
        const std::pair<std::string_view, const std::string*> named[] = { { "High High Limit", &limits.highHigh },
            { "High Limit", &limits.high },
            { "Low Limit", &limits.low },
            { "Low Low Limit", &limits.lowLow } };
        for (const auto& [name, text] : named) {
            if (!text->empty() && !isNumberOfType(type, *text))
                problems.push_back(id + ": " + std::string(name) + " " + inQuotes(*text) + " is not a number of type "
                    + std::string(dataTypeName(type)) + ".");
        }
        if (areLimitsOutOfOrder(static_cast<int>(type), limits))
            problems.push_back(id + ": the alarm limits are not in order.");
    }
    return problems;
}

} // namespace nodeconfig
