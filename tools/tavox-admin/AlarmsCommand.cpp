#include "CommandFamilies.h"
#include "CommandLine.h"
#include "JsonOutput.h"
#include "NodeConfigEdit.h"

#include "nodeconfig/AlarmHistoryEntries.h"
#include "uanodes/BaseNode.h"
#include "uatypes/UaString.h"

#include <iomanip>
#include <ostream>

namespace admin {
namespace {

using nodeconfig::EditResult;

constexpr std::string_view kOneVariable = "give the NODEID of one variable";

std::string detail(const nodeconfig::AlarmHistoryEntry& entry, std::string_view attribute)
{
    const auto details = nodeconfig::entryDetails(&entry);
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
    nlohmann::ordered_json json = { { "kind", entry.isAlarm() ? "alarm" : "history" },
        { "nodeId", entry.node->nodeId().toString().toStdString() },
        { "identifier", detail(entry, "NodeIdentifier") },
        { "dataType", detail(entry, "DataType") },
        { "nodePath", detail(entry, "NodePath") } };
    if (entry.isAlarm()) {
        json["limits"] = { { "highHigh", entry.highHighLimit },
            { "high", entry.highLimit },
            { "low", entry.lowLimit },
            { "lowLow", entry.lowLowLimit } };
    }
    return json;
}

int list(const FormCall& call, LoadedConfiguration& loaded)
{
    const auto& [parsed, args, word, io, context] = call;
    const nodeconfig::NodeConfiguration& configuration = loaded.editor().configuration();
    if (parsed.has("--json")) {
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (const auto& entry : configuration.entries())
            entries.push_back(entryJson(*entry));
        printJson(io,
            { { "file", loaded.editor().paths().nodeCfgPath.string() },
                { "startLogging", configuration.startLogging() != 0 },
                { "entries", entries } });
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
    io.out << std::left << std::setw(8) << "KIND" << std::setw(static_cast<int>(width) + 2) << "NODEID" << std::setw(9)
           << "TYPE"
           << "HIGH-HIGH/HIGH/LOW/LOW-LOW\n";
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

constexpr FormOption kSetOptions[] = {
    { "--high-high", "V", "The High High Limit." },
    { "--high", "V", "The High Limit." },
    { "--low", "V", "The Low Limit." },
    { "--low-low", "V", "The Low Low Limit." },
    { "--force", "", "Keep limits that are not in order (High High >= High >= Low >= Low Low)." },
};

int set(const FormCall& call, LoadedConfiguration& loaded)
{
    const auto& [parsed, args, word, io, context] = call;
    const std::string& id = parsed.operands()[0];
    const nodeconfig::LimitChanges limits {
        parsed.value("--high-high"), parsed.value("--high"), parsed.value("--low"), parsed.value("--low-low")
    };
    const EditResult edited = loaded.editor().setAlarm(id, limits, parsed.has("--force"));
    return finishEdit(loaded,
        edited,
        commandOrigin("alarms set", args),
        "Set the alarm of " + id + ".",
        "The alarm of " + id + " is set as given already.",
        io,
        context);
}

int remove(const FormCall& call, LoadedConfiguration& loaded)
{
    const auto& [parsed, args, word, io, context] = call;
    const std::string& id = parsed.operands()[0];
    const EditResult edited = loaded.editor().removeAlarm(id);
    return finishEdit(loaded,
        edited,
        commandOrigin("alarms remove", args),
        "Removed the alarm of " + id + ".",
        id + " has no alarm.",
        io,
        context);
}

constexpr CommandForm kForms[] = {
    { "list",
        "",
        kJsonForTable,
        "Lists the alarms with their four limits and the variables logged, as the Node Config page lists them, "
        "and whether logging is on.",
        onConfiguration<list> },
    { "set",
        "NODEID",
        kSetOptions,
        "Adds an alarm to the variable NODEID or changes the limits of its alarm, as \"Add Alarm Event\" and "
        "\"Edit Condition\" of the Alarms & Historical Data dialog do. A limit not given keeps its text; an empty "
        "one is cleared. A Boolean variable's alarm has no limits.",
        onConfiguration<set>,
        kOneVariable },
    { "remove",
        "NODEID",
        {},
        "Removes the alarm of the variable NODEID (\"Remove Alarm\").",
        onConfiguration<remove>,
        kOneVariable },
};

} // namespace

const CommandFamily kAlarmsFamily {
    "list, set or remove the level alarms of variables",
    kForms,
    "NODEID is a node identifier as \"tavox-nodeset dump\" prints it, such as ns=2;s=Tank.Level (quote it for "
    "the shell). A limit takes what its field of the Alarm Condition dialog takes for the variable's data type: "
    "digits, a leading \"-\" for the signed and floating types, one \".\" for Float and Double, and at most 6 "
    "(Int16), 5 (UInt16), 11 (Int32), 10 (UInt32), 20 (Int64, UInt64), 7 (Float) or 15 (Double) characters. "
    "A limit may not end with \"-\" or \".\", and at least one limit is needed.",
};

} // namespace admin
