#pragma once

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/NodeConfigHost.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace nodeconfig::testing {

/// One variable of a generated nodeset.
struct Var {
    Var(std::string id, std::string type = "i=11", int access = 3, std::string alarmAttributes = {})
        : nodeId(std::move(id))
        , dataType(std::move(type))
        , accessLevel(access)
        , alarm(std::move(alarmAttributes))
    {
    }
    std::string nodeId;
    std::string dataType;
    int accessLevel;
    std::string alarm; ///< attributes of a `Tavox_Alarm` child, none when empty
};

/// A nodeset with an object under the Objects folder and the variables under it, followed by
/// `trailer` (a settings block, say) after the root element.
inline std::string nodesetXml(const std::vector<Var>& variables, const std::string& trailer = {})
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\n"
                      "  <UAObject NodeId=\"ns=2;s=Tank\" BrowseName=\"2:Tank\"><DisplayName>Tank</DisplayName>\n"
                      "    <References><Reference ReferenceType=\"i=35\" IsForward=\"false\">i=85</Reference>"
                      "</References></UAObject>\n";
    for (const Var& v : variables) {
        xml += "  <UAVariable NodeId=\"" + v.nodeId + "\" BrowseName=\"2:V\" DataType=\"" + v.dataType
            + "\" AccessLevel=\"" + std::to_string(v.accessLevel) + "\">\n    <DisplayName>V</DisplayName>\n"
            + "    <References><Reference ReferenceType=\"i=47\" IsForward=\"false\">ns=2;s=Tank</Reference>"
              "</References>\n";
        if (!v.alarm.empty())
            xml += "    <Tavox_Alarm " + v.alarm + "/>\n";
        xml += "  </UAVariable>\n";
    }
    return xml + "</UANodeSet>\n" + trailer;
}

/// A settings block as the page writes it, with CR LF line ends and the given inner lines.
inline std::string block(const std::vector<std::string>& lines)
{
    std::string text = "<!--\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text + "-->";
}

inline void writeFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

/// The ten level-alarm lines with empty values.
inline std::vector<std::string> levelLines()
{
    std::vector<std::string> lines;
    for (const char* section : { "NonExclusiveLevelAlarmXML", "ExclusiveLevelAlarmXML" }) {
        const std::string name = std::string("AlarmsWithNodesXML.") + section;
        lines.push_back("[" + name + "]");
        for (const char* kind : { ".HighHighLimit=", ".HighLimit=", ".LowLimit=", ".LowLowLimit=" })
            lines.push_back(name + kind);
    }
    return lines;
}

/// Answers the page's prompts from queues and records them; an unexpected prompt fails.
class ScriptedHost final : public NodeConfigHost {
public:
    void tell(const UserMessage& message, bool ownedByPage) override
    {
        told.push_back(message.caption + ": " + message.text);
        icons.push_back(message.icon);
        owned.push_back(ownedByPage);
    }
    bool ask(std::string_view text, std::string_view caption) override
    {
        asked.push_back(std::string(caption) + ": " + std::string(text));
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question " << text;
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::filesystem::path> chooseFile(const FileChoice& choice) override
    {
        choices.push_back(choice);
        choices.back().title = titles.emplace_back(choice.title);
        if (files.empty()) {
            ADD_FAILURE() << "unexpected file dialog " << choice.title;
            return std::nullopt;
        }
        auto file = files.front();
        files.pop_front();
        return file;
    }
    void setPageModified(bool modified) override { pageModified = modified; }
    void listsCleared() override { rows.clear(); }
    void rowAppended(const AlarmHistoryEntry& entry, std::size_t row) override
    {
        EXPECT_EQ(row, rows.size());
        rows.push_back(&entry);
    }

    std::deque<bool> answers;
    std::deque<std::optional<std::filesystem::path>> files;
    std::vector<std::string> told;
    std::vector<MbIcon> icons;
    std::vector<bool> owned;
    std::vector<std::string> asked;
    std::vector<FileChoice> choices;
    std::deque<std::string> titles;
    std::vector<const AlarmHistoryEntry*> rows;
    bool pageModified = false;
};

} // namespace nodeconfig::testing
