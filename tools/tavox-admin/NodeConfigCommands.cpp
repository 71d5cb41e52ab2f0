#include "NodeConfigCommands.h"

#include "Changes.h"
#include "CommandHelp.h"
#include "CommandLine.h"
#include "JsonOutput.h"

#include "nodeconfig/AlarmHistoryEntries.h"
#include "nodeconfig/NodeConfigEditor.h"
#include "platform/SettingsStore.h"
#include "uanodes/BaseNode.h"
#include "uatypes/UaString.h"
#include "uanodes/Variable.h"

#include <iomanip>
#include <ostream>

namespace admin {
namespace {

using nodeconfig::EditEffect;
using nodeconfig::EditResult;
using nodeconfig::NodeConfigEditor;

constexpr std::string_view kNodeConfig = "nodeconfig";
constexpr std::string_view kAlarms = "alarms";
constexpr std::string_view kHistory = "history";
constexpr std::string_view kLogging = "logging";

/// `message` with the reader's first complaint about the file in brackets before its full stop,
/// when there was one.
std::string withLoadFailure(std::string message, const NodeConfigEditor& editor)
{
    const std::string& complaint = editor.configuration().reader().loadFailure();
    if (complaint.empty())
        return message;
    const bool stop = !message.empty() && message.back() == '.';
    if (stop)
        message.pop_back();
    message += " (";
    message += complaint;
    message += stop ? ")." : ")";
    return message;
}

/// The server's node configuration, loaded as the Node Config page loads it.
class LoadedConfiguration {
public:
    explicit LoadedConfiguration(const AdminContext& context)
        : m_editor(nodeconfig::NodeConfigPathsFromSettings(context.stores.machine))
        , m_loaded(m_editor.Load())
    {
    }
    NodeConfigEditor& editor() { return m_editor; }
    /// Nothing, or the failure reported on `io`, with the XML library's first complaint.
    std::optional<int> failure(const Streams& io) const
    {
        if (m_loaded)
            return std::nullopt;
        return io.fail(withLoadFailure(m_loaded.error().message, m_editor));
    }

private:
    NodeConfigEditor m_editor;
    support::Result<void> m_loaded;
};

/// The form's arguments, or the usage error already reported.
std::optional<ParsedArguments> parse(std::string_view family, Arguments args, std::span<const OptionSpec> options,
    std::size_t operands, std::string_view operandsWanted, const Streams& io, int& code)
{
    auto parsed = parseArguments(args, options);
    if (!parsed) {
        code = usageError(io, family, parsed.error().message);
        return std::nullopt;
    }
    if (parsed->operands().size() != operands) {
        code = usageError(io, family, operandsWanted);
        return std::nullopt;
    }
    return std::move(*parsed);
}

/// The end of every edit: nothing to do, or a snapshot, the page's apply and the restart note.
int finishEdit(LoadedConfiguration& loaded, const EditResult& edited, std::string_view origin, std::string_view done,
    std::string_view unchanged, const Streams& io, const AdminContext& context)
{
    if (!edited)
        return io.fail(edited.error().message);
    if (*edited == EditEffect::Unchanged) {
        io.out << unchanged << " Nothing was changed.\n";
        return kExitSuccess;
    }
    if (const int code = snapshotBeforeChange(context, io, origin); code != kExitSuccess)
        return code;
    if (const auto written = loaded.editor().Write(); !written)
        return io.fail(written.error().message);
    return reportChange(io, done);
}

std::string form(std::string_view family, std::string_view name)
{
    return std::string(family) + " " + std::string(name);
}

// nodeconfig

int check(Arguments args, const Streams& io, const AdminContext& context)
{
    int code = kExitSuccess;
    const auto parsed = parse(kNodeConfig, args, {}, 0, "nodeconfig check takes no operand", io, code);
    if (!parsed)
        return code;
    LoadedConfiguration loaded(context);
    if (const auto failed = loaded.failure(io))
        return *failed;
    const nodeconfig::NodeConfiguration& configuration = loaded.editor().configuration();
    std::size_t variables = 0;
    for (const auto& [id, node] : configuration.nodes())
        variables += node->nodeClass() == UaBase::NodeClass::Variable ? 1 : 0;
    std::size_t alarms = 0;
    std::size_t logged = 0;
    for (const auto& entry : configuration.entries()) {
        alarms += entry->isAlarm() ? 1 : 0;
        logged += entry->isHistory() ? 1 : 0;
    }
    io.out << loaded.editor().paths().nodeCfgPath.string() << ": " << configuration.nodes().size() << " nodes, "
           << variables << " variables, " << alarms << " alarms, " << logged << " variables logged, logging "
           << (configuration.startLogging() ? "on" : "off") << ".\n";
    const std::vector<std::string> problems = nodeconfig::LimitProblems(configuration.entries());
    for (const std::string& problem : problems)
        io.out << problem << "\n";
    if (!problems.empty())
        return io.fail(std::to_string(problems.size()) + " alarm limit(s) above cannot be used as they stand.");
    return kExitSuccess;
}

int importFile(Arguments args, const Streams& io, const AdminContext& context)
{
    int code = kExitSuccess;
    const auto parsed = parse(kNodeConfig, args, {}, 1, "give the FILE to import", io, code);
    if (!parsed)
        return code;
    const std::filesystem::path file = parsed->operands()[0];
    {
        // The file must load before the server's file is touched.
        NodeConfigEditor candidate(nodeconfig::NodeConfigPaths{file, {}, {}});
        if (const auto loads = candidate.Load(); !loads)
            return io.fail(withLoadFailure(loads.error().message, candidate));
    }
    LoadedConfiguration loaded(context);
    if (const int snapped = snapshotBeforeChange(context, io, commandOrigin(form(kNodeConfig, "import"), args));
        snapped != kExitSuccess)
        return snapped;
    if (const auto imported = loaded.editor().Import(file); !imported)
        return io.fail(imported.error().message);
    return reportChange(io, "Imported " + file.string() + " as " + loaded.editor().paths().nodeCfgPath.string() + ".");
}

int exportFile(Arguments args, const Streams& io, const AdminContext& context)
{
    constexpr OptionSpec options[] = {{"--force"}};
    int code = kExitSuccess;
    const auto parsed = parse(kNodeConfig, args, options, 1, "give the FILE to export to", io, code);
    if (!parsed)
        return code;
    LoadedConfiguration loaded(context);
    if (const auto failed = loaded.failure(io))
        return *failed;
    const std::filesystem::path file = parsed->operands()[0];
    if (const auto exported = loaded.editor().Export(file, parsed->has("--force")); !exported)
        return io.fail(exported.error().message);
    io.out << "Exported the node configuration to " << file.string() << ".\n";
    return kExitSuccess;
}

// alarms

std::string detail(const nodeconfig::AlarmHistoryEntry& entry, std::string_view attribute)
{
    const auto details = nodeconfig::EntryDetails(&entry);
    if (details) {
        for (const auto& row : *details) {
            if (row.attribute == attribute)
                return row.value;
        }
    }
    return {};
}

nlohmann::ordered_json entryJson(const nodeconfig::AlarmHistoryEntry& entry)
{
    nlohmann::ordered_json json = {{"kind", entry.isAlarm() ? "alarm" : "history"},
        {"nodeId", entry.node->nodeId().toString().toStdString()},
        {"identifier", detail(entry, "NodeIdentifier")},
        {"dataType", detail(entry, "DataType")},
        {"nodePath", detail(entry, "NodePath")}};
    if (entry.isAlarm()) {
        json["limits"] = {{"highHigh", entry.highHighLimit},
            {"high", entry.highLimit},
            {"low", entry.lowLimit},
            {"lowLow", entry.lowLowLimit}};
    }
    return json;
}

int list(Arguments args, const Streams& io, const AdminContext& context)
{
    constexpr OptionSpec options[] = {{"--json"}};
    int code = kExitSuccess;
    const auto parsed = parse(kAlarms, args, options, 0, "alarms list takes no operand", io, code);
    if (!parsed)
        return code;
    LoadedConfiguration loaded(context);
    if (const auto failed = loaded.failure(io))
        return *failed;
    const nodeconfig::NodeConfiguration& configuration = loaded.editor().configuration();
    if (parsed->has("--json")) {
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (const auto& entry : configuration.entries())
            entries.push_back(entryJson(*entry));
        printJson(io,
            {{"file", loaded.editor().paths().nodeCfgPath.string()},
                {"startLogging", configuration.startLogging() != 0},
                {"entries", entries}});
        return kExitSuccess;
    }
    io.out << "Logging: " << (configuration.startLogging() ? "on" : "off") << "\n";
    if (configuration.entries().empty()) {
        io.out << "No alarms and no variables logged.\n";
        return kExitSuccess;
    }
    std::size_t width = 6;
    for (const auto& entry : configuration.entries())
        width = std::max(width, entry->node->nodeId().toString().view().size());
    io.out << std::left << std::setw(8) << "KIND" << std::setw(static_cast<int>(width) + 2) << "NODEID"
           << std::setw(9) << "TYPE" << "HIGH-HIGH/HIGH/LOW/LOW-LOW\n";
    for (const auto& entry : configuration.entries()) {
        io.out << std::setw(8) << (entry->isAlarm() ? "alarm" : "history") << std::setw(static_cast<int>(width) + 2)
               << entry->node->nodeId().toString().toStdString() << std::setw(9) << detail(*entry, "DataType");
        if (entry->isAlarm())
            io.out << entry->highHighLimit << "/" << entry->highLimit << "/" << entry->lowLimit << "/"
                   << entry->lowLowLimit;
        io.out << "\n";
    }
    io.out << std::right;
    return kExitSuccess;
}

int set(Arguments args, const Streams& io, const AdminContext& context)
{
    constexpr OptionSpec options[] = {
        {"--high-high", true}, {"--high", true}, {"--low", true}, {"--low-low", true}, {"--force"}};
    int code = kExitSuccess;
    const auto parsed = parse(kAlarms, args, options, 1, "give the NODEID of one variable", io, code);
    if (!parsed)
        return code;
    const std::string& id = parsed->operands()[0];
    const nodeconfig::LimitChanges limits{parsed->value("--high-high"), parsed->value("--high"),
        parsed->value("--low"), parsed->value("--low-low")};
    LoadedConfiguration loaded(context);
    if (const auto failed = loaded.failure(io))
        return *failed;
    const EditResult edited = loaded.editor().SetAlarm(id, limits, parsed->has("--force"));
    return finishEdit(loaded, edited, commandOrigin(form(kAlarms, "set"), args), "Set the alarm of " + id + ".",
        "The alarm of " + id + " is set as given already.", io, context);
}

int remove(Arguments args, const Streams& io, const AdminContext& context)
{
    int code = kExitSuccess;
    const auto parsed = parse(kAlarms, args, {}, 1, "give the NODEID of one variable", io, code);
    if (!parsed)
        return code;
    const std::string& id = parsed->operands()[0];
    LoadedConfiguration loaded(context);
    if (const auto failed = loaded.failure(io))
        return *failed;
    const EditResult edited = loaded.editor().RemoveAlarm(id);
    return finishEdit(loaded, edited, commandOrigin(form(kAlarms, "remove"), args), "Removed the alarm of " + id + ".",
        id + " has no alarm.", io, context);
}

// history

int setHistory(bool on, Arguments args, const Streams& io, const AdminContext& context)
{
    int code = kExitSuccess;
    const auto parsed = parse(kHistory, args, {}, 1, "give the NODEID of one variable", io, code);
    if (!parsed)
        return code;
    const std::string& id = parsed->operands()[0];
    LoadedConfiguration loaded(context);
    if (const auto failed = loaded.failure(io))
        return *failed;
    const EditResult edited = loaded.editor().SetHistory(id, on);
    const std::string state = on ? "on" : "off";
    return finishEdit(loaded, edited, commandOrigin(form(kHistory, state), args),
        "Historical logging of " + id + " is " + state + ".", "Historical logging of " + id + " is " + state + " already.",
        io, context);
}

int historyOn(Arguments args, const Streams& io, const AdminContext& context)
{
    return setHistory(true, args, io, context);
}

int historyOff(Arguments args, const Streams& io, const AdminContext& context)
{
    return setHistory(false, args, io, context);
}

// logging

int setLogging(bool on, Arguments args, const Streams& io, const AdminContext& context)
{
    int code = kExitSuccess;
    const auto parsed = parse(kLogging, args, {}, 0, "logging on|off takes no operand", io, code);
    if (!parsed)
        return code;
    LoadedConfiguration loaded(context);
    if (const auto failed = loaded.failure(io))
        return *failed;
    const std::string state = on ? "on" : "off";
    return finishEdit(loaded, loaded.editor().SetLogging(on), commandOrigin(form(kLogging, state), args),
        "Logging is " + state + ".", "Logging is " + state + " already.", io, context);
}

int loggingOn(Arguments args, const Streams& io, const AdminContext& context)
{
    return setLogging(true, args, io, context);
}

int loggingOff(Arguments args, const Streams& io, const AdminContext& context)
{
    return setLogging(false, args, io, context);
}

constexpr CommandForm kNodeConfigForms[] = {{"check", check}, {"import", importFile}, {"export", exportFile}};
constexpr CommandForm kAlarmForms[] = {{"list", list}, {"set", set}, {"remove", remove}};
constexpr CommandForm kHistoryForms[] = {{"on", historyOn}, {"off", historyOff}};
constexpr CommandForm kLoggingForms[] = {{"on", loggingOn}, {"off", loggingOff}};

constexpr UsageHelp kNodeConfigUsages[] = {
    {"nodeconfig check",
        "Reads the node configuration file as the Node Config page does and counts its nodes, variables, alarms "
        "and logged variables. Alarm limits that are no number of their variable's type, and alarms whose limits "
        "are not in order, are listed, and the check then fails."},
    {"nodeconfig import FILE",
        "Makes FILE the server's node configuration, as the page's Import followed by Apply: the file must read "
        "as a nodeset, and the settings block is written after it. A file that does not load changes nothing."},
    {"nodeconfig export FILE [--force]",
        "Writes the node configuration with its settings block to FILE, as the page's Export does."},
};
constexpr OptionHelp kNodeConfigOptions[] = {
    {"--force", "Export over an existing FILE."},
};

constexpr UsageHelp kAlarmUsages[] = {
    {"alarms list [--json]",
        "Lists the alarms with their four limits and the variables logged, as the Node Config page lists them, "
        "and whether logging is on."},
    {"alarms set NODEID [--high-high V] [--high V] [--low V] [--low-low V] [--force]",
        "Adds an alarm to the variable NODEID or changes the limits of its alarm, as \"Add Alarm Event\" and "
        "\"Edit Condition\" of the Alarms & Historical Data dialog do. A limit not given keeps its text; an empty "
        "one is cleared. A Boolean variable's alarm has no limits."},
    {"alarms remove NODEID", "Removes the alarm of the variable NODEID (\"Remove Alarm\")."},
};
constexpr OptionHelp kAlarmOptions[] = {
    {"--json", "One JSON document on standard output instead of the table."},
    {"--high-high V", "The High High Limit."},
    {"--high V", "The High Limit."},
    {"--low V", "The Low Limit."},
    {"--low-low V", "The Low Low Limit."},
    {"--force", "Keep limits that are not in order (High High >= High >= Low >= Low Low)."},
};

constexpr UsageHelp kHistoryUsages[] = {
    {"history on|off NODEID",
        "Switches historical logging of the variable NODEID on or off (\"Add Historical Data\" and \"Remove "
        "Historical\"): its access levels become 7 or 3."},
};

constexpr UsageHelp kLoggingUsages[] = {
    {"logging on|off", "The Node Config page's \"Start Logging\" box: whether the server logs historical data."},
};

} // namespace

const CommandHelp kNodeConfigHelp{
    "check, import or export the node configuration file",
    kNodeConfigUsages,
    kNodeConfigOptions,
    "The file is the service directory (\"ServicePath\") followed by the \"NodeCfg\" name of the machine "
    "store, NodeConfig.xml unless set otherwise.",
};

const CommandHelp kAlarmsHelp{
    "list, set or remove the level alarms of variables",
    kAlarmUsages,
    kAlarmOptions,
    "NODEID is a node identifier as \"tavox-nodeset dump\" prints it, such as ns=2;s=Tank.Level (quote it for "
    "the shell). A limit takes what its field of the Alarm Condition dialog takes for the variable's data type: "
    "digits, a leading \"-\" for the signed and floating types, one \".\" for Float and Double, and at most 6 "
    "(Int16), 5 (UInt16), 11 (Int32), 10 (UInt32), 20 (Int64, UInt64), 7 (Float) or 15 (Double) characters. "
    "A limit may not end with \"-\" or \".\", and at least one limit is needed.",
};

const CommandHelp kHistoryHelp{
    "switch historical logging of a variable on or off",
    kHistoryUsages,
    {},
    "NODEID is a node identifier as \"tavox-nodeset dump\" prints it.",
};

const CommandHelp kLoggingHelp{
    "switch the logging of historical data on or off",
    kLoggingUsages,
    {},
    {},
};

int runNodeConfig(Arguments args, const Streams& io, const AdminContext& context)
{
    return runForm(kNodeConfig, kNodeConfigForms, args, io, context);
}

int runAlarms(Arguments args, const Streams& io, const AdminContext& context)
{
    return runForm(kAlarms, kAlarmForms, args, io, context);
}

int runHistory(Arguments args, const Streams& io, const AdminContext& context)
{
    return runForm(kHistory, kHistoryForms, args, io, context);
}

int runLogging(Arguments args, const Streams& io, const AdminContext& context)
{
    return runForm(kLogging, kLoggingForms, args, io, context);
}

} // namespace admin
