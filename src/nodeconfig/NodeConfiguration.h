#pragma once

#include "nodeconfig/AlarmHistoryEntries.h"
#include "nodeconfig/NodeConfigFiles.h"
#include "nodeconfig/NodeConfigHost.h"
#include "nodeconfig/NodeConfigPaths.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/NodeMap.h"
#include "uareader/UaNodesetXmlParser.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class UaXmlDocument;

namespace nodeconfig {

/// What the Alarms & Historical Data dialog works on: the loaded document it edits, the nodes
/// it browses, and a copy of the page's list of entries (the records themselves are the
/// page's; the dialog neither changes nor frees them). The reader turns "NodeId" texts of the
/// document into node identifiers.
struct ConfigureRequest {
    UaXmlDocument& document;
    const UaBase::NodeMap& nodes;
    std::vector<AlarmHistoryEntry*> entries;
    const UaBase::UaNodesetXmlParser& reader;
};
/// Runs the dialog; true when it ended with OK after applying its tree to the document.
using ConfigureDialog = std::function<bool(ConfigureRequest& request)>;

/// The server's node configuration as the Node Config page holds it: the file's paths, the
/// nodeset reader (with the utility's node factory) and the document it loaded, the nodes of
/// the last successful load, the alarm and history entries of the page's list, and the flags
/// of the page. The page is a thin view over it; the messages and file dialogs go through the
/// host.
///
/// The reader is a member rather than a base: the page adds no behaviour to it, and the plain
/// reader reads the nodes while the document loads.
class NodeConfiguration {
public:
    /// Writes the file through `calls` (tests make a step of a write fail there).
    explicit NodeConfiguration(NodeConfigHost& host, support::SystemCalls& calls = support::realSystemCalls());
    /// Deletes the backup of an import that was not applied, without restoring it: the
    /// imported file stays the server's file.
    ~NodeConfiguration();
    NodeConfiguration(const NodeConfiguration&) = delete;
    NodeConfiguration& operator=(const NodeConfiguration&) = delete;

    void setPaths(NodeConfigPaths paths) { m_paths = std::move(paths); }
    const NodeConfigPaths& paths() const { return m_paths; }

    /// With `fromFile`, reads the file into a new document and builds the nodes from it (a file
    /// that does not read leaves an earlier document, its nodes and the lists as they were);
    /// without, rebuilds the nodes from the document held. Nodes that cannot be built show
    /// "Parser NodeConfig.xml error..." and leave the page not loaded.
    bool LoadNodeConfig(bool fromFile);
    /// Loads the file anew, first restoring the backup of an import that was not applied, and
    /// reads the "StartLogging" flag. The page is unchanged afterwards.
    bool ReloadNodeConfig();
    /// The "Import" button: the chosen file replaces the server's file (a backup of it kept),
    /// and is loaded; one that does not load is rolled back.
    void ImportNodeConfig();
    /// The "Export" button: writes the configuration to a chosen file.
    void ExportNodeConfig();
    /// The "Configure" button: runs `dialog` on the loaded document and rebuilds nodes and
    /// lists when it ends with OK. Without a dialog nothing runs. True when rebuilt.
    bool ConfigureNodes(const ConfigureDialog& dialog);
    /// Rebuilds the nodes and the lists from the edited document and marks the page modified:
    /// what follows the dialog's OK.
    bool rebuildFromDocument();
    /// The "Start Logging" box changed.
    void OnStartLogging(bool checked);
    /// Saves the document to `path` with the settings block after it, replacing the file whole.
    /// The block's history section is the one the server's file holds at that moment (the
    /// document's own when that file cannot be read), so that keys written there since the
    /// load are kept.
    bool WriteNodeConfig(const std::filesystem::path& path);
    /// The write that the sheet's apply runs through the Status page: while a file is loaded
    /// the file is written back, changed or not; then the page is unchanged and the backup of
    /// an import is deleted. False when the write failed.
    bool CompletePendingWrite();

    /// Empties the lists (the entries go with their rows).
    void ClearLists();
    /// Appends the entries of the freshly loaded file's settings block.
    void FillListsFromFile();
    /// Appends the entries of the nodes, after the document was edited.
    void FillListsFromNodes();
    /// The attribute rows of entry row `row`; empty for a row that does not exist.
    std::optional<std::vector<EntryDetail>> ShowEntryDetails(std::size_t row) const;

    bool isLoaded() const { return m_loaded; }
    bool isModified() const { return m_modified; }
    bool isBackupMade() const { return m_backupMade; }
    int startLogging() const { return m_startLogging; }
    const EntryList& entries() const { return m_entries; }
    /// The list of entry pointers that the dialog gets a copy of.
    std::vector<AlarmHistoryEntry*> entryPointers() const;
    const UaBase::NodeMap& nodes() const { return m_nodes; }
    /// The loaded document; null before the first successful read.
    UaXmlDocument* document() const { return m_reader.xmlDocument(); }
    const UaBase::UaNodesetXmlParser& reader() const { return m_reader; }

private:
    void appendEntries(EntryList entries);
    void deleteBackup();
    /// The folder that the file dialogs open in.
    std::filesystem::path initialDirectory() const;

    NodeConfigHost& m_host;
    support::SystemCalls& m_calls;
    NodeConfigPaths m_paths;
    CTavoxBaseNodeFactory m_factory;
    UaBase::UaNodesetXmlParser m_reader;
    UaBase::NodeMap m_nodes;
    EntryList m_entries;
    bool m_loaded = false;
    bool m_modified = false;
    bool m_backupMade = false;
    int m_startLogging = 0;
};

} // namespace nodeconfig
