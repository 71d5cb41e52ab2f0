#include "platform/InMemoryServiceManager.h"

#include <cassert>
#include <utility>

namespace platform {

class InMemoryServiceManager::Service final : public ServiceHandle {
public:
    Service(InMemoryServiceManager& owner, std::string name)
        : m_owner(owner)
        , m_name(std::move(name))
    {
        ++m_owner.m_openServices;
    }
    ~Service() override
    {
        m_owner.unwatch(m_name, this);
        --m_owner.m_openServices;
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    bool queryStatus(ServiceStatus& status) override { return m_owner.query(m_name, status); }
    bool start(std::chrono::milliseconds jobWait) override
    {
        m_owner.recordJobWait(m_name, jobWait);
        return m_owner.start(m_name);
    }
    bool stop(ServiceStatus& status, std::chrono::milliseconds jobWait) override
    {
        m_owner.recordJobWait(m_name, jobWait);
        return m_owner.stop(m_name, status);
    }
    bool notifyStatusChange(std::uint32_t mask, ServiceStatusCallback callback) override
    {
        if (!m_owner.find(m_name))
            return false;
        m_owner.watch(m_name, this, Watcher { mask, std::move(callback) });
        return true;
    }

private:
    InMemoryServiceManager& m_owner;
    std::string m_name;
};

class InMemoryServiceManager::Manager final : public ManagerHandle {
public:
    explicit Manager(InMemoryServiceManager& owner)
        : m_owner(owner)
    {
        ++m_owner.m_openManagers;
    }
    ~Manager() override { --m_owner.m_openManagers; }
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    std::unique_ptr<ServiceHandle> openService(std::string_view name) override
    {
        const std::string key(name);
        if (!m_owner.find(key))
            return nullptr;
        return std::make_unique<Service>(m_owner, key);
    }

private:
    InMemoryServiceManager& m_owner;
};

InMemoryServiceManager::~InMemoryServiceManager()
{
    assert(m_openManagers == 0 && m_openServices == 0 && "handles must be closed before their manager goes");
}

std::unique_ptr<ManagerHandle> InMemoryServiceManager::openManager()
{
    if (!m_reachable)
        return nullptr;
    return std::make_unique<Manager>(*this);
}

void InMemoryServiceManager::addService(const std::string& name, std::uint32_t state)
{
    Entry& e = m_services[name];
    e.state = state;
    e.upcoming.clear();
}

void InMemoryServiceManager::removeService(const std::string& name) { m_services.erase(name); }

void InMemoryServiceManager::queueStates(const std::string& name, std::vector<std::uint32_t> states)
{
    Entry& e = entry(name);
    e.upcoming.assign(states.begin(), states.end());
}

void InMemoryServiceManager::setStartScript(const std::string& name, std::vector<std::uint32_t> states)
{
    entry(name).start.script = std::move(states);
}

void InMemoryServiceManager::setStopScript(const std::string& name, std::vector<std::uint32_t> states)
{
    entry(name).stop.script = std::move(states);
}

void InMemoryServiceManager::setQueryFails(const std::string& name, bool fails) { entry(name).queryFails = fails; }

void InMemoryServiceManager::setStartFails(const std::string& name, bool fails) { entry(name).start.fails = fails; }

void InMemoryServiceManager::setStopFails(const std::string& name, bool fails) { entry(name).stop.fails = fails; }

void InMemoryServiceManager::changeState(const std::string& name, std::uint32_t state)
{
    Entry& e = entry(name);
    e.state = state;
    e.upcoming.clear();
    ServiceStatus status;
    status.currentState = state;
    const std::uint32_t bit = notifyBitOf(state);
    // Copy first: a callback may close its handle and so change the watcher list.
    std::vector<ServiceStatusCallback> callbacks;
    for (const auto& [handle, watcher] : e.watchers)
        if (watcher.mask & bit)
            callbacks.push_back(watcher.callback);
    for (const auto& callback : callbacks)
        callback(bit, status);
}

std::uint32_t InMemoryServiceManager::state(const std::string& name) const
{
    const Entry* e = find(name);
    return e ? e->state : 0;
}

int InMemoryServiceManager::startCalls(const std::string& name) const
{
    const Entry* e = find(name);
    return e ? e->start.count : 0;
}

std::chrono::milliseconds InMemoryServiceManager::lastJobWait(const std::string& name) const
{
    const Entry* e = find(name);
    return e ? e->lastJobWait : std::chrono::milliseconds { -1 };
}

int InMemoryServiceManager::stopCalls(const std::string& name) const
{
    const Entry* e = find(name);
    return e ? e->stop.count : 0;
}

int InMemoryServiceManager::queryCalls(const std::string& name) const
{
    const Entry* e = find(name);
    return e ? e->queries : 0;
}

std::uint32_t InMemoryServiceManager::watchMask(const std::string& name) const
{
    const Entry* e = find(name);
    std::uint32_t mask = 0;
    if (e)
        for (const auto& [handle, watcher] : e->watchers)
            mask |= watcher.mask;
    return mask;
}

InMemoryServiceManager::Entry* InMemoryServiceManager::find(const std::string& name)
{
    auto it = m_services.find(name);
    return it == m_services.end() ? nullptr : &it->second;
}

const InMemoryServiceManager::Entry* InMemoryServiceManager::find(const std::string& name) const
{
    auto it = m_services.find(name);
    return it == m_services.end() ? nullptr : &it->second;
}

InMemoryServiceManager::Entry& InMemoryServiceManager::entry(const std::string& name)
{
    Entry* e = find(name);
    assert(e && "scripting a service that was never added");
    return *e;
}

bool InMemoryServiceManager::query(const std::string& name, ServiceStatus& status)
{
    Entry* e = find(name);
    if (!e)
        return false;
    ++e->queries;
    if (e->queryFails)
        return false;
    if (!e->upcoming.empty()) {
        e->state = e->upcoming.front();
        e->upcoming.pop_front();
    }
    status = ServiceStatus {};
    status.currentState = e->state;
    return true;
}

void InMemoryServiceManager::recordJobWait(const std::string& name, std::chrono::milliseconds jobWait)
{
    if (Entry* e = find(name))
        e->lastJobWait = jobWait;
}

bool InMemoryServiceManager::begin(Entry& e, Request& request, std::uint32_t from, std::uint32_t pending)
{
    ++request.count;
    if (request.fails || e.state != from)
        return false;
    e.state = pending;
    e.upcoming.assign(request.script.begin(), request.script.end());
    return true;
}

bool InMemoryServiceManager::start(const std::string& name)
{
    Entry* e = find(name);
    return e && begin(*e, e->start, kServiceStopped, kServiceStartPending);
}

bool InMemoryServiceManager::stop(const std::string& name, ServiceStatus& status)
{
    Entry* e = find(name);
    if (!e || !begin(*e, e->stop, kServiceRunning, kServiceStopPending))
        return false;
    status = ServiceStatus {};
    status.currentState = e->state;
    return true;
}

void InMemoryServiceManager::watch(const std::string& name, const Service* handle, Watcher watcher)
{
    entry(name).watchers[handle] = std::move(watcher);
}

void InMemoryServiceManager::unwatch(const std::string& name, const Service* handle)
{
    if (Entry* e = find(name))
        e->watchers.erase(handle);
}

} // namespace platform
