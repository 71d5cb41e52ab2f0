#include "snapshots/ServerKeyCopy.h"

#include "config/ServerKey.h"
#include "config/StoreError.h"

#include <string>

using platform::RegAccess;
using platform::RegistryKey;
using platform::RegStatus;
using Kind = platform::RegistryKey::Change::Kind;

namespace {

// One key and, depth first, its subkeys.
RegStatus collect(const std::filesystem::path& store, const std::string& path, ServerKeyCopy& copy)
{
    RegistryKey key;
    if (const RegStatus status = key.open(store, path, RegAccess::Read); status != RegStatus::Success)
        return status;
    std::vector<RegistryKey::Value> values;
    std::vector<std::string> subKeys;
    if (const RegStatus status = key.enumValues(values); status != RegStatus::Success)
        return status;
    if (const RegStatus status = key.enumSubKeys(subKeys); status != RegStatus::Success)
        return status;
    key.close();
    copy.changes.push_back({ Kind::CreateKey, path, {}, 0, {} });
    for (RegistryKey::Value& value : values)
        copy.changes.push_back({ Kind::Set, path, std::move(value.name), value.type, std::move(value.data) });
    for (const std::string& name : subKeys) {
        if (const RegStatus status = collect(store, path + "\\" + name, copy); status != RegStatus::Success)
            return status;
    }
    return RegStatus::Success;
}

} // namespace

support::Result<ServerKeyCopy> readServerKey(const std::filesystem::path& store)
{
    ServerKeyCopy copy;
    const RegStatus status = collect(store, std::string(ServerKey::kPath), copy);
    if (status == RegStatus::NotFound && copy.changes.empty())
        return ServerKeyCopy {};
    if (status != RegStatus::Success)
        return storeError(status, "cannot read the server key of the settings store " + store.string());
    copy.exists = true;
    return copy;
}

support::Result<void> writeServerKeyCopy(const std::filesystem::path& file, const ServerKeyCopy& copy)
{
    if (const RegStatus status = RegistryKey::writeAll(file, copy.changes); status != RegStatus::Success)
        return storeError(status, "cannot write the copy of the server key of the settings store " + file.string());
    return {};
}

support::Result<void>
replaceServerKey(const std::filesystem::path& store, const ServerKeyCopy& current, const ServerKeyCopy& wanted)
{
    std::vector<RegistryKey::Change> changes;
    for (const RegistryKey::Change& change : current.changes) {
        if (change.kind == Kind::Set)
            changes.push_back({ Kind::Delete, change.key, change.name, 0, {} });
    }
    changes.insert(changes.end(), wanted.changes.begin(), wanted.changes.end());
    if (changes.empty())
        return {};
    if (const RegStatus status = RegistryKey::writeAll(store, changes); status != RegStatus::Success)
        return storeError(status, "cannot restore the server key of the settings store " + store.string());
    return {};
}
