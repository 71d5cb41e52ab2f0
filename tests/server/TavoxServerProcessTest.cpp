#include "DemoSetup.h"

#include "platform/Sleeper.h"
#include "platform/SystemdServiceManager.h"
#include "service/ServiceController.h"

#include "testing/ChildProcess.h"
#include "testing/SystemdPeer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

const std::string kServerBinary = TAVOX_BINARY_DIR "/server/tavox-server";

TEST(TavoxServerProcessTest, SecondInstanceFailsOnThePortAndSigtermLeavesStatusZero)
{
    DemoSetup demo;
    ChildProcess first({ kServerBinary }, ChildProcess::Stderr::Capture, demo.environment());
    ASSERT_TRUE(first.waitForLine("tavox-server: running")) << first.seen();
    EXPECT_TRUE(isListening(demo.tcpPort()));

    ChildProcess second({ kServerBinary }, ChildProcess::Stderr::Capture, demo.environment());
    EXPECT_TRUE(second.waitForLine("(UA TCP) is in use by another program.")) << second.seen();
    const auto secondStatus = second.wait();
    ASSERT_TRUE(secondStatus.has_value());
    EXPECT_TRUE(WIFEXITED(*secondStatus) && WEXITSTATUS(*secondStatus) != 0);
    EXPECT_TRUE(isListening(demo.tcpPort())) << "the first instance keeps its port";

    // As if the history database had been connected meanwhile.
    demo.setDword(ServerKey::kSqlServerStatus, 1);
    first.signal(SIGTERM);
    EXPECT_TRUE(first.waitForLine("tavox-server: stopped (SQLServerStatus 0)")) << first.seen();
    const auto status = first.wait();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_EQ(demo.dword(ServerKey::kSqlServerStatus), 0u);
    EXPECT_FALSE(isListening(demo.tcpPort()));
}

TEST(TavoxServerProcessTest, UnreadableStoreEndsTheProcessWithAnError)
{
    DemoSetup demo;
    std::filesystem::remove(demo.store());
    ChildProcess server({ kServerBinary }, ChildProcess::Stderr::Capture, demo.environment());
    EXPECT_TRUE(server.waitForLine("tavox-server: cannot start: cannot open the key")) << server.seen();
    const auto status = server.wait();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
}

TEST(TavoxServerProcessTest, NodeConfigurationThatDoesNotReadGivesOneLineOfItsOwn)
{
    DemoSetup demo;
    demo.writeNodeConfig("<?xml version=\"1.0\"?>\n<UANodeSet>\n<UAVariable>\n</UANodeSet>\n");
    ChildProcess server({ kServerBinary }, ChildProcess::Stderr::Capture, demo.environment());
    EXPECT_FALSE(server.waitForLine("no such line: the whole output")) << server.seen();
    const auto status = server.wait();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
    // Every line is the daemon's own: none of the XML library's messages, which take three.
    std::istringstream lines(server.seen());
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.rfind("tavox-server: ", 0), 0u) << line;
    EXPECT_NE(server.seen().find("tavox-server: cannot start: the node configuration file " + demo.nodeConfig().string()
                  + " does not read: line 4: Opening and ending tag mismatch: UAVariable line 3 and UANodeSet.\n"),
        std::string::npos)
        << server.seen();
}

TEST(TavoxServerProcessTest, SigtermWhileTheNodeConfigurationLoadsEndsTheDaemonAtOnce)
{
    DemoSetup demo;
    // Tens of megabytes: seconds of reading, which a stop request must not wait for.
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\n"
                       "<NamespaceUris><Uri>urn:tavox:demo</Uri></NamespaceUris>\n";
    for (int i = 1; i <= 600000; ++i)
        text += "<UAVariable NodeId=\"ns=1;i=" + std::to_string(i) + "\" BrowseName=\"1:V" + std::to_string(i)
            + "\" DataType=\"Double\"/>\n";
    text += "</UANodeSet>\n";
    demo.writeNodeConfig(text);

    ChildProcess server({ kServerBinary }, ChildProcess::Stderr::Capture, demo.environment());
    ASSERT_TRUE(server.waitForLine("tavox-server: settings read from")) << server.seen();
    server.signal(SIGTERM);
    EXPECT_TRUE(server.waitForLine("tavox-server: stopping on SIGTERM during start-up", 5s)) << server.seen();
    const auto status = server.wait(5s);
    ASSERT_TRUE(status.has_value()) << "still running after SIGTERM";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_EQ(server.seen().find("tavox-server: running"), std::string::npos) << server.seen();
    EXPECT_FALSE(isListening(demo.tcpPort()));
}

