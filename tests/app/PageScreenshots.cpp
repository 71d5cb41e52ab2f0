// The screenshot program (ui_screenshots, not a test): pictures of the login, every page of the
// sheet, the two small dialogs and the certificates dialog, for the README and for a look at the program under a real
// display, written to the directory TAVOX_SCREENSHOT_DIR names. scripts/screenshots.sh runs it
// on a virtual display with the demo sandbox's stores.
#include "app/CPsTavox.h"
#include "app/CTavoxUtilityApp.h"
#include "certificates/StoreLayout.h"
#include "certificates/ui/CDlgCertificates.h"
#include "config/EndpointSettings.h"
#include "pages/CDlgAbout.h"
#include "platform/InMemoryServiceManager.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"
#include "testing/ScriptedFileDialogs.h"
#include "testing/UiSandbox.h"
#include "uikit/TavoxPage.h"
#include "users/ui/CLogin.h"
#include "users/ui/CSetPwd.h"

#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

/// The window as the display shows it; where there is no display, as the widget paints.
QPixmap picture(QWidget& window)
{
    window.raise();
    QTest::qWait(300);
    if (QGuiApplication::platformName() == QLatin1String("offscreen") || !window.screen())
        return window.grab();
    const QRect frame = window.frameGeometry();
    return window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
}

void save(QWidget& window, const QDir& dir, const QString& name)
{
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(picture(window).save(path)) << path.toStdString();
}

TEST(PageScreenshots, EveryPage)
{
    const char* target = std::getenv("TAVOX_SCREENSHOT_DIR");
    ASSERT_TRUE(target && *target) << "TAVOX_SCREENSHOT_DIR names no directory for the pictures";
    const QDir dir(QString::fromLocal8Bit(target));
    ASSERT_TRUE(dir.exists());

    // The stores are those of the environment (the demo sandbox); the service runs.
    const platform::SettingsStores stores = platform::settingsStoresFromEnvironment();
    platform::InMemoryServiceManager services;
    services.addService(UiSandbox::kService, platform::kServiceRunning);
    RecordingSleeper sleeper;
    ScriptedMessageBoxes boxes;
    boxes.setAnswerAll(true);

    {
        CLogin login(boxes, UserProfile::utility(stores.user));
        login.show();
        QTest::keyClicks(login.findChild<QLineEdit*>(), QStringLiteral("password"));
        save(login, dir, QStringLiteral("login"));
    }

    CPsTavox sheet(CTavoxUtilityApp::kAppTitle, boxes, services, sleeper, SheetDelays {}, stores);
    ScriptedFileDialogs fileDialogs;
    CTavoxUtilityApp::AddPages(sheet, boxes, fileDialogs, stores);
    sheet.OnInitDialog();
    sheet.show();
    const char* const names[] = { "1-status", "2-endpoints", "3-users", "4-node-config", "5-odbc-database", "6-about" };
    for (int i = 0; i < sheet.GetPageCount(); ++i) {
        sheet.SetActivePage(i);
        save(sheet, dir, QString::fromLatin1(names[i]));
    }

    CDlgAbout about;
    about.show();
    save(about, dir, QStringLiteral("about-box"));
    CSetPwd change(boxes, UserProfile::utility(stores.user));
    change.show();
    save(change, dir, QStringLiteral("change-login-password"));
    const std::string host = support::utf16ToUtf8(EndpointSettings::computerName());
    CDlgCertificates certificatesDialog(boxes,
        certificates::StoreLayout::applications(certificates::stateFolder(nullptr, stores.machine.path())),
        { host, certificates::applicationUri(host) });
    certificatesDialog.show();
    save(certificatesDialog, dir, QStringLiteral("certificates"));
}

} // namespace
