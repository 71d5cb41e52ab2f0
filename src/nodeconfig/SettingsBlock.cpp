#include "nodeconfig/SettingsBlock.h"

#include "nodeconfig/NodeConfigFiles.h"
#include "platform/ProfileText.h"
#include "support/Lines.h"
#include "support/TextCodec.h"
#include "uanodes/BaseNode.h"
#include "uanodes/Variable.h"
#include "uatypes/UaString.h"

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
/// root element's.
bool startsElement(std::string_view line)
{
    return line.size() >= 2 && line[0] == '<' && line[1] != '?' && line[1] != '!' && line[1] != '/';
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
        split.historyLines = {std::string(kHistorySectionHeader), startLoggingLine(startLogging)};
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

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

void appendLine(std::string& out, std::string_view line)
{
    out.append(line);
    out.append(kLineEnd);
}

/// The text after `key` in `line`, where the line holds the key.
std::string valueAfter(std::string_view line, std::string_view key)
{
    return std::string(line.substr(line.find(key) + key.size()));
}

} // namespace

void NodeConfigSplitter::addLine(std::string_view line)
{
    if (line == kBlockOpen && m_rootStarted) {
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
    m_rootStarted = m_rootStarted || startsElement(line);
    if (m_documentLines)
        m_documentLines->push_back(line);
    else
        appendLine(*m_documentText, line);
}

NodeConfigSplit NodeConfigSplitter::finish(int startLogging)
{
    normalise(m_split, startLogging);
    return std::move(m_split);
}

NodeConfigSplit SplitNodeConfigText(std::string_view text, int startLogging)
{
    std::vector<std::string_view> documentLines;
    NodeConfigSplitter splitter(documentLines);
    support::forEachLine(text, [&splitter](std::string_view line) { splitter.addLine(line); });
    NodeConfigSplit split = splitter.finish(startLogging);
    split.documentLines = std::move(documentLines);
    return split;
}

std::optional<SplitNodeConfigFileResult> SplitNodeConfigFile(const std::filesystem::path& file, int startLogging)
{
    auto text = files::readText(file);
    if (!text)
        return std::nullopt;
    SplitNodeConfigFileResult result;
    result.text = std::make_unique<const std::string>(std::move(*text));
    result.lines = SplitNodeConfigText(*result.text, startLogging);
    return result;
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
        const std::string_view limits[] = {entry->highHighLimit, entry->highLimit, entry->lowLimit, entry->lowLowLimit};
        bool breaksLines = hasLineBreak(identifier);
        for (std::string_view limit : limits)
            breaksLines = breaksLines || hasLineBreak(limit);
        if (breaksLines)
            continue;
        lines.nodeLines.push_back("Node" + std::to_string(counter) + "=" + identifier);
        if (alarmDataTypeOf(variable->dataType()) != AlarmDataType::Boolean) {
            const std::string group = std::string(kExternalAlarmPrefix) + identifier;
            lines.externalLines.push_back("[" + group + "]");
            const char* const kinds[] = {".HighHighLimit=", ".HighLimit=", ".LowLimit=", ".LowLowLimit="};
            for (int i = 0; i < 4; ++i)
                lines.externalLines.push_back(group + kinds[i] + std::string(limits[i]));
        }
        ++counter;
    }
    return lines;
}

std::string ComposeNodeConfigText(const NodeConfigSplit& split, const AlarmSourceLines& alarms)
{
    std::size_t size = 0;
    for (std::string_view line : split.documentLines)
        size += line.size() + kLineEnd.size();
    std::string out;
    out.reserve(size + 4096);
    for (std::string_view line : split.documentLines)
        appendLine(out, line);
    AppendSettingsBlock(out, split, alarms);
    return out;
}

void AppendSettingsBlock(std::string& out, const NodeConfigSplit& split, const AlarmSourceLines& alarms)
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
    if (line == kBlockOpen)
        m_inBlock = true;
    else if (m_inBlock && line == kHistorySectionHeader)
        m_inHistory = true;
    else if (m_inHistory && line == kBlockClose)
        m_inBlock = m_inHistory = false;
    else if (m_inHistory && contains(line, kStartLoggingKey))
        m_value = contains(line, "true") ? 1 : 0;
}

std::optional<int> ReadStartLoggingText(std::string_view text)
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
    if (!m_inSection && line == kAlarmSourceHeader) {
        m_inSection = true;
        return;
    }
    if (line == kBlockClose) {
        m_inSection = false;
        return;
    }
    if (!m_inSection)
        return;
    if (contains(line, m_expected) && !isExternalAlarmLine(line)) {
        m_found.identifiers.emplace_back(line.substr(line.find('=') + 1));
        m_expected = "Node" + std::to_string(m_found.identifiers.size() + 1) + "=";
    } else if (contains(line, kExternalAlarmPrefix)) {
        m_found.pool.emplace_back(line);
    }
}

AlarmSourceNodes ReadAlarmSourceNodesText(std::string_view text)
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
    const std::string prefix(identifier);
    const std::pair<std::string, std::string*> keys[] = {
        {prefix + ".HighHighLimit=", &limits.highHigh},
        {prefix + ".HighLimit=", &limits.high},
        {prefix + ".LowLimit=", &limits.low},
        {prefix + ".LowLowLimit=", &limits.lowLow},
    };
    for (std::size_t i = pool.size(); i-- > 0;) {
        for (const auto& [key, limit] : keys) {
            if (contains(pool[i], key)) {
                *limit = valueAfter(pool[i], key);
                pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
    }
    return limits;
}

std::string WithHistorySection(std::string_view text)
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
    const std::string updated = WithHistorySection(*text);
    return updated == *text || files::replaceText(nodeCfgPath, updated);
}

} // namespace nodeconfig
