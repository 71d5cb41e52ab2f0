#include "pages/CPgEndpoints.h"

#include "app/SheetServices.h"
#include "config/EndpointSettings.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/ServerKeyStore.h"
#include "support/WidgetFinders.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

using finders::button;
using finders::byLabel;

/// Records the pages' requests; a restart request while one is pending starts no timer.
class RecordingSheet final : public SheetServices {
public:
    void RequestRestart() override
    {
        ++restartRequests;
        if (!restartPending) {
            restartPending = true;
            ++restartTimersStarted;
        }
    }
    void RequestStart() override { ADD_FAILURE() << "the page asked for a start"; }
    void RequestStop() override { ADD_FAILURE() << "the page asked for a stop"; }

    int restartRequests = 0;
    int restartTimersStarted = 0;
    bool restartPending = false;
};

const QString kSamePorts = "The two ports of UA TCP and HTTPS should not be the same.\nPlease reset it!";
const QString kTooLarge = "The port of UA TCP or HTTPS should be less than 63335.\nPlease reset it!";

class CPgEndpointsTest : public ::testing::Test {
protected:
    void open()
    {
        m_page.setSheet(&m_sheet);
        m_page.ensureInitialized();
        m_page.show();
    }
    QLineEdit* uaTcpPort() const { return byLabel<QLineEdit>(&m_page, "Port:", 0); }
    QLineEdit* httpsPort() const { return byLabel<QLineEdit>(&m_page, "Port:", 1); }
    QCheckBox* httpsSwitch() const { return m_page.findChild<QCheckBox*>("httpsSwitch"); }
    QCheckBox* none() const { return button<QCheckBox>(&m_page, "None"); }

    ServerKeyStore m_server;
    ScriptedMessageBoxes m_boxes;
    RecordingSheet m_sheet;
    CPgEndpoints m_page {m_boxes};
    const QString m_host = QString::fromStdU16String(EndpointSettings::computerName());
};

TEST_F(CPgEndpointsTest, OpensWithDefaultsAndTheMachinesUrls)
{
    open();
    EXPECT_EQ(uaTcpPort()->text(), "48010");
    EXPECT_EQ(httpsPort()->text(), "48011");
    EXPECT_EQ(byLabel<QLineEdit>(&m_page, "Server Name:", 0)->text(), m_host);
    EXPECT_EQ(byLabel<QLineEdit>(&m_page, "Server Name:", 1)->text(), m_host);
    EXPECT_FALSE(byLabel<QLineEdit>(&m_page, "Server Name:", 0)->isEnabled());
    EXPECT_EQ(m_page.findChild<QLabel*>("uaTcpAddress")->text(), "opc.tcp://" + m_host + ":48010");
    EXPECT_EQ(httpsSwitch()->text(), "https://" + m_host + ":48011");
    EXPECT_FALSE(httpsSwitch()->isChecked());
    EXPECT_TRUE(none()->isChecked());
    for (const char* fixed : {"Sign", "Sign&Encrypt", "Basic128Rsa15", "Basic256", "Basic256Sha256"}) {
        EXPECT_TRUE(button<QCheckBox>(&m_page, fixed)->isChecked()) << fixed;
        EXPECT_FALSE(button<QCheckBox>(&m_page, fixed)->isEnabled()) << fixed;
    }
    EXPECT_FALSE(m_page.isModified()) << "filling is not an edit";

    QTest::keyClicks(uaTcpPort(), "1x");
    EXPECT_EQ(uaTcpPort()->text(), "480101") << "digits only";
    EXPECT_TRUE(m_page.isModified());
}

