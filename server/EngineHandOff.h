#pragma once

#include <filesystem>
#include <string>

namespace tavoxserver {

struct AlarmPlan;
struct ServerConfig;
struct ServerUsers;

/// What the engine is handed besides the settings read from the store.
struct EngineSite {
    std::string hostName; ///< the computer name of the endpoint URL
    std::filesystem::path stateDirectory; ///< where the certificate stores live
    bool historyInDaemon = false; ///< the daemon logs the history values ("store": "daemon")
};

/// The hand-off: the first line the daemon writes on the engine's standard input
/// ("type": "configure", as server/engine/README.md describes it), one JSON object ending in a
/// line end. It holds the users' digests, so it goes to the engine's pipe and nowhere else.
std::string
engineHandOff(const ServerConfig& config, const ServerUsers& users, const AlarmPlan& plan, const EngineSite& site);

} // namespace tavoxserver
