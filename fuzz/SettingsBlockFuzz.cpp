// The settings block of the node configuration file: the first byte picks the "Start Logging"
// value, the text up to the first NUL byte is a saved file, and what follows names up to four
// alarms (identifier and four limits, split at NUL bytes). Reading any text is safe; a split
// file written back splits into the same lines and reads back its "StartLogging" value;
// alarms written read back with their identifiers and limits; lines arriving in pieces read
// as the whole text does; adding the history section twice adds it once.
#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/SettingsBlock.h"
#include "support/Lines.h"
#include "uanodes/Variable.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaString.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace nodeconfig;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<std::string> linesOf(std::string_view text)
{
    std::vector<std::string> lines;
    support::forEachLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

/// The lines as they come from a file read in blocks: cut where the input says.
void checkLinesInPieces(std::string_view text, std::uint8_t cut)
{
    std::vector<std::string> pieced;
    const auto keep = [&pieced](std::string_view line) { pieced.emplace_back(line); };
    support::LineAssembler lines;
    const std::size_t step = cut % 7 + 1;
    for (std::size_t at = 0; at < text.size(); at += step)
        lines.feed(text.substr(at, step), keep);
    lines.finish(keep);
    check(pieced == linesOf(text));
}

/// An element's start tag at the start of a line, as the splitter finds the root element.
bool hasRootElement(const NodeConfigSplit& split)
{
    for (std::string_view line : split.documentLines)
        if (line.size() >= 2 && line[0] == '<' && line[1] != '?' && line[1] != '!' && line[1] != '/')
            return true;
    return false;
}

void checkSplitRoundTrip(std::string_view text, int startLogging)
{
    const NodeConfigSplit split = splitNodeConfigText(text, startLogging);
    check(split.levelLines.size() == 10);
    check(!split.historyLines.empty() && split.historyLines.front() == kHistorySectionHeader);
    const std::string written = composeNodeConfigText(split, {});
    // A block is read only after the root element starts: without one, there is no file to keep.
    if (!hasRootElement(split))
        return;
    const NodeConfigSplit again = splitNodeConfigText(written, startLogging);
    check(again.documentLines == split.documentLines);
    check(again.levelLines == split.levelLines);
    check(again.historyLines == split.historyLines);
    check(composeNodeConfigText(again, {}) == written);
    check(readStartLoggingText(written) == startLogging);
}

struct Alarm {
    std::string identifier;
    std::string limits[4];
};

std::vector<Alarm> alarmsFrom(std::string_view rest)
{
    std::vector<Alarm> alarms;
    std::vector<std::string_view> fields;
    while (fields.size() < 20) {
        const std::size_t nul = rest.find('\0');
        fields.push_back(rest.substr(0, nul));
        if (nul == std::string_view::npos)
            break;
        rest.remove_prefix(nul + 1);
    }
    for (std::size_t i = 0; i + 5 <= fields.size(); i += 5)
        alarms.push_back({ std::string(fields[i]),
            { std::string(fields[i + 1]),
                std::string(fields[i + 2]),
                std::string(fields[i + 3]),
                std::string(fields[i + 4]) } });
    return alarms;
}

bool breaksLines(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

void checkAlarmRoundTrip(const std::vector<Alarm>& alarms, bool numeric)
{
    std::vector<std::unique_ptr<UaBase::Variable>> variables;
    std::vector<AlarmHistoryEntry> entries;
    entries.reserve(alarms.size());
    std::vector<const Alarm*> written;
    for (const Alarm& alarm : alarms) {
        auto variable = std::make_unique<UaBase::Variable>(UaNodeId(UaString(alarm.identifier.c_str()), 2));
        variable->setDataType(UaNodeId(numeric ? 6u : 1u, 0));
        AlarmHistoryEntry entry;
        entry.node = variable.get();
        entry.highHighLimit = alarm.limits[0];
        entry.highLimit = alarm.limits[1];
        entry.lowLimit = alarm.limits[2];
        entry.lowLowLimit = alarm.limits[3];
        entry.flags = kEntryAlarm;
        entries.push_back(entry);
        variables.push_back(std::move(variable));
        bool breaks = breaksLines(alarm.identifier);
        for (const std::string& limit : alarm.limits)
            breaks = breaks || breaksLines(limit);
        if (!breaks)
            written.push_back(&alarm);
    }
    std::vector<const AlarmHistoryEntry*> pointers;
    for (const AlarmHistoryEntry& entry : entries)
        pointers.push_back(&entry);

    // Level limits of their own, which the alarms' lines must leave as they are.
    std::string document = "<UANodeSet>\r\n</UANodeSet>\r\n<!--\r\n";
    const char* const levels[] = { "NonExclusive", "Exclusive" };
    const char* const kinds[] = { "HighHigh", "High", "Low", "LowLow" };
    for (const char* level : levels) {
        document += std::string("[AlarmsWithNodesXML.") + level + "LevelAlarmXML]\r\n";
        for (const char* kind : kinds)
            document += std::string("AlarmsWithNodesXML.") + level + "LevelAlarmXML." + kind + "Limit=7\r\n";
    }
    document += "-->";
    const NodeConfigSplit split = splitNodeConfigText(document, 0);
    const AlarmSourceLines lines = BuildAlarmSourceLines(pointers);
    check(lines.nodeLines.size() == written.size());
    const std::string text = composeNodeConfigText(split, lines);
    const NodeConfigSplit again = splitNodeConfigText(text, 0);
    check(again.levelLines == split.levelLines);
    check(again.historyLines == split.historyLines);
    AlarmSourceNodes read = readAlarmSourceNodesText(text);

    // An identifier that holds "=" cannot be told from the key of its "NodeN=" line, an empty one
    // lists nothing, and of two equal ones the first takes both groups; the round trip holds for
    // all others, whatever they and their limits hold.
    for (const Alarm* alarm : written) {
        if (alarm->identifier.find('=') != std::string::npos || alarm->identifier.empty())
            return;
        for (const Alarm* other : written)
            if (other != alarm && other->identifier == alarm->identifier)
                return;
    }
    check(read.identifiers.size() == written.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        check(read.identifiers[i] == written[i]->identifier);
    if (!numeric) {
        check(read.pool.empty());
        return;
    }
    check(read.pool.size() == 5 * written.size());
    for (const Alarm* alarm : written) {
        const AlarmLimits limits = TakeAlarmLimits(alarm->identifier, read.pool);
        check(limits.highHigh == alarm->limits[0]);
        check(limits.high == alarm->limits[1]);
        check(limits.low == alarm->limits[2]);
        check(limits.lowLow == alarm->limits[3]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int startLogging = data[0] & 1;
    const bool numeric = (data[0] & 2) != 0;
    std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t nul = input.find('\0');
    const std::string_view text = input.substr(0, nul);

    checkLinesInPieces(text, data[0]);
    checkSplitRoundTrip(text, startLogging);

    // Reading the alarm list and taking limits out of any block is safe.
    AlarmSourceNodes found = readAlarmSourceNodesText(text);
    for (const std::string& identifier : found.identifiers)
        (void)TakeAlarmLimits(identifier, found.pool);
    (void)readStartLoggingText(text);

    const std::string withSection = withHistorySection(text);
    check(withHistorySection(withSection) == withSection);
    check(withSection.size() > text.size() || withSection == text);

    if (nul != std::string_view::npos)
        checkAlarmRoundTrip(alarmsFrom(input.substr(nul + 1)), numeric);
    return 0;
}