TEST_F(CPgEndpointsTest, ApplyRefusesPortsWithTheirMessages)
{
    const struct {
        bool https;
        QString uaTcp, httpsPortText;
        std::optional<QString> message;
    } cases[] = {
        {false, "65534", "48011", std::nullopt},
        {true, "65535", "48011", kTooLarge},
        {false, "48010", "65535", kTooLarge},
        {true, "63335", "48011", std::nullopt},
        {true, "4840", "4840", kSamePorts},
        {false, "4840", "4840", std::nullopt},
        {true, "", "48011", std::nullopt},
        {true, "", "", kSamePorts},
    };
    open();
    for (const auto& c : cases) {
        m_server.remove("UaTcpPort");
        m_boxes.clear();
        if (httpsSwitch()->isChecked() != c.https)
            QTest::mouseClick(httpsSwitch(), Qt::LeftButton);
        uaTcpPort()->setText(c.uaTcp);
        httpsPort()->setText(c.httpsPortText);
        if (c.message)
            m_boxes.queueAnswer(MbResult::Ok);
        const std::string what = (c.uaTcp + "/" + c.httpsPortText).toStdString();
        EXPECT_EQ(m_page.OnApply(), !c.message) << what;
        if (c.message) {
            ASSERT_EQ(m_boxes.shown().size(), 1u) << what;
            EXPECT_EQ(m_boxes.shown()[0].text, *c.message) << what;
            EXPECT_EQ(m_boxes.shown()[0].caption, "Error!");
            EXPECT_EQ(m_boxes.shown()[0].icon, MbIcon::Error);
            EXPECT_FALSE(m_server.dword("UaTcpPort")) << what << ": nothing stored";
            EXPECT_EQ(uaTcpPort()->text(), c.uaTcp) << "the page stays as the user left it";
        } else {
            EXPECT_TRUE(m_boxes.shown().empty()) << what;
            EXPECT_EQ(m_server.dword("UaTcpPort"), c.uaTcp.toUInt()) << what;
        }
    }
}

TEST_F(CPgEndpointsTest, ApplyStoresItsBitsAndKeepsTheOthers)
{
    m_server.setDword("Authentication", 0x2D);
    m_server.setDword("SecurityMode", 7);
    open();
    EXPECT_TRUE(httpsSwitch()->isChecked());
    QTest::mouseClick(httpsSwitch(), Qt::LeftButton);
    EXPECT_FALSE(httpsPort()->isEnabled());
    QTest::mouseClick(none(), Qt::LeftButton);
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_EQ(m_server.dword("Authentication"), 0x1Fu);
    EXPECT_EQ(m_server.dword("SecurityMode"), 6u);
    EXPECT_EQ(m_server.dword("UaTcpPort"), 48010u);
    EXPECT_EQ(m_server.dword("HttpsPort"), 48011u);
    EXPECT_FALSE(m_page.isModified());

    QTest::mouseClick(httpsSwitch(), Qt::LeftButton);
    EXPECT_TRUE(httpsPort()->isEnabled());
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_EQ(m_server.dword("Authentication"), 0x3Fu);
}

TEST_F(CPgEndpointsTest, RestartIsRequestedOncePerPendingPrompt)
{
    open();
    ASSERT_TRUE(m_page.OnApply());
    ASSERT_TRUE(m_page.OnApply());
    EXPECT_EQ(m_sheet.restartRequests, 2);
    EXPECT_EQ(m_sheet.restartTimersStarted, 1);

    httpsPort()->setText("65535");
    m_boxes.queueAnswer(MbResult::Ok);
    EXPECT_FALSE(m_page.OnApply());
    EXPECT_EQ(m_sheet.restartRequests, 2) << "a refused apply asks for no restart";
}

TEST_F(CPgEndpointsTest, RefreshReplacesUnsavedEdits)
{
    open();
    uaTcpPort()->setText("1234");
    m_server.setDword("UaTcpPort", 4840);
    m_server.setDword("Authentication", 0x20);
    m_page.Refresh();
    EXPECT_EQ(uaTcpPort()->text(), "4840");
    EXPECT_EQ(m_page.findChild<QLabel*>("uaTcpAddress")->text(), "opc.tcp://" + m_host + ":4840");
    EXPECT_TRUE(httpsSwitch()->isChecked());
    EXPECT_FALSE(m_page.isModified());
}

} // namespace
