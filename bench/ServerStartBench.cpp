// Start of tavox-server to ready, as the service manager sees it: the daemon run with
// NOTIFY_SOCKET on a datagram socket of the benchmark's own, from its spawn to its READY=1
// (which it sends once the engine listens), with the build's engine, on
//  - "demo": the demo's boiler, configured as scripts/demo-sandbox.sh does (two alarms, one
//    historized variable),
//  - "plant": the DI nodeset as the node configuration (447 nodes of a device model);
// the engine loads the standard nodeset besides. Side by side, the project's reader reading
// the same two files: the daemon's check of a node configuration (loadNodeset, parseNodes, the
// alarm plan) on the standard nodeset and on the file.
// Counters of a start: the processor time of the daemon and the engine until ready (cpu_s),
// their peak resident memory (VmHWM: daemon_MiB, engine_MiB), and the machine's one-minute
// load average at ready (load1). The load average is printed before and after as well. The
// "Time" of a start is its wall time; its "CPU" column is the benchmark's own, not the server's.
//   build/bench/ServerStartBench

#include "AlarmMonitoring.h"
#include "NodeConfigCheck.h"

#include "platform/SettingsStore.h"
#include "testing/AdminOnStores.h"
#include "testing/ChildProcess.h"
#include "testing/LocalPorts.h"

#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kStandardNodeset = fs::path(TAVOX_NODESETS_DIR) / "Opc.Ua.NodeSet2.xml";
const fs::path kDemoPlant = TAVOX_DEMO_NODECONFIG;
const fs::path kDevicePlant = fs::path(TAVOX_NODESETS_DIR) / "Opc.Ua.Di.NodeSet2.xml";

/// A machine store and service directory of their own for one node configuration file, made
/// with tavox-admin's commands; removed at the end.
class Sandbox {
public:
    Sandbox(const std::string& name, const fs::path& nodeConfig, bool demoPlant)
        : m_dir(fs::temp_directory_path() / ("tavox-start-bench-" + name + "-" + std::to_string(::getpid())))
        , m_stores { platform::SettingsStore(m_dir / "registry.db", platform::RegHive::LocalMachine),
            platform::SettingsStore(m_dir / "user-registry.db", platform::RegHive::CurrentUser) }
    {
        fs::create_directories(m_dir / "srv");
        fs::copy_file(nodeConfig, m_dir / "srv" / "NodeConfig.xml");
        std::vector<std::vector<std::string>> commands = {
            { "init", "--service-path", (m_dir / "srv").string() + "/" },
            { "endpoints", "set", "--port", std::to_string(freePort()), "--https-port", std::to_string(freePort()) },
        };
        if (demoPlant) {
            commands.push_back({ "alarms",
                "set",
                "ns=1;s=Boiler.Temperature",
                "--high-high",
                "95",
                "--high",
                "90",
                "--low",
                "10",
                "--low-low",
                "5" });
            commands.push_back({ "alarms", "set", "ns=1;s=Boiler.BurnerOn" });
            commands.push_back({ "history", "on", "ns=1;s=Boiler.Pressure" });
        }
        for (const auto& command : commands) {
            std::ostringstream out, err;
            if (runAdminOnStores(command, { out, err }, m_stores) != admin::kExitSuccess)
                m_problem += err.str();
        }
    }
    ~Sandbox()
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const fs::path& dir() const { return m_dir; }
    fs::path store() const { return m_dir / "registry.db"; }
    fs::path nodeConfig() const { return m_dir / "srv" / "NodeConfig.xml"; }
    const std::string& problem() const { return m_problem; }

private:
    fs::path m_dir;
    platform::SettingsStores m_stores;
    std::string m_problem;
};