TEST(TavoxServerProcessTest, ACrashedEngineIsStartedAgainAndOneThatFailedForGoodEndsTheDaemon)
{
    struct Case {
        const char* mode;
        std::vector<std::string> lines; // in this order
        bool published;
        int exitStatus; // after SIGTERM when the daemon still runs
    };
    const Case cases[] = {
        { "crash",
            { "tavox-server: running",
                "the engine ended: it ended with status 1; it is started again in 1 s",
                "tavox-server: engine started",
                "tavox-server: engine listening" },
            true,
            0 },
        { "fail-late",
            { "tavox-server: the engine failed: the history store is broken (a restart cannot mend it)",
                "tavox-server: stopped (SQLServerStatus 0)" },
            true,
            1 },
        { "fail",
            { "tavox-server: the engine did not start: the node configuration does not load",
                "tavox-server: stopped (SQLServerStatus 0)" },
            false,
            1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        DemoSetup demo;
        std::vector<std::string> environment = demo.environment();
        environment.push_back("TAVOX_FAKE_ENGINE=" + std::string(c.mode));
        environment.push_back("TAVOX_FAKE_ENGINE_ONCE=" + (demo.store().parent_path() / "engine-ran").string());
        ChildProcess server({ kServerBinary }, ChildProcess::Stderr::Capture, environment);
        for (const std::string& line : c.lines)
            ASSERT_TRUE(server.waitForLine(line)) << line << "\n" << server.seen();
        EXPECT_EQ(demo.string(ServerKey::kUaTcpUri) != "<missing>", c.published);
        server.signal(SIGTERM);
        const auto status = server.wait();
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == c.exitStatus) << server.seen();
    }
}

/// Real pauses, shortened so that the budgets poll the service quickly.
class ShortSleeper final : public platform::Sleeper {
public:
    void sleepMs(unsigned) override { std::this_thread::sleep_for(100ms); }
};

TEST(TavoxServerProcessTest, ControllerStartsAndStopsTheDaemonThroughTheServiceManager)
{
    DemoSetup demo;
    SystemdPeer peer("tavox-server.service", { kServerBinary }, 0, 0, demo.environment());
    ASSERT_TRUE(peer.ready());

    platform::SystemdServiceManager manager(peer.busAddress());
    ShortSleeper sleeper;
    std::atomic<int> messages { 0 };
    std::atomic<std::uint32_t> lastMessage { 0 };
    ServiceController controller(manager, sleeper);
    controller.Open([&](std::uint32_t state) {
        lastMessage = state;
        ++messages;
    });
    ASSERT_TRUE(controller.isOpen());
    EXPECT_EQ(controller.State(), platform::kServiceStopped);

    ASSERT_TRUE(controller.StartServer());
    EXPECT_EQ(controller.State(), platform::kServiceRunning);
    // The daemon reports ready only once its port listens and its URL is stored.
    EXPECT_TRUE(isListening(demo.tcpPort()));
    EXPECT_EQ(demo.string(ServerKey::kUaTcpUri), "opc.tcp://" + testHostName() + ":" + std::to_string(demo.tcpPort()));

    demo.setDword(ServerKey::kSqlServerStatus, 1);
    ASSERT_TRUE(controller.StopServer());
    EXPECT_EQ(controller.State(), platform::kServiceStopped);
    EXPECT_EQ(demo.dword(ServerKey::kSqlServerStatus), 0u);
    EXPECT_FALSE(isListening(demo.tcpPort()));

    // The polls and the manager's own notices both report; the last word is "stopped".
    for (int i = 0; i < 50 && lastMessage != platform::kServiceStopped; ++i)
        std::this_thread::sleep_for(100ms);
    EXPECT_GE(messages.load(), 2);
    EXPECT_EQ(lastMessage.load(), platform::kServiceStopped);
    controller.Close();
}

} // namespace
