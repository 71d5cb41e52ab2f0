#include "snapshots/ConfigSnapshots.h"

#include "config/CTavoxEnvmnt.h"
#include "config/ServerKey.h"
#include "platform/SettingsStore.h"
#include "snapshots/ServerKeyCopy.h"
#include "support/AtomicFile.h"
#include "support/TextCodec.h"
#include "support/UtcText.h"
#include "support/WholeFile.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;
using support::Error;
using support::ErrorKind;
using support::utcText;

namespace {

constexpr const char* kManifest = "snapshot.json";
constexpr const char* kKeyCopy = "server-key.db";
constexpr const char* kNodeConfigRole = "node-config";
constexpr const char* kServerConfigRole = "server-config";
// Two programs that pick the same id at once retry with the next; more rounds mean trouble.
constexpr int kIdAttempts = 16;

/// A snapshot read into memory, ready to be written back.
struct LoadedSnapshot {
    SnapshotInfo info;
    ServerKeyCopy key;
    std::vector<std::string> contents; ///< of info.files, in order; empty for absent files
};

std::optional<unsigned long> idNumber(std::string_view name)
{
    if (name.empty() || name.size() > 9
        || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoul(std::string(name));
}

Error fileError(const std::error_code& ec, const std::string& what) { return Error::fromErrno(ec.value(), what); }

std::string toJson(const SnapshotInfo& info)
{
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const SnapshotFile& file : info.files)
        files.push_back({ { "role", file.role }, { "path", file.path.string() }, { "present", file.present } });
    const nlohmann::ordered_json manifest = { { "id", info.id },
        { "time", info.time },
        { "origin", info.origin },
        { "serverKey", info.serverKey },
        { "files", files } };
    // The origin is a command line, which need not be UTF-8.
    return manifest.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

support::Result<SnapshotInfo> fromJson(const std::string& text, const fs::path& where)
{
    const nlohmann::json manifest = nlohmann::json::parse(text, nullptr, false);
    const Error bad = Error::invalidInput("the manifest " + where.string() + " is damaged");
    if (!manifest.is_object() || !manifest.contains("files") || !manifest["files"].is_array())
        return bad;
    SnapshotInfo info;
    try {
        info.id = manifest.at("id").get<std::string>();
        info.time = manifest.at("time").get<std::string>();
        info.origin = manifest.at("origin").get<std::string>();
        info.serverKey = manifest.at("serverKey").get<bool>();
        for (const nlohmann::json& file : manifest["files"]) {
            info.files.push_back({ file.at("role").get<std::string>(),
                fs::path(file.at("path").get<std::string>()),
                file.at("present").get<bool>() });
        }
    } catch (const nlohmann::json::exception&) {
        return bad;
    }
    const bool knownRoles = std::all_of(info.files.begin(), info.files.end(), [](const SnapshotFile& file) {
        return file.role == kNodeConfigRole || file.role == kServerConfigRole;
    });
    if (!knownRoles)
        return bad;
    return info;
}

bool hasServicePath(const ServerKeyCopy& key)
{
    return std::any_of(key.changes.begin(), key.changes.end(), [](const platform::RegistryKey::Change& change) {
        return change.kind == platform::RegistryKey::Change::Kind::Set
            && support::equalsNoCase(change.key, ServerKey::kPath)
            && support::equalsNoCase(change.name, ServerKey::kServicePath);
    });
}

// The server's two configuration files, as the server finds them; none without a service directory.
std::vector<SnapshotFile> configurationFiles(const platform::SettingsStore& machine, const ServerKeyCopy& key)
{
    std::u16string dir;
    // Asked only when the value is there, so that its absence writes no diagnostic.
    const CTavoxEnvmnt server(machine);
    if (!key.exists || !hasServicePath(key) || !server.GetAppPath(dir))
        return {};
    return { { kNodeConfigRole, fs::path(support::utf16ToUtf8(dir + server.GetNodeCfgName())), false },
        { kServerConfigRole, fs::path(support::utf16ToUtf8(dir + server.GetServiceCfgName())), false } };
}

// Reads each file; a missing one is recorded as absent.
support::Result<std::vector<std::string>> readFiles(std::vector<SnapshotFile>& files)
{
    std::vector<std::string> contents;
    for (SnapshotFile& file : files) {
        auto content = support::readWholeFile(file.path);
        if (!content && content.error().kind != ErrorKind::NotFound)
            return content.error();
        file.present = content.ok();
        contents.push_back(content ? std::move(*content) : std::string());
    }
    return contents;
}

support::Result<void> ensureFolder(const fs::path& folder)
{
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return {};
    if (!fs::create_directory(folder, ec) && ec)
        return fileError(ec, "cannot create the snapshot folder " + folder.string());
    // Snapshots hold password digests: nobody but the store's owner and group may look in.
    fs::permissions(folder, fs::perms::others_all, fs::perm_options::remove, ec);
    if (ec)
        return fileError(ec, "cannot protect the snapshot folder " + folder.string());
    return {};
}

// The copies hold password digests: whatever the writer's umask, they are for the store's owner
// and group only, as the store itself is.
support::Result<void> closeToOthers(const fs::path& dir)
{
    std::error_code ec;
    fs::permissions(dir, fs::perms::others_all, fs::perm_options::remove, ec);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        fs::permissions(it->path(), fs::perms::others_all, fs::perm_options::remove, ec);
    if (ec)
        return fileError(ec, "cannot protect the snapshot " + dir.string());
    return {};
}

std::vector<unsigned long> snapshotIds(const fs::path& folder)
{
    std::vector<unsigned long> ids;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (const auto id = idNumber(it->path().filename().string()); id && it->is_directory(ec))
            ids.push_back(*id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// The copies; the manifest follows once the id is known.
support::Result<void> writeCopies(const fs::path& dir,
    const SnapshotInfo& info,
    const ServerKeyCopy& key,
    const std::vector<std::string>& contents)
{
    if (key.exists) {
        if (auto written = writeServerKeyCopy(dir / kKeyCopy, key); !written)
            return written;
    }
    for (std::size_t i = 0; i < info.files.size(); ++i) {
        if (!info.files[i].present)
            continue;
        if (auto written = support::writeFileAtomically(dir / info.files[i].role, contents[i]); !written)
            return written;
    }
    return {};
}

void prune(const fs::path& folder)
{
    const std::vector<unsigned long> ids = snapshotIds(folder);
    std::error_code ec;
    for (std::size_t i = 0; i + ConfigSnapshots::kKept < ids.size(); ++i)
        fs::remove_all(folder / std::to_string(ids[i]), ec);
}

support::Result<LoadedSnapshot> load(const fs::path& dir)
{
    const auto manifest = support::readWholeFile(dir / kManifest);
    if (!manifest)
        return manifest.error();
    auto info = fromJson(*manifest, dir / kManifest);
    if (!info)
        return info.error();
    LoadedSnapshot loaded { std::move(*info), {}, {} };
    if (loaded.info.serverKey) {
        auto key = readServerKey(dir / kKeyCopy);
        if (!key)
            return key.error();
        if (!key->exists)
            return Error { ErrorKind::NotFound, "the copy of the server key is missing from " + dir.string() };
        loaded.key = std::move(*key);
    }
    for (const SnapshotFile& file : loaded.info.files) {
        auto content = file.present ? support::readWholeFile(dir / file.role) : support::Result<std::string>("");
        if (!content)
            return content.error();
        loaded.contents.push_back(std::move(*content));
    }
    return loaded;
}

support::Result<void> restoreFile(const SnapshotFile& file, const std::string& content)
{
    if (file.present)
        return support::writeFileAtomically(file.path, content);
    std::error_code ec;
    if (!fs::remove(file.path, ec) && ec && ec != std::errc::no_such_file_or_directory)
        return fileError(ec, "cannot remove " + file.path.string());
    return {};
}

} // namespace

ConfigSnapshots::ConfigSnapshots(const platform::SettingsStore& machine)
    : m_machine(&machine)
{
}

fs::path ConfigSnapshots::folder() const { return m_machine->path().parent_path() / "snapshots"; }

support::Result<SnapshotInfo> ConfigSnapshots::take(std::string_view origin,
    std::chrono::system_clock::time_point now) const
{
    auto key = readServerKey(m_machine->path());
    if (!key)
        return key.error();
    SnapshotInfo info;
    info.time = utcText(now);
    info.origin = std::string(origin);
    info.serverKey = key->exists;
    info.files = configurationFiles(*m_machine, *key);
    auto contents = readFiles(info.files);
    if (!contents)
        return contents.error();

    const fs::path where = folder();
    if (auto made = ensureFolder(where); !made)
        return made.error();
    // Made under a name that no listing takes for a snapshot, and renamed once complete.
    const fs::path building = where / (".new-" + std::to_string(::getpid()) + "-" + info.time);
    std::error_code ec;
    fs::remove_all(building, ec);
    if (!fs::create_directory(building, ec))
        return fileError(ec, "cannot create " + building.string());
    if (auto written = writeCopies(building, info, *key, *contents); !written) {
        fs::remove_all(building, ec);
        return written.error();
    }
    const std::vector<unsigned long> ids = snapshotIds(where);
    unsigned long id = ids.empty() ? 1 : ids.back() + 1;
    for (int attempt = 0; attempt < kIdAttempts; ++attempt, ++id) {
        info.id = std::to_string(id);
        support::Result<void> written = support::writeFileAtomically(building / kManifest, toJson(info));
        if (written)
            written = closeToOthers(building);
        if (!written) {
            fs::remove_all(building, ec);
            return written.error();
        }
        if (::rename(building.c_str(), (where / info.id).c_str()) == 0) {
            prune(where);
            return info;
        }
        if (errno != EEXIST && errno != ENOTEMPTY)
            break;
    }
    const Error failure = Error::fromErrno(errno, "cannot store the snapshot in " + where.string());
    fs::remove_all(building, ec);
    return failure;
}

support::Result<std::vector<SnapshotInfo>> ConfigSnapshots::list() const
{
    std::vector<SnapshotInfo> result;
    const fs::path where = folder();
    std::error_code ec;
    if (!fs::exists(where, ec))
        return result;
    for (unsigned long id : snapshotIds(where)) {
        const fs::path manifest = where / std::to_string(id) / kManifest;
        const auto text = support::readWholeFile(manifest);
        auto info = text ? fromJson(*text, manifest) : support::Result<SnapshotInfo>(text.error());
        if (!info) {
            // Listed all the same, so that it can be seen and removed; it cannot be restored.
            result.push_back({ std::to_string(id), {}, "damaged: " + info.error().message, false, {} });
            continue;
        }
        result.push_back(std::move(*info));
    }
    return result;
}

support::Result<RestoreOutcome>
ConfigSnapshots::restore(std::string_view id, std::string_view origin, std::chrono::system_clock::time_point now) const
{
    const auto number = idNumber(id);
    const fs::path dir = folder() / (number ? std::to_string(*number) : std::string(id));
    std::error_code ec;
    if (!number || !fs::is_directory(dir, ec))
        return Error { ErrorKind::NotFound, "there is no snapshot " + std::string(id) + " in " + folder().string() };
    // Read whole before anything changes: the snapshot taken next may prune this one.
    auto wanted = load(dir);
    if (!wanted)
        return wanted.error();

    auto before = take(origin, now);
    if (!before)
        return before.error();
    const auto current = readServerKey(m_machine->path());
    if (!current)
        return current.error();
    const std::string keptIn = "; the configuration before the restore is in snapshot " + before->id;
    if (auto replaced = replaceServerKey(m_machine->path(), *current, wanted->key); !replaced)
        return Error { replaced.error().kind, replaced.error().message + keptIn };
    for (std::size_t i = 0; i < wanted->info.files.size(); ++i) {
        if (auto restored = restoreFile(wanted->info.files[i], wanted->contents[i]); !restored)
            return Error { restored.error().kind, restored.error().message + keptIn };
    }
    return RestoreOutcome { std::move(wanted->info), std::move(*before) };
}

support::Result<void> takeSnapshot(const platform::SettingsStores& stores, std::string_view origin)
{
    // Before the first change of a new machine there is no configuration to keep, and the
    // store makes its folder, with its own permissions, when it is first written.
    std::error_code ec;
    if (!fs::exists(stores.machine.path().parent_path(), ec))
        return {};
    const auto taken = ConfigSnapshots(stores.machine).take(origin);
    if (!taken)
        return Error { taken.error().kind, "cannot take a snapshot of the configuration: " + taken.error().message };
    return {};
}
