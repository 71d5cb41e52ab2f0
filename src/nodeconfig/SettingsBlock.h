#pragma once

#include "nodeconfig/AlarmHistoryEntry.h"
#include "support/Result.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// The settings block of the node configuration file: INI-style sections inside one XML
/// comment after the root element, which the server reads for its level alarms and its
/// historical logging.
///
/// Lines end at LF; a CR in front of the LF belongs to the line end. The page writes every
/// line with CR LF except the block's last line "-->", which has none. Identifiers in the block
/// are node identifiers without their namespace (UaNodeId::identifierString), in UTF-8.
namespace nodeconfig {

inline constexpr std::string_view kHistorySectionHeader = "[HistorizedtoODBCSQL]";
inline constexpr std::string_view kAlarmSourceHeader = "[AlarmSourceNodes]";
inline constexpr std::string_view kExternalAlarmPrefix = "AlarmsWithNodesXML.ExternalLevelAlarm_";

/// A saved document split from the settings block it carried. The document lines are views
/// into the split text: the text must outlive them.
struct NodeConfigSplit {
    std::vector<std::string_view> documentLines;
    std::vector<std::string> levelLines; ///< the two level-alarm sections, ten lines
    std::vector<std::string> historyLines; ///< "[HistorizedtoODBCSQL]" and its keys
};

/// Splits a saved document line by line, as the lines come; splitNodeConfigText over a text
/// that is produced piece by piece. Document lines are collected as views, appended to a text
/// each with CR LF as they come, or (default-constructed) dropped.
class NodeConfigSplitter {
public:
    NodeConfigSplitter() = default;
    explicit NodeConfigSplitter(std::vector<std::string_view>& documentLines)
        : m_documentLines(&documentLines)
    {
    }
    explicit NodeConfigSplitter(std::string& documentText)
        : m_documentText(&documentText)
    {
    }
    void addLine(std::string_view line);
    /// The history lines found so far, as they stand (not normalised).
    const std::vector<std::string>& historyLines() const { return m_split.historyLines; }
    /// Replaces the history lines found so far: the section carried over comes from elsewhere.
    void setHistoryLines(std::vector<std::string> lines) { m_split.historyLines = std::move(lines); }
    /// The level and history lines, normalised (see splitNodeConfigText); no document lines.
    NodeConfigSplit finish(int startLogging);

private:
    std::vector<std::string_view>* m_documentLines = nullptr;
    std::string* m_documentText = nullptr;
    NodeConfigSplit m_split;
    bool m_rootStarted = false;
    bool m_inBlock = false;
    bool m_inLevels = false;
    bool m_inHistory = false;
};

/// Splits the text, then normalises: anything but exactly ten level lines becomes the ten
/// default lines with empty values; a missing history section becomes the header and a
/// "StartLogging" line; every "StartLogging" line of a found section gets `startLogging`
/// (0 or 1), and a found section without one gets one after its header, so that the
/// "Start Logging" box is always stored. Only a "<!--" line after the start of the root
/// element opens a block: a comment in front of the root (a licence, say) stays document text.
NodeConfigSplit splitNodeConfigText(std::string_view text, int startLogging);

/// splitNodeConfigText over a file, with the file's text kept alongside the lines.
struct SplitNodeConfigFileResult {
    std::unique_ptr<const std::string> text;
    NodeConfigSplit lines;
};
/// Fails when the file cannot be read.
support::Result<SplitNodeConfigFileResult> SplitNodeConfigFile(const std::filesystem::path& file, int startLogging);

/// The history section of the file's block, its lines as they stand (none when the block has no
/// section); fails when the file cannot be read.
support::Result<std::vector<std::string>> readHistorySection(const std::filesystem::path& file);

/// The lines that the block lists the alarms with.
struct AlarmSourceLines {
    std::vector<std::string> nodeLines; ///< "Node1=<identifier>", "Node2=..."
    std::vector<std::string> externalLines; ///< five lines per alarm of a non-Boolean variable
};

/// Whether the text can stand in one line of the block: it holds no line break (CR or LF).
bool fitsOnALine(std::string_view text);

/// The lines of the alarm entries of variables, in list order, numbered from 1. History
/// entries and entries of other node classes give no lines, and neither do alarms whose
/// identifier or limits hold a line break (which would split the block's lines): such an alarm
/// cannot be entered, and one that a file brought along is named on the debug output.
AlarmSourceLines BuildAlarmSourceLines(const std::vector<const AlarmHistoryEntry*>& entries);

/// The whole file: every document line, then the block with the regenerated alarm lines.
std::string composeNodeConfigText(const NodeConfigSplit& split, const AlarmSourceLines& alarms);
/// Appends the block, from "<!--" to the "-->" without line end.
void appendSettingsBlock(std::string& out, const NodeConfigSplit& split, const AlarmSourceLines& alarms);

/// Reads the "StartLogging" flag line by line: the last value (1 when its line holds "true",
/// else 0) found in the history section of the block, which (as for the writer) opens with a
/// "<!--" line after the start of the root element.
class StartLoggingReader {
public:
    void addLine(std::string_view line);
    std::optional<int> value() const { return m_value; }

private:
    std::optional<int> m_value;
    bool m_rootStarted = false;
    bool m_inBlock = false;
    bool m_inHistory = false;
};

/// The last "StartLogging" value of the history section of a block; empty when there is none
/// or the file cannot be read.
std::optional<int> ReadStartLogging(const std::filesystem::path& file);
std::optional<int> readStartLoggingText(std::string_view text);

/// The identifiers listed under "[AlarmSourceNodes]" ("Node1=", "Node2=", ... without gaps),
/// in file order, and the pool of external-level-alarm lines of the block (after the start of
/// the root element, as for the writer). A line that starts as an external-level-alarm line is
/// always one, whatever "NodeN=" its limit holds.
struct AlarmSourceNodes {
    std::vector<std::string> identifiers;
    std::vector<std::string> pool;
};
/// Reads the alarm list line by line.
class AlarmSourceReader {
public:
    void addLine(std::string_view line);
    AlarmSourceNodes take() { return std::move(m_found); }

private:
    AlarmSourceNodes m_found;
    bool m_rootStarted = false;
    bool m_inBlock = false;
    bool m_inSection = false;
    std::string m_expected = "Node1=";
};

/// Empty lists when the file cannot be read.
AlarmSourceNodes ReadAlarmSourceNodes(const std::filesystem::path& file);
AlarmSourceNodes readAlarmSourceNodesText(std::string_view text);

/// The four limits of one alarm, as texts.
struct AlarmLimits {
    std::string highHigh;
    std::string high;
    std::string low;
    std::string lowLow;
};

/// Takes the limit lines of `identifier` out of the pool, scanning from the last line to the
/// first; the line nearest the start of the file wins. A line is the identifier's when it starts
/// (after blanks) with the group prefix, the whole identifier and the kind's key, as the writer
/// writes it: the lines of "15" are never those of "5". The limit is the text after the key, so
/// that an identifier holding "=" reads back its own value.
AlarmLimits TakeAlarmLimits(std::string_view identifier, std::vector<std::string>& pool);

/// Makes sure that the file ends with a settings block holding a "[HistorizedtoODBCSQL]"
/// section, for the ODBC Database page's keys. A file whose text, without trailing line ends,
/// ends with "-->" has its block: when the section is missing (neither "SQLTYPE" nor
/// "StartLogging" is found in it, and no line heads it), its header is inserted as a line in
/// front of that "-->" (trailing line ends stay, and so does a ">" before them).
/// Any other file gets a new block appended. The file is replaced atomically; false when it
/// cannot be read or replaced.
bool EnsureHistorySection(const std::filesystem::path& nodeCfgPath);

/// The text EnsureHistorySection makes of `text`.
std::string withHistorySection(std::string_view text);

} // namespace nodeconfig
