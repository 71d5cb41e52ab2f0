#include "nodeconfig/NodeConfiguration.h"

#include "nodeconfig/SettingsBlock.h"
#include "support/Lines.h"
#include "uatypes/UaStatus.h"
#include "uatypes/UaString.h"
#include "uaxml/UaXmlDocument.h"

#include <system_error>
#include <utility>

namespace nodeconfig {
namespace {

constexpr const char* kNotLoaded = "Please import the xml file first.";
constexpr std::string_view kXmlFilter = "XML File (*.xml)";
constexpr std::string_view kXmlPattern = "*.xml";
constexpr std::string_view kXmlSuffix = "xml";

bool isBad(const UaStatus& status) { return (status.code() & 0xC0000000u) != 0; }

void freeDocument(UaXmlDocument* document)
{
    if (!document)
        return;
    document->freeXmlDocument();
    delete document;
}

} // namespace

NodeConfiguration::NodeConfiguration(NodeConfigHost& host, support::SystemCalls& calls)
    : m_host(host)
    , m_calls(calls)
{
    m_reader.setNodeFactory(&m_factory);
}

NodeConfiguration::~NodeConfiguration()
{
    if (m_backupMade)
        files::remove(m_paths.backupPath);
}

bool NodeConfiguration::LoadNodeConfig(bool fromFile)
{
    if (m_paths.nodeCfgPath.empty())
        return false;
    UaBase::NodeMap nodes;
    UaXmlDocument* previous = nullptr;
    if (fromFile) {
        previous = m_reader.xmlDocument();
        UaString errorText;
        // On failure the reader keeps its document: an earlier one stays the page's.
        if (isBad(m_reader.loadNodeset(UaString(m_paths.nodeCfgPath.c_str()), errorText))) {
            if (!previous)
                m_loaded = m_modified = false;
            return false;
        }
    }
    UaString errorText;
    if (isBad(m_reader.parseNodes(nodes, errorText))) {
        m_host.tell({ "Parser NodeConfig.xml error...", "Error" }, false);
        m_loaded = m_modified = false;
        // The document replaced by the new one is nobody's any more.
        freeDocument(previous);
        return false;
    }
    ClearLists();
    m_nodes = std::move(nodes);
    freeDocument(previous);
    m_loaded = true;
    return true;
}

bool NodeConfiguration::ReloadNodeConfig()
{
    bool restoreFailed = false;
    if (m_backupMade) {
        if (files::copyOver(m_paths.backupPath, m_paths.nodeCfgPath)) {
            files::remove(m_paths.backupPath);
            m_modified = m_backupMade = false;
        } else {
            restoreFailed = true;
        }
    } else {
        m_modified = false;
    }
    // The file is read once, for the lists and for the "StartLogging" flag.
    AlarmSourceReader alarms;
    StartLoggingReader startLogging;
    if (!restoreFailed && LoadNodeConfig(true)) {
        // An unreadable file leaves the lists empty and the box as it was.
        (void)files::forEachLine(m_paths.nodeCfgPath, [&](std::string_view line) {
            alarms.addLine(line);
            startLogging.addLine(line);
        });
        appendEntries(entriesFromBlock(m_nodes, alarms.take()));
    } else if (m_loaded) {
        (void)files::forEachLine(m_paths.nodeCfgPath, [&](std::string_view line) { startLogging.addLine(line); });
    }
    if (m_loaded && startLogging.value())
        m_startLogging = *startLogging.value();
    m_host.setPageModified(false);
    return true;
}

void NodeConfiguration::ImportNodeConfig()
{
    const auto chosen = m_host.chooseFile({ FileChoice::Kind::Open,
        "Import Node Configuration",
        kXmlFilter,
        kXmlPattern,
        kXmlSuffix,
        initialDirectory() });
    if (!chosen)
        return;
    if (!files::exists(m_paths.nodeCfgPath) || !files::isWritable(m_paths.nodeCfgPath))
        return;
    if (m_modified
        && !m_host.ask("The Node Configuration had modified. Do you want to discard it and import new? ", "Question"))
        return;
    if (!files::copyOver(m_paths.nodeCfgPath, m_paths.backupPath))
        return;
    m_backupMade = true;
    if (!files::copyOver(*chosen, m_paths.nodeCfgPath))
        return;
    if (!LoadNodeConfig(true)) {
        if (!files::copyOver(m_paths.backupPath, m_paths.nodeCfgPath))
            return;
        deleteBackup();
        m_host.tell({ "Import node configuration fail! Please try again!", "Information", MbIcon::Information }, true);
        return;
    }
    FillListsFromFile();
    m_host.setPageModified(true);
    m_modified = false;
    m_host.tell(
        { "Please restart Tavox server to apply new node configuration", "Information", MbIcon::Information }, true);
}

void NodeConfiguration::ExportNodeConfig()
{
    if (!m_loaded) {
        m_host.tell({ kNotLoaded, "Message" }, false);
        return;
    }
    const auto chosen = m_host.chooseFile({ FileChoice::Kind::Save,
        "Export Node Configuration",
        kXmlFilter,
        kXmlPattern,
        kXmlSuffix,
        initialDirectory() });
    if (!chosen)
        return;
    if (files::exists(*chosen) && files::isWritable(*chosen)
        && !m_host.ask("File Exists. Do you want to overwrite it ? ", "Question"))
        return;
    if (!WriteNodeConfig(*chosen))
        return;
    m_modified = false;
    if (m_backupMade)
        deleteBackup();
    m_host.tell({ "Export file sucess.", "Message", MbIcon::Question }, false);
}

bool NodeConfiguration::ConfigureNodes(const ConfigureDialog& dialog)
{
    if (!m_loaded) {
        m_host.tell({ kNotLoaded, "Message" }, false);
        return false;
    }
    UaXmlDocument* document = m_reader.xmlDocument();
    if (!dialog || !document)
        return false;
    ConfigureRequest request { *document, m_nodes, entryPointers(), m_reader };
    return dialog(request) && rebuildFromDocument();
}

bool NodeConfiguration::rebuildFromDocument()
{
    if (!LoadNodeConfig(false))
        return false;
    FillListsFromNodes();
    m_modified = true;
    m_host.setPageModified(true);
    return true;
}

void NodeConfiguration::OnStartLogging(bool checked)
{
    m_startLogging = checked ? 1 : 0;
    m_host.setPageModified(true);
}

bool NodeConfiguration::WriteNodeConfig(const std::filesystem::path& path)
{
    const UaXmlDocument* document = m_reader.xmlDocument();
    if (!document || !document->isLoaded())
        return false;
    // The save fails where the document's own save would: a read-only file, a folder that
    // cannot take a new one, a document that cannot be serialised.
    const bool writable = files::exists(path) ? files::isWritable(path) : files::mayCreate(path);
    // The document is split from its old block line by line as it is saved, straight into the
    // new file's text; the file is replaced only once that text is whole.
    std::string text;
    std::error_code ec;
    const auto sizeNow = std::filesystem::file_size(path, ec);
    text.reserve(ec ? 0 : static_cast<std::size_t>(sizeNow) + 64 * 1024);
    NodeConfigSplitter splitter(text);
    support::LineAssembler lines;
    const auto addLine = [&splitter](std::string_view line) { splitter.addLine(line); };
    if (!writable || document->saveXmlTo([&](std::string_view piece) { lines.feed(piece, addLine); }) != 0) {
        m_host.tell({ "Update Nodeconfig.xml fail...", "Error" }, false);
        return false;
    }
    lines.finish(addLine);
    // The history section belongs to the ODBC Database page and to whoever else writes it
    // (tavox-admin odbc set, another utility): it is carried over as it stands in the server's
    // file now, not as the document held since its load has it.
    if (auto history = readHistorySection(m_paths.nodeCfgPath))
        splitter.setHistoryLines(std::move(*history));
    std::vector<const AlarmHistoryEntry*> entries(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        entries[i] = m_entries[i].get();
    appendSettingsBlock(text, splitter.finish(m_startLogging), BuildAlarmSourceLines(entries));
    if (!files::replaceText(path, text, m_calls)) {
        m_host.tell({ "Open file fail...", "Error" }, false);
        return false;
    }
    return true;
}

bool NodeConfiguration::CompletePendingWrite()
{
    if (!m_loaded)
        return true;
    if (!WriteNodeConfig(m_paths.nodeCfgPath))
        return false;
    m_modified = false;
    m_host.setPageModified(false);
    if (m_backupMade)
        deleteBackup();
    return true;
}

void NodeConfiguration::ClearLists()
{
    m_entries.clear();
    m_host.listsCleared();
}

void NodeConfiguration::FillListsFromFile()
{
    appendEntries(entriesFromBlock(m_nodes, ReadAlarmSourceNodes(m_paths.nodeCfgPath)));
}

void NodeConfiguration::FillListsFromNodes() { appendEntries(entriesFromNodes(m_nodes)); }

std::optional<std::vector<EntryDetail>> NodeConfiguration::ShowEntryDetails(std::size_t row) const
{
    return row < m_entries.size() ? entryDetails(m_entries[row].get()) : std::nullopt;
}

std::vector<AlarmHistoryEntry*> NodeConfiguration::entryPointers() const
{
    std::vector<AlarmHistoryEntry*> pointers;
    pointers.reserve(m_entries.size());
    for (const auto& entry : m_entries)
        pointers.push_back(entry.get());
    return pointers;
}

void NodeConfiguration::appendEntries(EntryList entries)
{
    for (auto& entry : entries) {
        m_entries.push_back(std::move(entry));
        m_host.rowAppended(*m_entries.back(), m_entries.size() - 1);
    }
}

void NodeConfiguration::deleteBackup()
{
    files::remove(m_paths.backupPath);
    m_backupMade = false;
}

std::filesystem::path NodeConfiguration::initialDirectory() const { return m_paths.nodeCfgPath.parent_path(); }

} // namespace nodeconfig
