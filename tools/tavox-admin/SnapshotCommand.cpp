#include "CommandFamilies.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"
#include "JsonOutput.h"

#include "platform/SettingsStore.h"
#include "snapshots/ConfigSnapshots.h"

#include <iomanip>
#include <ostream>

namespace admin {
namespace {

constexpr std::string_view kFamily = "snapshot";

nlohmann::ordered_json toJson(const SnapshotInfo& info)
{
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const SnapshotFile& file : info.files)
        files.push_back({ { "role", file.role }, { "path", file.path.string() }, { "present", file.present } });
    return { { "id", info.id },
        { "time", info.time },
        { "origin", info.origin },
        { "serverKey", info.serverKey },
        { "files", files } };
}

int list(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const ConfigSnapshots snapshots(context.stores.machine);
    const auto all = snapshots.list();
    if (!all)
        return io.fail(all.error());
    if (parsed.has("--json")) {
        nlohmann::ordered_json items = nlohmann::ordered_json::array();
        for (const SnapshotInfo& info : *all)
            items.push_back(toJson(info));
        printJson(io, { { "folder", snapshots.folder().string() }, { "snapshots", items } });
        return kExitSuccess;
    }
    if (all->empty()) {
        io.out << "No snapshots in " << snapshots.folder().string() << ".\n";
        return kExitSuccess;
    }
    std::size_t idWidth = 2;
    for (const SnapshotInfo& info : *all)
        idWidth = std::max(idWidth, info.id.size());
    io.out << std::left << std::setw(static_cast<int>(idWidth)) << "ID"
           << "  " << std::setw(20) << "TIME"
           << "  ORIGIN\n";
    for (const SnapshotInfo& info : *all)
        io.out << std::setw(static_cast<int>(idWidth)) << info.id << "  " << std::setw(20) << info.time << "  "
               << info.origin << "\n";
    io.out << std::right;
    return kExitSuccess;
}

int restore(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const std::string& id = parsed.operands()[0];
    const auto outcome = ConfigSnapshots(context.stores.machine).restore(id, commandOrigin(kFamily, args));
    if (!outcome)
        return io.fail(outcome.error());
    const SnapshotInfo& restored = outcome->restored;
    return reportChange(io,
        "Restored snapshot " + restored.id + " of " + restored.time + " (before: " + restored.origin
            + "). The configuration it replaced is snapshot " + outcome->before.id + ".");
}

constexpr CommandForm kForms[] = {
    { "list",
        "",
        kJsonForTable,
        "Lists the snapshots of the configuration, oldest first: their id, the time (UTC) and the command or "
        "the utility's Apply that changed the configuration after it was taken.",
        list },
    { "restore",
        "ID",
        {},
        "Brings the configuration of snapshot ID back whole: the server key of the machine store exactly as it "
        "was, the node configuration file and the server configuration file (a file that did not exist then is "
        "removed). The configuration it replaces is kept in a snapshot of its own first.",
        restore,
        "give the id of one snapshot" },
};

} // namespace

const CommandFamily kSnapshotFamily {
    "list the snapshots of the configuration, or bring one back",
    kForms,
    "A snapshot is taken before every command that changes the configuration and before every Apply or OK of "
    "the utility; it holds the server key of the machine store, the node configuration file and the server "
    "configuration file. The newest 20 are kept, in the folder \"snapshots\" beside the machine store. A "
    "snapshot that cannot be taken stops the change.",
};

} // namespace admin