/// The service manager's end of NOTIFY_SOCKET: a datagram socket bound to a path.
class NotifySocket {
public:
    explicit NotifySocket(fs::path path)
        : m_path(std::move(path))
        , m_fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        m_path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        fs::remove(m_path);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            std::abort();
    }
    ~NotifySocket()
    {
        ::close(m_fd);
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    const fs::path& path() const { return m_path; }

    /// The time READY=1 came; nothing when the daemon ended or a minute passed first.
    std::optional<Clock::time_point> waitForReady(ChildProcess& daemon) const
    {
        const auto deadline = Clock::now() + std::chrono::minutes(1);
        while (Clock::now() < deadline) {
            pollfd pfd { m_fd, POLLIN, 0 };
            if (::poll(&pfd, 1, 100) > 0) {
                char message[4096];
                const ssize_t size = ::recv(m_fd, message, sizeof message - 1, 0);
                const Clock::time_point now = Clock::now();
                if (size > 0
                    && ("\n" + std::string(message, static_cast<std::size_t>(size)) + "\n").find("\nREADY=1\n")
                        != std::string::npos)
                    return now;
            } else if (daemon.wait(std::chrono::milliseconds(0))) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

private:
    fs::path m_path;
    int m_fd;
};

/// A field of /proc/PID/status in kB, as MiB.
double statusMiB(pid_t pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::strtod(line.c_str() + field.size() + 1, nullptr) / 1024.0;
    return 0.0;
}

/// User and system time of a running process, in seconds.
double processorSeconds(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t name = stat.rfind(')');
    if (name == std::string::npos)
        return 0.0;
    // After the name: state, ppid, ... utime and stime are the 12th and 13th fields.
    std::istringstream fields(stat.substr(name + 2));
    std::string field;
    double ticks = 0.0;
    for (int i = 1; i <= 13 && fields >> field; ++i)
        if (i >= 12)
            ticks += std::strtod(field.c_str(), nullptr);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

/// The engine: the daemon's one child.
std::optional<pid_t> childOf(pid_t pid)
{
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    long child = 0;
    if (children >> child)
        return static_cast<pid_t>(child);
    return std::nullopt;
}

double loadAverage()
{
    double load[1] = { 0.0 };
    return ::getloadavg(load, 1) == 1 ? load[0] : 0.0;
}

struct StartMeasure {
    double seconds = 0.0;
    double cpuSeconds = 0.0;
    double daemonMiB = 0.0;
    double engineMiB = 0.0;
};

/// Starts the daemon on the sandbox, waits for READY=1, measures, and stops it again.
std::optional<StartMeasure> startToReady(const Sandbox& sandbox, std::string& problem)
{
    const NotifySocket notify(sandbox.dir() / "notify");
    const Clock::time_point started = Clock::now();
    ChildProcess daemon({ TAVOX_SERVER_PROGRAM },
        ChildProcess::Stderr::Discard,
        { "TAVOX_REGISTRY=" + sandbox.store().string(),
            "TAVOX_ENGINE=" TAVOX_ENGINE_BUILD_DIR,
            "NOTIFY_SOCKET=" + notify.path().string() });
    const std::optional<Clock::time_point> ready = notify.waitForReady(daemon);
    if (!ready) {
        problem = "the daemon did not report READY=1 (run it on the sandbox " + sandbox.dir().string() + " to see why)";
        return std::nullopt;
    }
    StartMeasure measure;
    measure.seconds = std::chrono::duration<double>(*ready - started).count();
    measure.daemonMiB = statusMiB(daemon.pid(), "VmHWM");
    measure.cpuSeconds = processorSeconds(daemon.pid());
    if (const std::optional<pid_t> engine = childOf(daemon.pid())) {
        measure.engineMiB = statusMiB(*engine, "VmHWM");
        measure.cpuSeconds += processorSeconds(*engine);
    }
    daemon.signal(SIGTERM);
    if (!daemon.wait(std::chrono::seconds(15))) {
        problem = "the daemon did not stop within 15 s of SIGTERM";
        return std::nullopt;
    }
    return measure;
}

void BM_DaemonStartToReady(benchmark::State& state, const char* name, const fs::path* nodeConfig, bool demoPlant)
{
    const Sandbox sandbox(name, *nodeConfig, demoPlant);
    std::string problem = sandbox.problem();
    // The first start makes the server's certificate and fills the file cache: not measured.
    if (problem.empty())
        (void)startToReady(sandbox, problem);
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    for (auto _ : state) {
        const std::optional<StartMeasure> measure = startToReady(sandbox, problem);
        if (!measure) {
            state.SkipWithError(problem.c_str());
            break;
        }
        state.SetIterationTime(measure->seconds);
        state.counters["cpu_s"] = measure->cpuSeconds;
        state.counters["daemon_MiB"] = measure->daemonMiB;
        state.counters["engine_MiB"] = measure->engineMiB;
        state.counters["load1"] = loadAverage();
    }
}

void BM_ReaderReadsTheSameFiles(benchmark::State& state, const fs::path* nodeConfig)
{
    for (auto _ : state) {
        std::size_t nodes = 0;
        tavoxserver::AlarmPlan plan;
        if (!tavoxserver::checkNodeConfig(kStandardNodeset, &nodes, &plan).ok()
            || !tavoxserver::checkNodeConfig(*nodeConfig, &nodes, &plan).ok()) {
            state.SkipWithError("a file does not read");
            break;
        }
        benchmark::DoNotOptimize(nodes);
    }
}

BENCHMARK_CAPTURE(BM_DaemonStartToReady, demo, "demo", &kDemoPlant, true)
    ->Iterations(1)
    ->Repetitions(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_DaemonStartToReady, plant, "plant", &kDevicePlant, false)
    ->Iterations(1)
    ->Repetitions(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_ReaderReadsTheSameFiles, demo, &kDemoPlant)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_ReaderReadsTheSameFiles, plant, &kDevicePlant)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    std::printf("load average before: %.2f on %ld processors\n", loadAverage(), ::sysconf(_SC_NPROCESSORS_ONLN));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("load average after: %.2f\n", loadAverage());
    return 0;
}
