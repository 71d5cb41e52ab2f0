#include "app/CPsTavox.h"

#include "app/CTavoxUtilityApp.h"
#include "platform/SystemdServiceManager.h"
#include "testing/SystemdPeer.h"
#include "testing/UiSandbox.h"
#include "uikit/TavoxPage.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

/// A TCP port that another program listens on, on every IPv4 address, until released.
class TakenPort {
public:
    TakenPort()
        : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t size = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(m_fd, 1) != 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            ADD_FAILURE() << "no port to take";
        m_port = ntohs(address.sin_port);
    }
    ~TakenPort() { release(); }
    TakenPort(const TakenPort&) = delete;
    TakenPort& operator=(const TakenPort&) = delete;

    std::uint16_t port() const { return m_port; }
    void release()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
    std::uint16_t m_port = 0;
};

QStringList shownAndCleared(UiSandbox& sandbox)
{
    QStringList texts;
    for (const auto& shown : sandbox.boxes.shown())
        texts << shown.caption + QStringLiteral(": ") + shown.text;
    sandbox.boxes.clear();
    return texts;
}

// The real daemon under the stand-in of the systemd manager: what the sheet says after Start
// and Restart is what became of the daemon, not of the request. Its engine is the stand-in of
// the daemon's tests, made to fail the first time it runs, as on a port that it cannot bind.
TEST(CPsTavoxServiceTest, StartAndRestartOnAPortInUseSayThatTheyFailed)
{
    UiSandbox sandbox;
    TakenPort taken;
    sandbox.setDword(ServerKey::kUaTcpPort, taken.port());
    SystemdPeer peer("tavox-server.service",
        { TAVOX_BINARY_DIR "/server/tavox-server" },
        0,
        0,
        { "TAVOX_REGISTRY=" + sandbox.stores.machine().string(),
            "TAVOX_ENGINE=" TAVOX_TEST_DATA_DIR "/engine",
            "TAVOX_FAKE_ENGINE=fail",
            "TAVOX_FAKE_ENGINE_ONCE=" + (sandbox.dir / "engine-ran").string() });
    ASSERT_TRUE(peer.ready());
    platform::SystemdServiceManager manager(peer.busAddress());
    CPsTavox sheet(QStringLiteral("Tavox Server Utility"),
        sandbox.boxes,
        manager,
        sandbox.sleeper,
        sandbox.delays,
        sandbox.stores.stores());
    CTavoxUtilityApp::AddPages(sheet, sandbox.boxes, sandbox.fileDialogs, sandbox.stores.stores());
    sheet.OnInitDialog();
    sheet.show();
    const auto statusShows = [&](const QString& text) {
        for (const QLabel* label : sheet.GetPage(0)->findChildren<QLabel*>())
            if (label->text() == text)
                return true;
        return false;
    };
    const auto restart = [&] {
        sandbox.boxes.queueAnswer(MbResult::Yes);
        sandbox.boxes.queueAnswer(MbResult::Ok);
        sheet.RequestRestart();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isRestartPending(); }, 20000));
        return shownAndCleared(sandbox).value(1);
    };

    sandbox.boxes.queueAnswer(MbResult::Ok);
    QTest::mouseClick(findButton<QPushButton>(&sheet, QStringLiteral("Start")), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isStartPending(); }, 20000));
    EXPECT_EQ(shownAndCleared(sandbox),
        QStringList(QStringLiteral("Error!: Could not start the Tavox Service. Please recheck your parameters.")));
    EXPECT_TRUE(statusShows(QStringLiteral("Stopped")));

    // The daemon's own check passes; the engine fails.
    taken.release();
    EXPECT_EQ(
        restart(), QStringLiteral("Error!: Could not restart the Tavox Service. Please recheck your parameters."));

    EXPECT_EQ(restart(), QStringLiteral("Information!: Tavox Service has been restarted!"));
    EXPECT_TRUE(statusShows(QStringLiteral("Running")));

    QTest::mouseClick(findButton<QPushButton>(&sheet, QStringLiteral("Stop")), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.isStopPending(); }, 20000));
    EXPECT_TRUE(shownAndCleared(sandbox).isEmpty());
    EXPECT_TRUE(statusShows(QStringLiteral("Stopped")));
}

} // namespace
