#include "EngineSupervisor.h"
#include "RestartPolicy.h"

#include "DemoSetup.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <poll.h>
#include <stdlib.h>

#include <functional>

using namespace tavoxserver;
using namespace std::chrono_literals;

namespace {

TEST(RestartPolicyTest, DoublesThePauseUpToItsMostAndGivesUpAtTheFifthCrashWithinTheWindow)
{
    using Clock = RestartPolicy::Clock;
    struct Crash {
        int startedAtS;
        int crashedAtS;
        std::optional<std::chrono::milliseconds> pause;
    };
    struct Case {
        const char* what;
        std::vector<Crash> crashes;
    };
    const Case cases[] = {
        { "doubling", { { 0, 1, 1s }, { 2, 3, 2s }, { 5, 6, 4s }, { 10, 11, 8s }, { 19, 20, std::nullopt } } },
        { "a crash a minute after the start counts afresh",
            { { 0, 1, 1s }, { 2, 3, 2s }, { 5, 70, 1s }, { 71, 72, 2s } } },
        { "crashes spread out are never given up", { { 0, 20, 1s }, { 21, 41, 2s }, { 43, 63, 4s }, { 67, 87, 8s } } },
        { "the pause stops at its most",
            { { 0, 20, 1s },
                { 21, 41, 2s },
                { 43, 63, 4s },
                { 67, 87, 8s },
                { 95, 115, 16s },
                { 131, 151, 30s },
                { 181, 201, 30s } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RestartPolicy policy;
        const Clock::time_point zero = Clock::now();
        for (const Crash& crash : c.crashes)
            EXPECT_EQ(policy.crashed(
                          zero + std::chrono::seconds(crash.startedAtS), zero + std::chrono::seconds(crash.crashedAtS)),
                crash.pause)
                << "crash at " << crash.crashedAtS << " s";
    }
}

/// Records what the supervisor reports, as the daemon's log would.
class Recorder final : public EngineSupervisor::Events {
public:
    void supervisorLine(const std::string& line) override { lines += line + "\n"; }
    void engineLogLine(const std::string& line) override { lines += "engine: " + line + "\n"; }
    void engineMessage(const nlohmann::json& message) override
    {
        lines += "message: " + message["type"].get<std::string>() + "\n";
        if (message["type"] == "listening")
            ++listenings;
    }
    std::string lines;
    int listenings = 0;
};

/// Runs the supervisor's loop until `done` holds or thirty seconds have passed.
bool runUntil(EngineSupervisor& supervisor, const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::vector<pollfd> fds;
        supervisor.addPollFds(fds);
        const int timeout = supervisor.timeoutMs();
        ::poll(fds.data(), fds.size(), timeout < 0 || timeout > 100 ? 100 : timeout);
        supervisor.process();
    }
    return true;
}

std::string handOff(std::uint16_t port)
{
    return nlohmann::json {
        { "type", "configure" },
        { "hostName", "localhost" },
        { "port", port },
        { "users", { { { "name", "operator" }, { "read", true }, { "write", false }, { "execute", true } } } },
        { "alarms", nlohmann::json::array() },
        { "historized", nlohmann::json::array() },
        { "pki", { { "root", "/pki" } } }
    }.dump();
}

const EngineCommand kFakeEngine { "node", kFakeEngineFolder };

TEST(EngineSupervisorTest, EndsOrStartsTheEngineAgainAsItsEndRequires)
{
    using Phase = EngineSupervisor::Phase;
    struct Case {
        const char* mode;
        bool once; // the mode holds for the first run only
        bool stopAfter; // stopped by the daemon once it listens
        int listenings;
        std::string failure;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        { "listen",
            false,
            true,
            1,
            "",
            { "engine started: node " TAVOX_TEST_DATA_DIR "/engine/server.js (process ",
                "engine: hand-off: port PORT, users operator:r-x, 0 alarms, 0 historized, pki /pki\n",
                "engine: stopping: SIGTERM\nengine stopped: it ended with status 0\n" } },
        { "fail", false, false, 0, "the engine did not start: the node configuration does not load", {} },
        { "exit",
            false,
            false,
            0,
            "the engine did not start: it ended with status 1",
            { "engine: error: cannot load the OPC UA library\n" } },
        { "silent",
            false,
            false,
            0,
            "the engine did not start: it did not report listening within 300 ms",
            { "the engine did not report listening within 300 ms: it is killed\n" } },
        { "crash", true, true, 2, "", { "the engine ended: it ended with status 1; it is started again in 10 ms\n" } },
        { "crash",
            false,
            false,
            5,
            "the engine ended too often within a minute, last because it ended with status 1: it is not started again",
            { "it is started again in 20 ms\n", "it is started again in 80 ms\n" } },
        { "fail-late",
            false,
            false,
            1,
            "the engine failed: the history store is broken (a restart cannot mend it)",
            {} },
        { "stubborn",
            false,
            true,
            1,
            "",
            { "engine: SIGTERM ignored\nthe engine did not stop within 300 ms: it is killed\n"
              "engine stopped: it was killed by signal 9 (Killed)\n" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + (c.once ? " once" : ""));
        TempDir dir;
        ::setenv("TAVOX_FAKE_ENGINE", c.mode, 1);
        if (c.once)
            ::setenv("TAVOX_FAKE_ENGINE_ONCE", (dir / "ran").c_str(), 1);
        else
            ::unsetenv("TAVOX_FAKE_ENGINE_ONCE");
        const std::uint16_t port = freePort();
        Recorder events;
        // Only the silent engine waits for its report timeout: a loaded machine starts Node.js slowly.
        const std::chrono::milliseconds report = std::string(c.mode) == "silent" ? 300ms : 10000ms;
        EngineSupervisor supervisor(
            kFakeEngine, handOff(port), events, RestartPolicy({ 10ms, 30s, 60s, 5 }), EngineTimeouts { report, 300ms });
        ASSERT_TRUE(supervisor.start()) << events.lines;
        const bool stable = runUntil(supervisor, [&] {
            return supervisor.phase() == Phase::Ended
                || (c.stopAfter && events.listenings == c.listenings && supervisor.phase() == Phase::Listening);
        });
        ASSERT_TRUE(stable) << events.lines;
        if (c.stopAfter) {
            EXPECT_TRUE(isListening(port)) << "the engine serves the hand-off's port";
            supervisor.stop();
            ASSERT_TRUE(runUntil(supervisor, [&] { return supervisor.phase() == Phase::Ended; })) << events.lines;
        }
        EXPECT_EQ(events.listenings, c.listenings) << events.lines;
        EXPECT_EQ(supervisor.failure(), c.failure) << events.lines;
        for (std::string line : c.lines) {
            if (const auto at = line.find("PORT"); at != std::string::npos)
                line.replace(at, 4, std::to_string(port));
            EXPECT_NE(events.lines.find(line), std::string::npos) << line << "\n" << events.lines;
        }
    }
    ::unsetenv("TAVOX_FAKE_ENGINE");
    ::unsetenv("TAVOX_FAKE_ENGINE_ONCE");
}

TEST(EngineSupervisorTest, AnEngineThatCannotRunSaysWhy)
{
    const std::pair<EngineCommand, std::string> cases[] = {
        { { "node", "/nonexistent/engine" },
            "the engine is not there: /nonexistent/engine/server.js: No such file or directory" },
        { { "/nonexistent/node", TAVOX_TEST_DATA_DIR "/engine" },
            "cannot run the engine with /nonexistent/node: No such file or directory" },
    };
    for (const auto& [command, failure] : cases) {
        Recorder events;
        EngineSupervisor supervisor(command, handOff(freePort()), events);
        EXPECT_FALSE(supervisor.start());
        EXPECT_EQ(supervisor.phase(), EngineSupervisor::Phase::Ended);
        EXPECT_EQ(supervisor.failure(), failure);
        EXPECT_EQ(events.lines, failure + "\n");
    }
}

} // namespace
