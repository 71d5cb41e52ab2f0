#include "platform/SystemdServiceManager.h"

#include "platform/SdBus.h"
#include "platform/SystemdUnitWatcher.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

// SERVICE_WIN32_OWN_PROCESS and SERVICE_ACCEPT_STOP, for callers that look at them.
constexpr std::uint32_t kOwnProcess = 0x10;
constexpr std::uint32_t kAcceptStop = 0x1;

using SharedBus = std::shared_ptr<sd_bus>;

/// The ends of the manager's jobs, seen through its JobRemoved signal from the moment the
/// object exists, so that a job that ends before its queueing call returns is not missed.
class JobEnds {
public:
    explicit JobEnds(sd_bus* bus)
        : m_bus(bus)
    {
        (void)sd_bus_match_signal(bus,
            &m_slot,
            sdbus::kDestination,
            sdbus::kManagerPath,
            sdbus::kManagerInterface,
            "JobRemoved",
            &JobEnds::onJobRemoved,
            this);
    }
    ~JobEnds() { sd_bus_slot_unref(m_slot); }
    JobEnds(const JobEnds&) = delete;
    JobEnds& operator=(const JobEnds&) = delete;

    /// Processes the bus until the job `path` has ended or `wait` has passed; false then, or
    /// when the signal cannot be followed.
    bool waitFor(const std::string& path, std::chrono::milliseconds wait)
    {
        if (!m_slot)
            return false;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            if (std::find(m_ended.begin(), m_ended.end(), path) != m_ended.end())
                return true;
            const int processed = sd_bus_process(m_bus, nullptr);
            if (processed < 0)
                return false;
            if (processed > 0)
                continue;
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero())
                return false;
            const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(left).count() + 1;
            if (sd_bus_wait(m_bus, static_cast<std::uint64_t>(usec)) < 0)
                return false;
        }
    }

private:
    static int onJobRemoved(sd_bus_message* message, void* userdata, sd_bus_error*)
    {
        std::uint32_t id = 0;
        const char* job = nullptr;
        const char* unit = nullptr;
        const char* result = nullptr;
        if (sd_bus_message_read(message, "uoss", &id, &job, &unit, &result) >= 0 && job)
            static_cast<JobEnds*>(userdata)->m_ended.emplace_back(job);
        return 0;
    }

    sd_bus* m_bus;
    sd_bus_slot* m_slot = nullptr;
    std::vector<std::string> m_ended;
};

class SystemdService final : public ServiceHandle {
public:
    SystemdService(SharedBus bus, std::string busAddress, std::string unit, std::string path)
        : m_bus(std::move(bus))
        , m_busAddress(std::move(busAddress))
        , m_unit(std::move(unit))
        , m_path(std::move(path))
    {
    }

    bool queryStatus(ServiceStatus& status) override
    {
        const auto active = sdbus::getStringProperty(m_bus.get(), m_path.c_str(), sdbus::kUnitInterface, "ActiveState");
        if (!active)
            return false;
        std::uint32_t state = SystemdServiceManager::stateOfActiveState(*active);
        if (state == 0)
            return false;
        if (state == kServiceStopped && hasQueuedJob())
            state = kServiceStartPending;
        status = ServiceStatus {};
        status.serviceType = kOwnProcess;
        status.currentState = state;
        status.controlsAccepted = state == kServiceRunning ? kAcceptStop : 0;
        std::uint32_t pid = 0;
        sdbus::Error error;
        if (sd_bus_get_property_trivial(m_bus.get(),
                sdbus::kDestination,
                m_path.c_str(),
                sdbus::kServiceInterface,
                "MainPID",
                error.get(),
                'u',
                &pid)
            >= 0)
            status.processId = pid;
        return true;
    }

    bool start(std::chrono::milliseconds jobWait) override { return runJob("StartUnit", jobWait); }

    bool stop(ServiceStatus& status, std::chrono::milliseconds jobWait) override
    {
        if (!runJob("StopUnit", jobWait))
            return false;
        if (!queryStatus(status)) {
            status = ServiceStatus {};
            status.currentState = kServiceStopPending;
        }
        return true;
    }

    bool notifyStatusChange(std::uint32_t mask, ServiceStatusCallback callback) override
    {
        m_watcher.reset();
        m_watcher = SystemdUnitWatcher::start(m_busAddress, m_path, mask, std::move(callback));
        return m_watcher != nullptr;
    }

private:
    // StartUnit only queues a job, which systemd runs after answering the calls already
    // waiting: until then the unit still reads inactive. A stopped unit with a job is starting.
    bool hasQueuedJob()
    {
        sdbus::Error error;
        sd_bus_message* reply = nullptr;
        if (sd_bus_get_property(m_bus.get(),
                sdbus::kDestination,
                m_path.c_str(),
                sdbus::kUnitInterface,
                "Job",
                error.get(),
                &reply,
                "(uo)")
            < 0)
            return false;
        std::uint32_t id = 0;
        const char* job = nullptr;
        const bool read = sd_bus_message_read(reply, "(uo)", &id, &job) >= 0;
        sd_bus_message_unref(reply);
        return read && id != 0;
    }

