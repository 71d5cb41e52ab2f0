#include "nodeconfig/SettingsBlock.h"

#include "nodeconfig/NodeConfigFiles.h"
#include "platform/ProfileText.h"
#include "platform/TextCodec.h"
#include "uabase/BaseNode.h"
#include "uabase/UaString.h"
#include "uabase/Variable.h"

#include <array>
#include <utility>

namespace nodeconfig {
namespace {

constexpr std::string_view kBlockOpen = "<!--";
constexpr std::string_view kBlockClose = "-->";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kNonExclusiveHeader = "[AlarmsWithNodesXML.NonExclusiveLevelAlarmXML]";
constexpr std::string_view kExclusiveHeader = "[AlarmsWithNodesXML.ExclusiveLevelAlarmXML]";
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

bool isLevelLine(std::string_view line)
{
    if (line == kNonExclusiveHeader || line == kExclusiveHeader)
        return true;
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

std::string_view startLoggingLine(int startLogging) { return startLogging == 1 ? kStartLoggingTrue : kStartLoggingFalse; }

void normalise(NodeConfigSplit& split, int startLogging)
{
    if (split.levelLines.size() != kDefaultLevelLines.size())
        split.levelLines.assign(kDefaultLevelLines.begin(), kDefaultLevelLines.end());
    if (split.historyLines.empty()) {
        split.historyLines = {kHistorySectionHeader, startLoggingLine(startLogging)};
        return;
    }
    bool found = false;
    for (std::string_view& line : split.historyLines) {
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
    forEachLine(text, [&found](std::string_view line) {
        const std::size_t first = line.find_first_not_of(" \t");
        const std::size_t last = line.find_last_not_of(" \t");
        if (first != std::string_view::npos
            && platform::equalsNoCase(line.substr(first, last - first + 1), kHistorySectionHeader))
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

NodeConfigSplit SplitNodeConfigText(std::string_view text, int startLogging)
{
    NodeConfigSplit split;
    bool rootStarted = false;
    bool inBlock = false;
    bool inLevels = false;
    bool inHistory = false;
    forEachLine(text, [&](std::string_view line) {
        if (line == kBlockOpen && rootStarted) {
            inBlock = true;
            return;
        }
        if (inBlock && line == kNonExclusiveHeader) {
            inLevels = true;
            inHistory = false;
            split.levelLines.push_back(line);
            return;
        }
        if (inBlock && line == kHistorySectionHeader) {
            inHistory = true;
            inLevels = false;
            split.historyLines.push_back(line);
            return;
        }
        if (inBlock && line == kBlockClose) {
            inBlock = inLevels = inHistory = false;
            return;
        }
        if (inBlock) {
            if (inLevels && isLevelLine(line))
                split.levelLines.push_back(line);
            else if (inHistory)
                split.historyLines.push_back(line);
            return;
        }
        rootStarted = rootStarted || startsElement(line);
        split.documentLines.push_back(line);
    });
    normalise(split, startLogging);
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
    appendLine(out, kBlockOpen);
    appendLine(out, kAlarmSourceHeader);
    for (const std::string& line : alarms.nodeLines)
        appendLine(out, line);
    for (std::string_view line : split.levelLines)
        appendLine(out, line);
    for (const std::string& line : alarms.externalLines)
        appendLine(out, line);
    for (std::string_view line : split.historyLines)
        appendLine(out, line);
    out.append(kBlockClose);
    return out;
}

std::optional<int> ReadStartLoggingText(std::string_view text)
{
    std::optional<int> value;
    bool inBlock = false;
    bool inHistory = false;
    forEachLine(text, [&](std::string_view line) {
        if (line == kBlockOpen)
            inBlock = true;
        else if (inBlock && line == kHistorySectionHeader)
            inHistory = true;
        else if (inHistory && line == kBlockClose)
            inBlock = inHistory = false;
        else if (inHistory && contains(line, kStartLoggingKey))
            value = contains(line, "true") ? 1 : 0;
    });
    return value;
}

std::optional<int> ReadStartLogging(const std::filesystem::path& file)
{
    const auto text = files::readText(file);
    return text ? ReadStartLoggingText(*text) : std::nullopt;
}

AlarmSourceNodes ReadAlarmSourceNodesText(std::string_view text)
{
    AlarmSourceNodes found;
    bool inSection = false;
    std::string expected = "Node1=";
    forEachLine(text, [&](std::string_view line) {
        if (!inSection && line == kAlarmSourceHeader) {
            inSection = true;
            return;
        }
        if (line == kBlockClose) {
            inSection = false;
            return;
        }
        if (!inSection)
            return;
        if (contains(line, expected)) {
            found.identifiers.emplace_back(line.substr(line.find('=') + 1));
            expected = "Node" + std::to_string(found.identifiers.size() + 1) + "=";
        } else if (contains(line, kExternalAlarmPrefix)) {
            found.pool.emplace_back(line);
        }
    });
    return found;
}

AlarmSourceNodes ReadAlarmSourceNodes(const std::filesystem::path& file)
{
    const auto text = files::readText(file);
    return text ? ReadAlarmSourceNodesText(*text) : AlarmSourceNodes{};
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
