#include "CommandFamilies.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"
#include "NodeConfigEdit.h"

#include "nodeconfig/AlarmHistoryEntries.h"
#include "uanodes/BaseNode.h"

#include <ostream>

namespace admin {
namespace {

using nodeconfig::NodeConfigEditor;

int check(const FormCall& call, LoadedConfiguration& loaded)
{
    const auto& [parsed, args, word, io, context] = call;
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
    const std::vector<std::string> problems = nodeconfig::limitProblems(configuration.entries());
    for (const std::string& problem : problems)
        io.out << problem << "\n";
    if (!problems.empty())
        return io.fail(std::to_string(problems.size()) + " alarm limit(s) above cannot be used as they stand.");
    return kExitSuccess;
}

int importFile(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const std::filesystem::path file = parsed.operands()[0];
    {
        // The file must load before the server's file is touched.
        NodeConfigEditor candidate(nodeconfig::NodeConfigPaths { file, {}, {} });
        if (const auto loads = candidate.Load(); !loads)
            return io.fail(withLoadFailure(loads.error().message, candidate));
    }
    LoadedConfiguration loaded(context);
    if (const int snapped = snapshotBeforeChange(context, io, commandOrigin("nodeconfig import", args));
        snapped != kExitSuccess)
        return snapped;
    if (const auto imported = loaded.editor().Import(file); !imported)
        return io.fail(imported.error().message);
    return reportChange(io, "Imported " + file.string() + " as " + loaded.editor().paths().nodeCfgPath.string() + ".");
}

constexpr FormOption kExportOptions[] = {
    { "--force", "", "Export over an existing FILE." },
};

int exportFile(const FormCall& call, LoadedConfiguration& loaded)
{
    const auto& [parsed, args, word, io, context] = call;
    const std::filesystem::path file = parsed.operands()[0];
    if (const auto exported = loaded.editor().Export(file, parsed.has("--force")); !exported)
        return io.fail(exported.error().message);
    io.out << "Exported the node configuration to " << file.string() << ".\n";
    return kExitSuccess;
}

constexpr CommandForm kForms[] = {
    { "check",
        "",
        {},
        "Reads the node configuration file as the Node Config page does and counts its nodes, variables, alarms "
        "and logged variables. Alarm limits that are no number of their variable's type, and alarms whose limits "
        "are not in order, are listed, and the check then fails.",
        onConfiguration<check> },
    { "import",
        "FILE",
        {},
        "Makes FILE the server's node configuration, as the page's Import followed by Apply: the file must read "
        "as a nodeset, and the settings block is written after it. A file that does not load changes nothing.",
        importFile,
        "give the FILE to import" },
    { "export",
        "FILE",
        kExportOptions,
        "Writes the node configuration with its settings block to FILE, as the page's Export does.",
        onConfiguration<exportFile>,
        "give the FILE to export to" },
};

} // namespace

const CommandFamily kNodeConfigFamily {
    "check, import or export the node configuration file",
    kForms,
    "The file is the service directory (\"ServicePath\") followed by the \"NodeCfg\" name of the machine "
    "store, NodeConfig.xml unless set otherwise.",
};

} // namespace admin
