#include "EngineHandOff.h"

#include "AlarmMonitoring.h"
#include "ServerConfig.h"
#include "ServerUsers.h"

#include "certificates/StoreLayout.h"
#include "config/AuthenticationFlags.h"
#include "users/CTavoxUsrAuth.h"

#include <nlohmann/json.hpp>

namespace tavoxserver {
namespace {

using nlohmann::json;

json nodeRef(const NodeRef& ref)
{
    return { { "nodeId", ref.nodeId }, { "namespaceUri", ref.namespaceUri }, { "identifier", ref.identifier } };
}

json alarm(const PlannedAlarm& planned)
{
    json entry = nodeRef(planned.variable);
    entry["dataType"] = std::string(nodeconfig::dataTypeName(planned.dataType));
    entry["kind"] = planned.dataType == nodeconfig::AlarmDataType::Boolean ? "offNormal" : "level";
    static constexpr const char* kLimitNames[] = { "highHigh", "high", "low", "lowLow" };
    for (std::size_t i = 0; i < planned.limits.size(); ++i) {
        if (planned.limits[i])
            std::visit([&](auto value) { entry[kLimitNames[i]] = value; }, *planned.limits[i]);
    }
    return entry;
}

json pki(const std::filesystem::path& stateDirectory)
{
    const auto applications = certificates::StoreLayout::applications(stateDirectory);
    return {
        { "root", applications.root().string() },
        { "userRoot", certificates::StoreLayout::users(stateDirectory).root().string() },
        { "certificateFile", applications.serverCertificate().string() },
        { "privateKeyFile", applications.serverPrivateKey().string() },
    };
}

} // namespace

std::string
engineHandOff(const ServerConfig& config, const ServerUsers& users, const AlarmPlan& plan, const EngineSite& site)
{
    json handOff = {
        { "type", "configure" },
        { "hostName", site.hostName },
        { "port", config.uaTcpPort },
        { "applicationUri", certificates::applicationUri(site.hostName) },
        { "securityNone", config.securityNone() },
        { "logon",
            { { "anonymous", (config.authentication & auth_flags::kAnonymous) != 0 },
                { "certificate", (config.authentication & auth_flags::kCertificate) != 0 } } },
        { "digitTable", std::string(CTavoxUsrAuth::DigitTable()) },
        { "users", json::array() },
        { "rootDigest", users.rootDigest ? json(*users.rootDigest) : json(nullptr) },
        { "nodeConfig", std::filesystem::absolute(config.nodeCfgPath()).lexically_normal().string() },
        { "alarms", json::array() },
        { "historized", json::array() },
        { "history", { { "store", site.historyInDaemon ? "daemon" : "memory" }, { "maxValuesPerNode", 10000 } } },
        { "pki", pki(site.stateDirectory) },
    };
    for (const ServerUser& user : users.users)
        handOff["users"].push_back({ { "name", user.name },
            { "digest", user.digest },
            { "read", user.read },
            { "write", user.write },
            { "execute", user.execute } });
    for (const PlannedAlarm& planned : plan.alarms)
        handOff["alarms"].push_back(alarm(planned));
    for (const NodeRef& ref : plan.historized)
        handOff["historized"].push_back(nodeRef(ref));
    // Texts that are not UTF-8 (a hand-edited file) are replaced, never a reason to stop.
    return handOff.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace tavoxserver
