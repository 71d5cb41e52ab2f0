#include "nodeconfig/NodesetEditor.h"

#include "nodeconfig/AlarmHistoryEntry.h"
#include "nodeconfig/SettingsBlock.h"
#include "uanodes/Variable.h"
#include "uaxml/UaXmlDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace nodeconfig;

/// A document of `elements` inside the root, loaded as the page loads its file.
struct Document {
    explicit Document(const std::string& elements)
    {
        const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\n"
            + elements + "</UANodeSet>\n";
        EXPECT_EQ(document.loadXmlMemory(xml.data(), static_cast<int>(xml.size()), nullptr), 0);
    }
    /// The saved document between its root's tags, one element per line.
    std::string body() const
    {
        std::string text;
        EXPECT_EQ(document.saveXmlMemory(text), 0);
        const std::size_t start = text.find('\n', text.find("<UANodeSet")) + 1;
        return text.substr(start, text.find("</UANodeSet>") - start);
    }
    UaXmlDocument document;
};

UaBase::Variable variable(const char* nodeId) { return UaBase::Variable(UaNodeId::fromXmlString(UaString(nodeId))); }

TEST(NodesetEditorTest, FindsTheFirstVariableElementOfTheTextAsWritten)
{
    Document doc("<UAVariable NodeId=\"ns=2;s=First\" Tag=\"1\"/>\n"
                 "<UAObject NodeId=\"ns=2;s=Object\"/>\n"
                 "<UAVariable Tag=\"2\"/>\n"
                 "<UAVariable NodeId=\"ns=2;s=Twice\" Tag=\"3\"/>\n"
                 "<UAVariable NodeId=\"ns=2;s=Twice\" Tag=\"4\"/>\n"
                 "<UAVariable NodeId=\"ns=02;i=7\" Tag=\"5\"/>\n"
                 "<Aliases/>\n");
    NodesetEditor editor(doc.document);
    const auto tagAt = [&doc](std::string_view idText, NodesetEditor& edit) {
        if (!edit.FindVariableElement(idText))
            return std::string("-");
        char* tag = nullptr;
        doc.document.getAttributeValue("Tag", tag);
        std::string text = tag ? tag : "";
        UaXmlDocument::freeXmlString(tag);
        return text;
    };
    EXPECT_EQ(tagAt("ns=2;s=First", editor), "1");
    EXPECT_EQ(tagAt("ns=2;s=Twice", editor), "3");
    // The text is read into a node id and printed again before it is compared.
    EXPECT_EQ(tagAt("ns=2;i=7", editor), "5");
    EXPECT_EQ(tagAt("ns=2;s=Object", editor), "-");
    // An element without NodeId never matches, not even the null node id.
    EXPECT_EQ(tagAt("i=0", editor), "-");
    EXPECT_STREQ(doc.document.getNodeName(), "Aliases");
}

TEST(NodesetEditorTest, ANewAlarmElementGoesLastWithItsAttributesInOrder)
{
    Document doc("<UAVariable NodeId=\"ns=2;s=Level\" DataType=\"Double\">\n"
                 "<DisplayName>Level</DisplayName>\n"
                 "</UAVariable>\n");
    const UaBase::Variable level = variable("ns=2;s=Level");
    NodesetEditor(doc.document).SetAlarmElement(&level, "true", { "95", "90", "", "5" });
    EXPECT_EQ(doc.body(),
        "  <UAVariable NodeId=\"ns=2;s=Level\" DataType=\"Double\">\n"
        "    <DisplayName>Level</DisplayName>\n"
        "    <Tavox_Alarm Alarm=\"true\" AlarmLimit_HH=\"95\" AlarmLimit_H=\"90\" AlarmLimit_L=\"\" "
        "AlarmLimit_LL=\"5\"/>\n"
        "  </UAVariable>\n");
}

TEST(NodesetEditorTest, AnExistingAlarmElementIsChangedInPlace)
{
    Document doc("<UAVariable NodeId=\"ns=2;s=Level\">\n"
                 "<Tavox_Alarm AlarmLimit_H=\"1\" Alarm=\"false\" Note=\"kept\"/>\n"
                 "<DisplayName>Level</DisplayName>\n"
                 "</UAVariable>\n");
    const UaBase::Variable level = variable("ns=2;s=Level");
    NodesetEditor editor(doc.document);
    editor.SetAlarmElement(&level, "true", { "95", "90", "10", "5" });
    EXPECT_EQ(doc.body(),
        "  <UAVariable NodeId=\"ns=2;s=Level\">\n"
        "    <Tavox_Alarm AlarmLimit_H=\"90\" Alarm=\"true\" Note=\"kept\" AlarmLimit_HH=\"95\" "
        "AlarmLimit_L=\"10\" AlarmLimit_LL=\"5\"/>\n"
        "    <DisplayName>Level</DisplayName>\n"
        "  </UAVariable>\n");
    // A value that is not UTF-8 is skipped; the others are written.
    editor.SetAlarmElement(&level, "true", { "\xff", "80", "10", "5" });
    EXPECT_NE(
        doc.body().find("AlarmLimit_H=\"80\" Alarm=\"true\" Note=\"kept\" AlarmLimit_HH=\"95\""), std::string::npos)
        << doc.body();
    // A missing node or element changes nothing.
    const std::string before = doc.body();
    const UaBase::Variable other = variable("ns=2;s=Other");
    editor.SetAlarmElement(&other, "true", { "1", "", "", "" });
    editor.SetAlarmElement(nullptr, "true", { "1", "", "", "" });
    EXPECT_EQ(doc.body(), before);
}

