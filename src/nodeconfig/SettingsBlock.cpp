#include "nodeconfig/SettingsBlock.h"

#include "nodeconfig/NodeConfigFiles.h"
#include "platform/ProfileText.h"
#include "support/DebugOutput.h"
#include "support/Lines.h"
#include "support/TextCodec.h"
#include "uanodes/BaseNode.h"
#include "uanodes/Variable.h"
#include "uatypes/UaString.h"

#include <algorithm>
#include <array>
#include <utility>

namespace nodeconfig {
namespace {

constexpr std::string_view kBlockOpen = "<!--";
constexpr std::string_view kBlockClose = "-->";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kNonExclusiveHeader = "[AlarmsWithNodesXML.NonExclusiveLevelAlarmXML]";
constexpr std::string_view kExclusiveHeader = "[AlarmsWithNodesXML.ExclusiveLevelAlarmXML]";
constexpr std::string_view kExternalAlarmHeaderStart = "[AlarmsWithNodesXML.ExternalLevelAlarm_";
constexpr std::string_view kStartLoggingKey = "StartLogging";
constexpr std::string_view kStartLoggingTrue = "StartLogging=true";
constexpr std::string_view kStartLoggingFalse = "StartLogging=false";

constexpr std::array<std::string_view, 10> kDefaultLevelLines = {
    kNonExclusiveHeader,
    "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighHighLimit=",
    "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighLimit=",
    "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.LowLimit=",
    "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.LowLowLimit=",
    kExclusiveHeader,
    "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.HighHighLimit=",
    "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.HighLimit=",
    "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLimit=",
    "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLowLimit=",
};

bool contains(std::string_view line, std::string_view part) { return line.find(part) != std::string_view::npos; }

/// A line of an alarm's own limits, as BuildAlarmSourceLines writes them. Whatever its limit or
/// identifier holds (a level key, "Node2="), it is never read as a line of another kind.
bool isExternalAlarmLine(std::string_view line)
{
    return line.starts_with(kExternalAlarmPrefix) || line.starts_with(kExternalAlarmHeaderStart);
}

bool isLevelLine(std::string_view line)
{
    if (line == kNonExclusiveHeader || line == kExclusiveHeader)
        return true;
    if (isExternalAlarmLine(line))
        return false;
    for (std::size_t i = 0; i < kDefaultLevelLines.size(); ++i) {
        if (i != 0 && i != 5 && contains(line, kDefaultLevelLines[i]))
            return true;
    }
    return false;
}

/// An element's start tag at the start of a line: in the indented output of the document, the
/// root element's. Blanks in front (a file indented by hand) and a byte-order mark do not count.
bool startsElement(std::string_view line)
{
    if (line.starts_with("\xEF\xBB\xBF"))
        line.remove_prefix(3);
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    return line.size() >= 2 && line[0] == '<' && line[1] != '?' && line[1] != '!' && line[1] != '/';
}

/// Whether the line opens the settings block: a "<!--" line once the root element has started.
/// Until then `rootStarted` follows the lines; a comment in front of the root is no block.
bool opensBlock(std::string_view line, bool& rootStarted)
{
    if (line == kBlockOpen && rootStarted)
        return true;
    rootStarted = rootStarted || startsElement(line);
    return false;
}

std::string startLoggingLine(int startLogging)
{
    return std::string(startLogging == 1 ? kStartLoggingTrue : kStartLoggingFalse);
}

void normalise(NodeConfigSplit& split, int startLogging)
{
    if (split.levelLines.size() != kDefaultLevelLines.size())
        split.levelLines.assign(kDefaultLevelLines.begin(), kDefaultLevelLines.end());
    if (split.historyLines.empty()) {
        split.historyLines = { std::string(kHistorySectionHeader), startLoggingLine(startLogging) };
        return;
    }
    bool found = false;
    for (std::string& line : split.historyLines) {
        if (contains(line, kStartLoggingKey)) {
            line = startLoggingLine(startLogging);
            found = true;
        }
    }
    // A section that the ODBC Database page created holds no "StartLogging" line; without one
    // the "Start Logging" box would never be stored.
    if (!found)
        split.historyLines.insert(split.historyLines.begin() + 1, startLoggingLine(startLogging));
}

/// Whether a line of the text heads the history section, by the profile functions' rules
/// (blanks around it and letter case do not count).
bool hasHistorySection(std::string_view text)
{
    bool found = false;
    support::forEachLine(text, [&found](std::string_view line) {
        const std::size_t first = line.find_first_not_of(" \t");
        const std::size_t last = line.find_last_not_of(" \t");
        if (first != std::string_view::npos
            && support::equalsNoCase(line.substr(first, last - first + 1), kHistorySectionHeader))
            found = true;
    });
    return found;
}

/// Names on the debug output an alarm that the block cannot hold, its line breaks written out.
void logLeftOut(const UaBase::Variable& variable)
{
    std::string id;
    for (const char c : variable.nodeId().toString().toStdString())
        id += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    support::debugOutput("CPgXmlConfigure: WriteNodeConfig failed. The alarm of " + id
        + " is left out of the settings block: its identifier or a limit holds a line break.");
}

void appendLine(std::string& out, std::string_view line)
{
    out.append(line);
    out.append(kLineEnd);
}

} // namespace

void NodeConfigSplitter::addLine(std::string_view line)
{
    if (m_inBlock ? line == kBlockOpen : opensBlock(line, m_rootStarted)) {
        m_inBlock = true;
        return;
    }
    if (m_inBlock && line == kNonExclusiveHeader) {
        m_inLevels = true;
        m_inHistory = false;
        m_split.levelLines.emplace_back(line);
        return;
    }
    if (m_inBlock && line == kHistorySectionHeader) {
        m_inHistory = true;
        m_inLevels = false;
        m_split.historyLines.emplace_back(line);
        return;
    }
    if (m_inBlock && line == kBlockClose) {
        m_inBlock = m_inLevels = m_inHistory = false;
        return;
    }
    if (m_inBlock) {
        if (m_inLevels && isLevelLine(line))
            m_split.levelLines.emplace_back(line);
        else if (m_inHistory)
            m_split.historyLines.emplace_back(line);
        return;
    }
    if (m_documentLines)
        m_documentLines->push_back(line);
    else if (m_documentText)
        appendLine(*m_documentText, line);
}

NodeConfigSplit NodeConfigSplitter::finish(int startLogging)
{
    normalise(m_split, startLogging);
    return std::move(m_split);
}

NodeConfigSplit splitNodeConfigText(std::string_view text, int startLogging)
{
    std::vector<std::string_view> documentLines;
    NodeConfigSplitter splitter(documentLines);
    support::forEachLine(text, [&splitter](std::string_view line) { splitter.addLine(line); });
    NodeConfigSplit split = splitter.finish(startLogging);
    split.documentLines = std::move(documentLines);
    return split;
}

support::Result<SplitNodeConfigFileResult> SplitNodeConfigFile(const std::filesystem::path& file, int startLogging)
{
    auto text = files::readText(file);
    if (!text)
        return text.error();
    SplitNodeConfigFileResult result;
    result.text = std::make_unique<const std::string>(std::move(*text));
    result.lines = splitNodeConfigText(*result.text, startLogging);
    return result;
}

bool fitsOnALine(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

support::Result<std::vector<std::string>> readHistorySection(const std::filesystem::path& file)
{
    NodeConfigSplitter splitter;
    if (auto read = files::forEachLine(file, [&splitter](std::string_view line) { splitter.addLine(line); }); !read)
        return read.error();
    return splitter.historyLines();
}

AlarmSourceLines BuildAlarmSourceLines(const std::vector<const AlarmHistoryEntry*>& entries)
{
    AlarmSourceLines lines;
    int counter = 1;
    for (const AlarmHistoryEntry* entry : entries) {
        if (!entry || !entry->isAlarm() || !entry->node || entry->node->nodeClass() != UaBase::NodeClass::Variable)
            continue;
        const auto* variable = static_cast<const UaBase::Variable*>(entry->node);
        const std::string identifier = variable->nodeId().identifierString().toStdString();
        const std::string_view limits[]
            = { entry->highHighLimit, entry->highLimit, entry->lowLimit, entry->lowLowLimit };
        bool fits = fitsOnALine(identifier);
        for (std::string_view limit : limits)
            fits = fits && fitsOnALine(limit);
        if (!fits) {
            logLeftOut(*variable);
            continue;
        }
        lines.nodeLines.push_back("Node" + std::to_string(counter) + "=" + identifier);
        if (alarmDataTypeOf(variable->dataType()) != AlarmDataType::Boolean) {
            const std::string group = std::string(kExternalAlarmPrefix) + identifier;
            lines.externalLines.push_back("[" + group + "]");
            const char* const kinds[] = { ".HighHighLimit=", ".HighLimit=", ".LowLimit=", ".LowLowLimit=" };
            for (int i = 0; i < 4; ++i)
                lines.externalLines.push_back(group + kinds[i] + std::string(limits[i]));
        }
        ++counter;
    }
    return lines;
}

std::string composeNodeConfigText(const NodeConfigSplit& split, const AlarmSourceLines& alarms)
{
    std::size_t size = 0;
    for (std::string_view line : split.documentLines)
        size += line.size() + kLineEnd.size();
    std::string out;
    out.reserve(size + 4096);
    for (std::string_view line : split.documentLines)
        appendLine(out, line);
    appendSettingsBlock(out, split, alarms);
    return out;
}

void appendSettingsBlock(std::string& out, const NodeConfigSplit& split, const AlarmSourceLines& alarms)
{
    appendLine(out, kBlockOpen);
    appendLine(out, kAlarmSourceHeader);
    for (const std::string& line : alarms.nodeLines)
        appendLine(out, line);
    for (const std::string& line : split.levelLines)
        appendLine(out, line);
    for (const std::string& line : alarms.externalLines)
        appendLine(out, line);
    for (const std::string& line : split.historyLines)
        appendLine(out, line);
    out.append(kBlockClose);
}

void StartLoggingReader::addLine(std::string_view line)
{
    // The block and its history section as the writer takes them.
    if (!m_inBlock)
        m_inBlock = opensBlock(line, m_rootStarted);
    else if (line == kBlockClose)
        m_inBlock = m_inHistory = false;
    else if (line == kHistorySectionHeader || line == kNonExclusiveHeader)
        m_inHistory = line == kHistorySectionHeader;
    else if (m_inHistory && contains(line, kStartLoggingKey))
        m_value = contains(line, "true") ? 1 : 0;
}

std::optional<int> readStartLoggingText(std::string_view text)
{
    StartLoggingReader reader;
    support::forEachLine(text, [&reader](std::string_view line) { reader.addLine(line); });
    return reader.value();
}

std::optional<int> ReadStartLogging(const std::filesystem::path& file)
{
    StartLoggingReader reader;
    if (!files::forEachLine(file, [&reader](std::string_view line) { reader.addLine(line); }))
        return std::nullopt;
    return reader.value();
}

void AlarmSourceReader::addLine(std::string_view line)
{
    if (!m_inBlock) {
        m_inBlock = opensBlock(line, m_rootStarted);
        return;
    }
    if (line == kBlockClose) {
        m_inBlock = m_inSection = false;
        return;
    }
    if (!m_inSection) {
        m_inSection = line == kAlarmSourceHeader;
        return;
    }
    if (contains(line, m_expected) && !isExternalAlarmLine(line)) {
        m_found.identifiers.emplace_back(line.substr(line.find('=') + 1));
        m_expected = "Node" + std::to_string(m_found.identifiers.size() + 1) + "=";
    } else if (contains(line, kExternalAlarmPrefix)) {
        m_found.pool.emplace_back(line);
    }
}

AlarmSourceNodes readAlarmSourceNodesText(std::string_view text)
{
    AlarmSourceReader reader;
    support::forEachLine(text, [&reader](std::string_view line) { reader.addLine(line); });
    return reader.take();
}

AlarmSourceNodes ReadAlarmSourceNodes(const std::filesystem::path& file)
{
    AlarmSourceReader reader;
    if (!files::forEachLine(file, [&reader](std::string_view line) { reader.addLine(line); }))
        return {};
    return reader.take();
}

AlarmLimits TakeAlarmLimits(std::string_view identifier, std::vector<std::string>& pool)
{
    AlarmLimits limits;
    // A line names the identifier whole: the group's prefix, the identifier, then the kind's key.
    // Blanks in front of the line were read before and still are.
    const std::string group = std::string(kExternalAlarmPrefix) + std::string(identifier);
    const std::pair<std::string, std::string*> keys[] = {
        { group + ".HighHighLimit=", &limits.highHigh },
        { group + ".HighLimit=", &limits.high },
        { group + ".LowLimit=", &limits.low },
        { group + ".LowLowLimit=", &limits.lowLow },
    };
    for (std::size_t i = pool.size(); i-- > 0;) {
        std::string_view line = pool[i];
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        for (const auto& [key, limit] : keys) {
            if (line.starts_with(key)) {
                *limit = std::string(line.substr(key.size()));
                pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
    }
    return limits;
}

std::string withHistorySection(std::string_view text)
{
    std::string_view body = text;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
        body.remove_suffix(1);
    std::string out;
    if (body.ends_with(kBlockClose)) {
        const std::string_view section = kHistorySectionHeader.substr(1, kHistorySectionHeader.size() - 2);
        // A section that holds neither key but is there already gets no second header.
        if (platform::profile_text::findValue(text, section, "SQLTYPE")
            || platform::profile_text::findValue(text, section, kStartLoggingKey) || hasHistorySection(text))
            return std::string(text);
        const std::size_t close = body.size() - kBlockClose.size();
        out.append(text.substr(0, close));
        // The header goes on a line of its own, whatever stands in front of the "-->".
        if (close > 0 && text[close - 1] != '\n')
            out.append(kLineEnd);
        out.append(kHistorySectionHeader).append(kLineEnd);
        out.append(text.substr(close));
        return out;
    }
    out.append(text);
    if (!out.empty() && out.back() != '\n')
        out.append(kLineEnd);
    out.append(kBlockOpen).append(kLineEnd).append(kHistorySectionHeader).append(kLineEnd).append(kBlockClose);
    return out;
}

bool EnsureHistorySection(const std::filesystem::path& nodeCfgPath)
{
    const auto text = files::readText(nodeCfgPath);
    if (!text)
        return false;
    const std::string updated = withHistorySection(*text);
    return updated == *text || files::replaceText(nodeCfgPath, updated);
}

} // namespace nodeconfig
