#pragma once

#include "support/Result.h"

#include <nlohmann/json.hpp>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavoxserver {

class HistoryStore;

/// The engine's history messages for the daemon's history store, kept off the daemon's poll
/// loop: a "value" goes to the store at once (which only queues it), a "historyRead", which
/// waits for the database, to a reader thread of its own. The answers wait for the loop,
/// which the descriptor fd() wakes.
class EngineHistory {
public:
    /// An answer for the engine, with the run of the engine that asked (EngineSupervisor::run()).
    struct Answer {
        std::uint64_t run = 0;
        std::string line;
    };

    explicit EngineHistory(HistoryStore& store);
    /// Ends the reader after the read under way; reads not yet answered are dropped.
    ~EngineHistory();
    EngineHistory(const EngineHistory&) = delete;
    EngineHistory& operator=(const EngineHistory&) = delete;

    /// Opens the descriptor and starts the reader.
    support::Result<void> start();
    /// Takes `message` when it is a history message (true), asked by the engine's run `run`.
    bool take(const nlohmann::json& message, std::uint64_t run);
    /// Readable while answers wait.
    int fd() const { return m_event; }
    /// The answers that wait, oldest first.
    std::vector<Answer> answers();

private:
    struct Read {
        std::uint64_t run;
        nlohmann::json message;
    };

    void readLoop();

    HistoryStore& m_store;
    int m_event = -1;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Read> m_reads;
    std::vector<Answer> m_answers;
    bool m_stopping = false;
    std::thread m_reader;
};

} // namespace tavoxserver