    // Queues the job of `method` on the unit and waits up to `jobWait` for it to end: the
    // state of a unit whose job is still queued says nothing of the job's outcome (an
    // inactive unit that is about to start, an activating one that is about to fail). The
    // job's own result is not needed: the unit's state after it tells.
    bool runJob(const char* method, std::chrono::milliseconds jobWait)
    {
        subscribeOnce();
        JobEnds ends(m_bus.get());
        sdbus::Error error;
        sd_bus_message* reply = nullptr;
        const int r = sd_bus_call_method(m_bus.get(),
            sdbus::kDestination,
            sdbus::kManagerPath,
            sdbus::kManagerInterface,
            method,
            error.get(),
            &reply,
            "ss",
            m_unit.c_str(),
            "replace");
        const char* job = nullptr;
        std::string jobPath;
        if (r >= 0 && sd_bus_message_read(reply, "o", &job) >= 0 && job)
            jobPath = job;
        sd_bus_message_unref(reply);
        if (r < 0)
            return false;
        // A job that does not end in time leaves a pending state, which the caller waits out.
        if (!jobPath.empty() && jobWait.count() > 0)
            (void)ends.waitFor(jobPath, jobWait);
        return true;
    }

    // The manager sends job signals to subscribed clients; a second call would only be refused.
    void subscribeOnce()
    {
        if (m_subscribed)
            return;
        m_subscribed = true;
        sdbus::subscribe(m_bus.get());
    }

    SharedBus m_bus;
    std::string m_busAddress;
    std::string m_unit;
    std::string m_path;
    bool m_subscribed = false;
    // Declared last: it stops its thread before the rest goes.
    std::unique_ptr<SystemdUnitWatcher> m_watcher;
};

class SystemdManager final : public ManagerHandle {
public:
    SystemdManager(SharedBus bus, std::string busAddress)
        : m_bus(std::move(bus))
        , m_busAddress(std::move(busAddress))
    {
    }

    std::unique_ptr<ServiceHandle> openService(std::string_view name) override
    {
        const std::string unit = SystemdServiceManager::unitNameFor(name);
        // LoadUnit rather than GetUnit: an installed unit that is inactive may be unloaded.
        sdbus::Error error;
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(m_bus.get(),
                sdbus::kDestination,
                sdbus::kManagerPath,
                sdbus::kManagerInterface,
                "LoadUnit",
                error.get(),
                &reply,
                "s",
                unit.c_str())
            < 0)
            return nullptr;
        const char* path = nullptr;
        std::string unitPath;
        if (sd_bus_message_read(reply, "o", &path) >= 0 && path)
            unitPath = path;
        sd_bus_message_unref(reply);
        if (unitPath.empty())
            return nullptr;
        const auto loadState
            = sdbus::getStringProperty(m_bus.get(), unitPath.c_str(), sdbus::kUnitInterface, "LoadState");
        if (!loadState || *loadState != "loaded")
            return nullptr;
        return std::make_unique<SystemdService>(m_bus, m_busAddress, unit, unitPath);
    }

private:
    SharedBus m_bus;
    std::string m_busAddress;
};

} // namespace

std::unique_ptr<ManagerHandle> SystemdServiceManager::openManager()
{
    sdbus::BusPtr bus = sdbus::openSystemBus(m_busAddress);
    if (!bus)
        return nullptr;
    return std::make_unique<SystemdManager>(SharedBus(bus.release(), sdbus::BusDeleter {}), m_busAddress);
}

std::string SystemdServiceManager::unitNameFor(std::string_view serviceName)
{
    std::string unit;
    for (char c : serviceName)
        unit += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    constexpr std::string_view suffix = ".service";
    if (unit.size() < suffix.size() || unit.compare(unit.size() - suffix.size(), suffix.size(), suffix) != 0)
        unit += suffix;
    return unit;
}

std::uint32_t SystemdServiceManager::stateOfActiveState(std::string_view activeState)
{
    // "refreshing" is a reload of a running unit in newer systemd.
    if (activeState == "active" || activeState == "reloading" || activeState == "refreshing")
        return kServiceRunning;
    if (activeState == "activating")
        return kServiceStartPending;
    if (activeState == "deactivating")
        return kServiceStopPending;
    if (activeState == "inactive" || activeState == "failed")
        return kServiceStopped;
    return 0;
}

} // namespace platform
