#include "pages/CPgEndpoints.h"

#include "config/EndpointSettings.h"
#include "testing/ScriptedMessageBoxes.h"
#include "testing/ServerKeyStore.h"
#include "testing/UiWidgetFinders.h"
#include "uikit/SheetServices.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using finders::button;
using finders::byLabel;

/// Counts restart requests; one made while a prompt is pending starts no timer, as the sheet does.
class RecordingSheet final : public SheetServices {
public:
    void RequestRestart() override
    {
        ++requests;
        timersStarted += pending ? 0 : 1;
        pending = true;
    }
    void RequestStart() override { ADD_FAILURE(); }
    void RequestStop() override { ADD_FAILURE(); }

    int requests = 0;
    int timersStarted = 0;
    bool pending = false;
};

class CPgEndpointsTest : public ::testing::Test {
protected:
    void open()
    {
        m_page.setSheet(&m_sheet);
        m_page.ensureInitialized();
        m_page.show();
    }
    QLineEdit* port(int group) const { return byLabel<QLineEdit>(&m_page, "Port:", group); }
    QCheckBox* httpsSwitch() const { return m_page.findChild<QCheckBox*>("httpsSwitch"); }

    ServerKeyStore m_server;
    ScriptedMessageBoxes m_boxes;
    RecordingSheet m_sheet;
    CPgEndpoints m_page { m_boxes, m_server.machineStore() };
};

TEST_F(CPgEndpointsTest, OpensWithDefaultsAndThisMachinesUrls)
{
    open();
    const QString host = QString::fromStdU16String(EndpointSettings::computerName());
    ASSERT_FALSE(host.isEmpty());
    EXPECT_EQ(port(0)->text(), "48010");
    EXPECT_EQ(port(1)->text(), "48011");
    EXPECT_EQ(byLabel<QLineEdit>(&m_page, "Server Name:", 1)->text(), host);
    EXPECT_EQ(m_page.findChild<QLabel*>("uaTcpAddress")->text(), "opc.tcp://" + host + ":48010");
    EXPECT_EQ(httpsSwitch()->text(), "https://" + host + ":48011");
    EXPECT_FALSE(httpsSwitch()->isChecked());
    EXPECT_TRUE(button<QCheckBox>(&m_page, "None")->isChecked());
    for (const char* fixed : { "Sign", "Sign&Encrypt", "Basic128Rsa15", "Basic256", "Basic256Sha256" })
        EXPECT_TRUE(button<QCheckBox>(&m_page, fixed)->isChecked() && !button(&m_page, fixed)->isEnabled()) << fixed;
    EXPECT_FALSE(m_page.isModified()) << "filling is not an edit";
    QTest::keyClicks(port(0), "1x");
    EXPECT_EQ(port(0)->text(), "480101") << "digits only";
    EXPECT_TRUE(m_page.isModified());
}

TEST_F(CPgEndpointsTest, ApplyRefusesPortsWithTheirMessages)
{
    const QString same = "The two ports of UA TCP and HTTPS should not be the same.\nPlease reset it!";
    const QString large = "The port of UA TCP or HTTPS should be less than 63335.\nPlease reset it!";
    const struct {
        bool https;
        QString uaTcp, https_, message;
    } cases[] = {
        { false, "65534", "48011", "" },
        { true, "65535", "48011", large },
        { false, "48010", "65535", large },
        { true, "63335", "48011", "" },
        { true, "4840", "4840", same },
        { false, "4840", "4840", "" },
        { true, "", "48011", "" },
        { true, "", "", same },
        { true, "70000", "70000", same },
        { false, "4294967297", "1", large },
    };
    open();
    for (const auto& c : cases) {
        m_server.setDword("UaTcpPort", 7);
        m_boxes.clear();
        if (httpsSwitch()->isChecked() != c.https)
            QTest::mouseClick(httpsSwitch(), Qt::LeftButton, {}, QPoint(4, httpsSwitch()->height() / 2));
        port(0)->setText(c.uaTcp);
        port(1)->setText(c.https_);
        if (!c.message.isEmpty())
            m_boxes.queueAnswer(MbResult::Ok);
        const std::string what = (c.uaTcp + "/" + c.https_).toStdString();
        EXPECT_EQ(m_page.OnApply(), c.message.isEmpty()) << what;
        EXPECT_EQ(m_server.dword("UaTcpPort"), c.message.isEmpty() ? c.uaTcp.toUInt() : 7u) << what;
        if (c.message.isEmpty())
            continue;
        ASSERT_EQ(m_boxes.shown().size(), 1u) << what;
        EXPECT_EQ(m_boxes.shown()[0].text, c.message) << what;
        EXPECT_EQ(m_boxes.shown()[0].caption, "Error!");
        EXPECT_EQ(m_boxes.shown()[0].icon, MbIcon::Error);
    }
}

TEST_F(CPgEndpointsTest, ApplyStoresItsBitsKeepsOthersAndAsksForOneRestart)
{
    m_server.setDword("Authentication", 0x2D);
    m_server.setDword("SecurityMode", 7);
    open();
    QTest::mouseClick(httpsSwitch(), Qt::LeftButton, {}, QPoint(4, httpsSwitch()->height() / 2));
    EXPECT_FALSE(port(1)->isEnabled());
    QTest::mouseClick(button(&m_page, "None"), Qt::LeftButton, {}, QPoint(4, 4));
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_EQ(m_server.dword("Authentication"), 0x1Fu);
    EXPECT_EQ(m_server.dword("SecurityMode"), 6u);
    EXPECT_EQ(m_server.dword("HttpsPort"), 48011u);

    QTest::mouseClick(httpsSwitch(), Qt::LeftButton, {}, QPoint(4, httpsSwitch()->height() / 2));
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_EQ(m_server.dword("Authentication"), 0x3Fu);
    EXPECT_EQ(m_sheet.requests, 2);
    EXPECT_EQ(m_sheet.timersStarted, 1);
}

} // namespace
