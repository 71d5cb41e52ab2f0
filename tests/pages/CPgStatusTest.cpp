#include "pages/CPgStatus.h"

#include "service/ServiceController.h"
#include "testing/UiSandbox.h"
#include "uikit/SheetServices.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace platform;

/// The sheet as the page sees it: its service controller.
class FakeSheet final : public SheetServices {
public:
    FakeSheet(ServiceManager& manager, Sleeper& sleeper)
        : controller(manager, sleeper)
    {
    }
    void RequestRestart() override {}
    void RequestStart() override {}
    void RequestStop() override {}
    ServiceController* Service() override { return &controller; }

    ServiceController controller;
};

QLabel* labelShowing(QWidget& page, const QString& text)
{
    for (QLabel* label : page.findChildren<QLabel*>()) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

bool enabled(QWidget& page, const char* caption)
{
    QPushButton* button = findButton<QPushButton>(&page, QString::fromLatin1(caption));
    EXPECT_NE(button, nullptr) << caption;
    return button && button->isEnabled();
}

TEST(CPgStatusTest, StatusTextAndButtonsFollowTheServiceState)
{
    const QString unknown = QStringLiteral("Unknown status. Please check your Tavox service status!");
    struct Case {
        const char* what;
        std::optional<std::uint32_t> service; // none: no such service
        std::vector<std::uint32_t> later; // states of the second refresh
        bool queryFails;
        QString text;
        bool start, restartAndStop;
        int lastShown;
    };
    const Case cases[] = {
        { "running", kServiceRunning, {}, false, QStringLiteral("Running"), false, true, 4 },
        { "stopped", kServiceStopped, {}, false, QStringLiteral("Stopped"), true, false, 1 },
        { "failed query", kServiceRunning, {}, true, unknown, false, false, -1 },
        { "pending keeps what was shown",
            kServiceRunning,
            { kServiceStopPending },
            false,
            QStringLiteral("Running"),
            false,
            true,
            3 },
        { "paused keeps what was shown",
            kServiceStopped,
            { kServicePaused },
            false,
            QStringLiteral("Stopped"),
            true,
            false,
            7 },
        { "no service", std::nullopt, {}, false, QStringLiteral("---"), true, true, 0 },
    };
    for (const Case& c : cases) {
        UiSandbox sandbox;
        sandbox.services.removeService(UiSandbox::kService);
        if (c.service)
            sandbox.services.addService(UiSandbox::kService, *c.service);
        FakeSheet sheet(sandbox.services, sandbox.sleeper);
        sheet.controller.Open({});
        CPgStatus page(sandbox.boxes, sandbox.stores.machineStore());
        EXPECT_FALSE(page.RefreshStatus()) << "no sheet yet";
        page.setSheet(&sheet);
        page.ensureInitialized();
        if (!c.later.empty()) {
            sandbox.services.queueStates(UiSandbox::kService, c.later);
            page.RefreshStatus();
        }
        if (c.queryFails) {
            sandbox.services.setQueryFails(UiSandbox::kService, true);
            page.RefreshStatus();
        }
        EXPECT_NE(labelShowing(page, c.text), nullptr) << c.what;
        EXPECT_EQ(enabled(page, "Start"), c.start) << c.what;
        EXPECT_EQ(enabled(page, "Restart"), c.restartAndStop) << c.what;
        EXPECT_EQ(enabled(page, "Stop"), c.restartAndStop) << c.what;
        EXPECT_EQ(page.lastShownState(), c.lastShown) << c.what;
        EXPECT_FALSE(page.isModified()) << c.what;
    }
}

TEST(CPgStatusTest, ValuesOfOneCharacterOrNoneAreNotSupported)
{
    struct Case {
        std::optional<std::u16string> stored;
        QString shown;
    };
    const Case cases[] = {
        { std::nullopt, QStringLiteral("Not Supported.") },
        { u"", QStringLiteral("Not Supported.") },
        { u"x", QStringLiteral("Not Supported.") },
        { u"ab", QStringLiteral("ab") },
        { u"opc.tcp://plant:48010", QStringLiteral("opc.tcp://plant:48010") },
        { u"<b>plant</b>", QStringLiteral("<b>plant</b>") },
    };
    for (const Case& c : cases) {
        UiSandbox sandbox;
        if (c.stored)
            sandbox.setString(ServerKey::kUaTcpUri, *c.stored);
        sandbox.setString(ServerKey::kNodeCfg, u"Plant.xml");
        FakeSheet sheet(sandbox.services, sandbox.sleeper);
        CPgStatus page(sandbox.boxes, sandbox.stores.machineStore());
        page.setSheet(&sheet);
        page.ensureInitialized();
        const QString uaTcp = c.shown;
        QLabel* value = labelShowing(page, uaTcp);
        ASSERT_NE(value, nullptr) << uaTcp.toStdString();
        // What a screen reader gets is the stored text itself.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(value);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), uaTcp);
        EXPECT_NE(labelShowing(page, QStringLiteral("ServerConfig.xml")), nullptr) << "the default name";
        EXPECT_NE(labelShowing(page, QStringLiteral("Plant.xml")), nullptr);
    }
}

TEST(CPgStatusTest, CopyMenuOnlyOverAUrlOfARunningService)
{
    UiSandbox sandbox;
    sandbox.setString(ServerKey::kUaTcpUri, u"opc.tcp://plant:48010");
    sandbox.services.addService(UiSandbox::kService, kServiceRunning);
    FakeSheet sheet(sandbox.services, sandbox.sleeper);
    sheet.controller.Open({});
    CPgStatus page(sandbox.boxes, sandbox.stores.machineStore());
    page.setSheet(&sheet);
    page.ensureInitialized();
    page.resize(500, 400);
    page.show();

    const auto centreOf = [&page](const QString& text) {
        QLabel* label = labelShowing(page, text);
        EXPECT_NE(label, nullptr) << text.toStdString();
        return label ? label->mapToGlobal(label->rect().center()) : QPoint();
    };
    const QPoint url = centreOf(QStringLiteral("opc.tcp://plant:48010"));
    const QPoint https = centreOf(QStringLiteral("Not Supported."));
    const QPoint status = centreOf(QStringLiteral("Running"));

    EXPECT_FALSE(page.PrepareCopy(https)) << "nothing to copy";
    EXPECT_FALSE(page.PrepareCopy(status)) << "not over a URL";
    EXPECT_TRUE(page.PrepareCopy(url));
    EXPECT_EQ(page.copiedText(), QStringLiteral("opc.tcp://plant:48010"));
    page.OnCopy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("opc.tcp://plant:48010"));

    sandbox.services.queueStates(UiSandbox::kService, { kServiceStopped });
    page.RefreshStatus();
    EXPECT_FALSE(page.PrepareCopy(url)) << "the service is not shown running";
}

} // namespace