TEST(NodesetEditorTest, HistorySetsBothAccessLevelsAndRemovalLeavesReadAndWrite)
{
    Document doc("<UAVariable NodeId=\"ns=2;s=Level\" AccessLevel=\"1\" Historizing=\"false\"/>\n");
    NodesetEditor editor(doc.document);
    EXPECT_TRUE(editor.setAccessLevels("ns=2;s=Level", "7"));
    EXPECT_EQ(doc.body(),
        "  <UAVariable NodeId=\"ns=2;s=Level\" AccessLevel=\"7\" Historizing=\"false\" UserAccessLevel=\"7\"/>\n");
    EXPECT_TRUE(editor.setAccessLevels("ns=2;s=Level", "3"));
    EXPECT_EQ(doc.body(),
        "  <UAVariable NodeId=\"ns=2;s=Level\" AccessLevel=\"3\" Historizing=\"false\" UserAccessLevel=\"3\"/>\n");
    EXPECT_FALSE(editor.setAccessLevels("ns=2;s=Missing", "7"));
}

TEST(NodesetEditorTest, RemovingAnAlarmTakesOnlyTheFirstAlarmElement)
{
    Document doc("<UAVariable NodeId=\"ns=2;s=Level\">\n"
                 "<Tavox_Alarm Alarm=\"true\" Tag=\"1\"><Inner/></Tavox_Alarm>\n"
                 "<Tavox_Alarm Alarm=\"true\" Tag=\"2\"/>\n"
                 "</UAVariable>\n");
    NodesetEditor editor(doc.document);
    EXPECT_TRUE(editor.removeAlarmElement("ns=2;s=Level"));
    EXPECT_EQ(doc.body(),
        "  <UAVariable NodeId=\"ns=2;s=Level\">\n"
        "    <Tavox_Alarm Alarm=\"true\" Tag=\"2\"/>\n"
        "  </UAVariable>\n");
    EXPECT_TRUE(editor.removeAlarmElement("ns=2;s=Level"));
    EXPECT_FALSE(editor.removeAlarmElement("ns=2;s=Level"));
    EXPECT_EQ(doc.body(), "  <UAVariable NodeId=\"ns=2;s=Level\"/>\n");
}

TEST(NodesetEditorTest, ApplyPairsTheTreeWithThePageEntriesByKind)
{
    Document doc("<UAVariable NodeId=\"ns=2;s=Both\" AccessLevel=\"7\" UserAccessLevel=\"7\">"
                 "<Tavox_Alarm Alarm=\"true\" AlarmLimit_HH=\"9\"/></UAVariable>\n"
                 "<UAVariable NodeId=\"ns=2;s=Logged\" AccessLevel=\"7\" UserAccessLevel=\"7\"/>\n"
                 "<UAVariable NodeId=\"ns=2;s=New\" AccessLevel=\"1\"/>\n");
    const UaBase::Variable both = variable("ns=2;s=Both");
    const UaBase::Variable logged = variable("ns=2;s=Logged");
    const UaBase::Variable added = variable("ns=2;s=New");
    const auto entry = [](const UaBase::Variable& v, std::uint16_t flags) {
        AlarmHistoryEntry e;
        e.node = const_cast<UaBase::Variable*>(&v);
        e.flags = flags;
        return e;
    };
    AlarmHistoryEntry bothAlarm = entry(both, kEntryAlarm);
    AlarmHistoryEntry bothHistory = entry(both, kEntryHistory);
    AlarmHistoryEntry loggedHistory = entry(logged, kEntryHistory);
    std::vector<AlarmHistoryEntry*> page = { &bothAlarm, &bothHistory, &loggedHistory };
    // The tree keeps the history of Both (its alarm was removed), drops Logged and adds New's
    // alarm and history.
    AlarmHistoryEntry newAlarm = entry(added, kEntryAlarm);
    newAlarm.highLimit = "50";
    AlarmHistoryEntry bothKept = entry(both, kEntryHistory);
    AlarmHistoryEntry newHistory = entry(added, kEntryHistory);
    ApplyTreeChanges(doc.document, { &newAlarm }, { &bothKept, &newHistory }, page);

    EXPECT_EQ(page, (std::vector<AlarmHistoryEntry*> { &bothAlarm, &loggedHistory }));
    EXPECT_EQ(doc.body(),
        "  <UAVariable NodeId=\"ns=2;s=Both\" AccessLevel=\"7\" UserAccessLevel=\"7\"/>\n"
        "  <UAVariable NodeId=\"ns=2;s=Logged\" AccessLevel=\"3\" UserAccessLevel=\"3\"/>\n"
        "  <UAVariable NodeId=\"ns=2;s=New\" AccessLevel=\"7\" UserAccessLevel=\"7\">\n"
        "    <Tavox_Alarm Alarm=\"true\" AlarmLimit_HH=\"\" AlarmLimit_H=\"50\" AlarmLimit_L=\"\" "
        "AlarmLimit_LL=\"\"/>\n"
        "  </UAVariable>\n");
}

} // namespace
