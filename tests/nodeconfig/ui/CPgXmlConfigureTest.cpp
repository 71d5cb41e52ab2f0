#include "nodeconfig/ui/CPgXmlConfigure.h"

#include "nodeconfig/ui/CDlgXmlTree.h"
#include "testing/UiSandbox.h"
#include "testing/UiWidgetFinders.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string readFile(const std::filesystem::path& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

QStringList rowTexts(const QTableWidget& list)
{
    QStringList rows;
    for (int row = 0; row < list.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < list.columnCount(); ++column)
            cells << (list.item(row, column) ? list.item(row, column)->text() : QStringLiteral("<none>"));
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList headers(const QTableWidget& list)
{
    QStringList texts;
    for (int column = 0; column < list.columnCount(); ++column)
        texts << list.horizontalHeaderItem(column)->text() + "/" + QString::number(list.columnWidth(column));
    return texts;
}

TEST(CPgXmlConfigureTest, LoadShowRowsToggleStartLoggingApplyWritesTheBlock)
{
    UiSandbox sandbox;
    const std::filesystem::path nodeConfig = sandbox.dir / "NodeConfig.xml";
    std::filesystem::copy_file(std::filesystem::path(TAVOX_TEST_DATA_DIR) / "nodeconfig" / "Tank.xml", nodeConfig);
    const std::string dir = sandbox.dir.path().string() + "/";
    sandbox.setString(ServerKey::kServicePath, std::u16string(dir.begin(), dir.end()));

    CPgXmlConfigure page(sandbox.boxes, sandbox.fileDialogs, sandbox.stores.machineStore());
    page.ensureInitialized();
    page.resize(760, 480);
    page.show();

    auto* name = finders::byLabel<QLabel>(&page, QStringLiteral("Config File Name:"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("NodeConfig.xml"));
    auto* entries = page.findChild<QTableWidget*>(QStringLiteral("entryList"));
    auto* attributes = page.findChild<QTableWidget*>(QStringLiteral("attributeList"));
    ASSERT_TRUE(entries && attributes);
    EXPECT_EQ(entries->accessibleName(), QStringLiteral("Alarm & HA List"));
    EXPECT_EQ(headers(*entries).mid(0, 2), (QStringList { " /25", "#/30" }));
    EXPECT_EQ(entries->horizontalHeaderItem(2)->text(), QStringLiteral("Node Name"));
    EXPECT_EQ(headers(*attributes).first(), QStringLiteral("Attribute/100"));
    EXPECT_EQ(rowTexts(*entries),
        (QStringList {
            "|01|Tank.Level", "|02|Tank.Level", "|03|Pump.Running", "|04|Pump.Running", "|05|Tank.Temperature" }));
    EXPECT_FALSE(entries->item(0, 0)->icon().isNull());

    QTest::mouseClick(entries->viewport(), Qt::LeftButton, {}, entries->visualItemRect(entries->item(0, 2)).center());
    EXPECT_EQ(rowTexts(*attributes),
        (QStringList { "NodeIdentifier|Tank.Level",
            "DataType|Double",
            "NodePath|Tank",
            "HighHighLimit|95",
            "HighLimit|90",
            "LowLimit|10",
            "LowLowLimit|5" }));
    // A click below the last row leaves the attributes as they are.
    QTest::mouseClick(entries->viewport(), Qt::LeftButton, {}, QPoint(20, entries->viewport()->height() - 2));
    EXPECT_EQ(attributes->rowCount(), 7);

    // "Configure" opens the Alarms & Historical Data dialog; Cancel changes nothing.
    finders::onNextDialog<CDlgXmlTree>([](CDlgXmlTree& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Alarms & Historical Data"));
        dialog.reject();
    });
    QTest::mouseClick(finders::button<QPushButton>(&page, QStringLiteral("Configure")), Qt::LeftButton);
    EXPECT_TRUE(sandbox.boxes.shown().empty());
    EXPECT_FALSE(page.isModified());

    auto* startLogging = finders::button<QCheckBox>(&page, QStringLiteral("Start Logging"));
    ASSERT_NE(startLogging, nullptr);
    EXPECT_FALSE(startLogging->isChecked());
    EXPECT_FALSE(page.isModified());
    QTest::mouseClick(startLogging, Qt::LeftButton);
    EXPECT_TRUE(page.isModified());

    // The Status page's apply has the sheet complete this page's write-back.
    ASSERT_TRUE(page.CompletePendingWrite());
    EXPECT_FALSE(page.isModified());
    const std::string written = readFile(nodeConfig);
    EXPECT_TRUE(written.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!--\r\n A small tank")) << written;
    const std::string expectedBlock
        = "</UANodeSet>\r\n<!--\r\n[AlarmSourceNodes]\r\n"
          "Node1=Tank.Level\r\nNode2=Pump.Running\r\nNode3=Tank.Temperature\r\n"
          "[AlarmsWithNodesXML.NonExclusiveLevelAlarmXML]\r\n"
          "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighHighLimit=\r\n"
          "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.HighLimit=\r\n"
          "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.LowLimit=\r\n"
          "AlarmsWithNodesXML.NonExclusiveLevelAlarmXML.LowLowLimit=\r\n"
          "[AlarmsWithNodesXML.ExclusiveLevelAlarmXML]\r\n"
          "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.HighHighLimit=\r\n"
          "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.HighLimit=\r\n"
          "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLimit=\r\n"
          "AlarmsWithNodesXML.ExclusiveLevelAlarmXML.LowLowLimit=\r\n"
          "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level]\r\n"
          "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighHighLimit=95\r\n"
          "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.HighLimit=90\r\n"
          "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLimit=10\r\n"
          "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Level.LowLowLimit=5\r\n"
          "[AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Temperature]\r\n"
          "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Temperature.HighHighLimit=80\r\n"
          "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Temperature.HighLimit=7O\r\n"
          "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Temperature.LowLimit=\r\n"
          "AlarmsWithNodesXML.ExternalLevelAlarm_Tank.Temperature.LowLowLimit=-40000\r\n"
          "[HistorizedtoODBCSQL]\r\nStartLogging=true\r\nSQLTYPE=MySQL\r\nACTIVE=1,1\r\n-->";
    EXPECT_TRUE(written.ends_with(expectedBlock)) << written;

    // Export: a new file, no question of the page, then its message.
    const std::filesystem::path exported = sandbox.dir / "Exported.xml";
    sandbox.fileDialogs.queueAnswer(QString::fromStdString(exported.string()));
    sandbox.boxes.queueAnswer(MbResult::Ok);
    QTest::mouseClick(finders::button<QPushButton>(&page, QStringLiteral("Export")), Qt::LeftButton);
    ASSERT_EQ(sandbox.fileDialogs.shown().size(), 1u);
    const FileDialogRequest& request = sandbox.fileDialogs.shown()[0].request;
    EXPECT_TRUE(sandbox.fileDialogs.shown()[0].save);
    EXPECT_EQ(request.title, QStringLiteral("Export Node Configuration"));
    EXPECT_EQ(request.filter, QStringLiteral("XML File (*.xml)"));
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("xml"));
    EXPECT_EQ(request.initialDirectory.toStdString(), sandbox.dir.path().string());
    ASSERT_EQ(sandbox.boxes.shown().size(), 1u);
    EXPECT_EQ(sandbox.boxes.shown()[0].text, QStringLiteral("Export file sucess."));
    EXPECT_EQ(sandbox.boxes.shown()[0].caption, QStringLiteral("Message"));
    EXPECT_EQ(readFile(exported), written);
}

} // namespace
