#include "EngineHistory.h"

#include "HistoryStore.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <utility>

namespace tavoxserver {

EngineHistory::EngineHistory(HistoryStore& store)
    : m_store(store)
{
}

EngineHistory::~EngineHistory()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_reader.joinable())
        m_reader.join();
    if (m_event >= 0)
        ::close(m_event);
}

support::Result<void> EngineHistory::start()
{
    m_event = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_event < 0)
        return support::Error::fromErrno(errno, "cannot wait for the history store's answers");
    m_reader = std::thread([this] { readLoop(); });
    return {};
}

bool EngineHistory::take(const nlohmann::json& message, std::uint64_t run)
{
    const auto type = message.find("type");
    if (type == message.end() || !type->is_string())
        return false;
    if (*type == "value") {
        (void)m_store.handle(message);
        return true;
    }
    if (*type != "historyRead")
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_reads.push_back({ run, message });
    }
    m_wake.notify_one();
    return true;
}

std::vector<EngineHistory::Answer> EngineHistory::answers()
{
    std::uint64_t count = 0;
    while (::read(m_event, &count, sizeof count) < 0 && errno == EINTR) {}
    std::lock_guard lock(m_mutex);
    return std::exchange(m_answers, {});
}

void EngineHistory::readLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_reads.empty(); });
        if (m_stopping)
            return;
        Read read = std::move(m_reads.front());
        m_reads.pop_front();
        lock.unlock();
        const std::optional<nlohmann::json> reply = m_store.handle(read.message);
        lock.lock();
        if (!reply)
            continue;
        m_answers.push_back({ read.run, reply->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) });
        const std::uint64_t one = 1;
        while (::write(m_event, &one, sizeof one) < 0 && errno == EINTR) {}
    }
}

} // namespace tavoxserver
