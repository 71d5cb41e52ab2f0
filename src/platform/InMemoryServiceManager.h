#pragma once

#include "platform/ServiceManager.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

/// A service manager held in memory, for tests and for running the utility without a real
/// one. Each service has a current state; queued states are reported by the following
/// queries one by one, and a start or stop request replaces the queue with its script.
/// Starting needs a stopped service and stopping a running one, as with the real manager.
/// Notifications are delivered on the thread that calls changeState. Single-threaded; the
/// manager must outlive the handles it gives out.
class InMemoryServiceManager final : public ServiceManager {
public:
    InMemoryServiceManager() = default;
    ~InMemoryServiceManager() override;
    InMemoryServiceManager(const InMemoryServiceManager&) = delete;
    InMemoryServiceManager& operator=(const InMemoryServiceManager&) = delete;

    std::unique_ptr<ManagerHandle> openManager() override;

    /// Adds a service in `state`, or resets an existing one to it.
    void addService(const std::string& name, std::uint32_t state);
    void removeService(const std::string& name);
    /// An unreachable manager cannot be opened (no rights, not running).
    void setReachable(bool reachable) { m_reachable = reachable; }

    /// States that the following queries report, one per query; the last one then stays.
    void queueStates(const std::string& name, std::vector<std::uint32_t> states);
    /// States reported after an accepted start (default: running at the first query).
    void setStartScript(const std::string& name, std::vector<std::uint32_t> states);
    /// States reported after an accepted stop (default: stopped at the first query).
    void setStopScript(const std::string& name, std::vector<std::uint32_t> states);
    void setQueryFails(const std::string& name, bool fails);
    void setStartFails(const std::string& name, bool fails);
    void setStopFails(const std::string& name, bool fails);

    /// Moves the service into `state` now and tells every watcher whose mask holds it.
    void changeState(const std::string& name, std::uint32_t state);

    std::uint32_t state(const std::string& name) const;
    int startCalls(const std::string& name) const;
    int stopCalls(const std::string& name) const;
    /// The job wait of the last start or stop request; -1 ms before the first.
    std::chrono::milliseconds lastJobWait(const std::string& name) const;
    int queryCalls(const std::string& name) const;
    /// The watch mask registered through any open handle of the service (0 when none).
    std::uint32_t watchMask(const std::string& name) const;
    int openManagers() const { return m_openManagers; }
    int openServices() const { return m_openServices; }

private:
    class Manager;
    class Service;

    struct Watcher {
        std::uint32_t mask = 0;
        ServiceStatusCallback callback;
    };
    /// A start or a stop: the states it makes the service pass through, whether it fails, how
    /// often it was asked for.
    struct Request {
        std::vector<std::uint32_t> script;
        bool fails = false;
        int count = 0;
    };
    struct Entry {
        std::uint32_t state = kServiceStopped;
        std::deque<std::uint32_t> upcoming;
        Request start { { kServiceRunning } };
        Request stop { { kServiceStopped } };
        bool queryFails = false;
        std::chrono::milliseconds lastJobWait { -1 };
        int queries = 0;
        std::map<const Service*, Watcher> watchers;
    };

    Entry* find(const std::string& name);
    const Entry* find(const std::string& name) const;
    Entry& entry(const std::string& name);

    bool query(const std::string& name, ServiceStatus& status);
    void recordJobWait(const std::string& name, std::chrono::milliseconds jobWait);
    /// Counts `request` and, unless it fails or the service is not in state `from`, makes the
    /// service `pending` with the request's states to come.
    static bool begin(Entry& e, Request& request, std::uint32_t from, std::uint32_t pending);
    bool start(const std::string& name);
    bool stop(const std::string& name, ServiceStatus& status);
    void watch(const std::string& name, const Service* handle, Watcher watcher);
    void unwatch(const std::string& name, const Service* handle);

    std::map<std::string, Entry> m_services;
    bool m_reachable = true;
    int m_openManagers = 0;
    int m_openServices = 0;
};

} // namespace platform
