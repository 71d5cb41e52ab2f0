#pragma once

#include "support/Result.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class SettingsStore;
struct SettingsStores;
} // namespace platform

/// One file of the server's configuration as a snapshot holds it.
struct SnapshotFile {
    std::string role; ///< "node-config" or "server-config"
    std::filesystem::path path; ///< where the file was (and is restored to)
    bool present = false; ///< the file existed; a restore removes a file that did not
};

/// What a snapshot holds, as its manifest tells.
struct SnapshotInfo {
    std::string id; ///< a decimal number, one higher than the newest snapshot's
    std::string time; ///< UTC, ISO 8601 ("2025-05-14T10:15:02Z")
    std::string origin; ///< the command or the utility's Apply that was about to change things
    bool serverKey = false; ///< the server key existed
    std::vector<SnapshotFile> files; ///< empty when no service directory was configured
};

/// What a restore did.
struct RestoreOutcome {
    SnapshotInfo restored;
    SnapshotInfo before; ///< the snapshot taken of the configuration the restore replaced
};

/// Copies of the server's configuration taken before every change: the server key of the
/// machine store (values and subkeys, byte for byte, as a settings store file of its own), the
/// node configuration file and the server configuration file, whole. Each snapshot is a folder
/// named by its id in the "snapshots" folder beside the machine store, not readable by others;
/// it appears only once complete, and the newest `kKept` are kept.
class ConfigSnapshots {
public:
    static constexpr std::size_t kKept = 20;

    /// The store must outlive the object.
    explicit ConfigSnapshots(const platform::SettingsStore& machine);

    /// "<folder of the machine store>/snapshots".
    std::filesystem::path folder() const;

    /// Takes a snapshot of the configuration as it is now; `origin` says what is about to
    /// change it. Fails, with nothing left behind, when something cannot be read or written.
    support::Result<SnapshotInfo> take(std::string_view origin,
        std::chrono::system_clock::time_point now = std::chrono::system_clock::now()) const;

    /// Every complete snapshot, oldest first; none when the folder does not exist yet.
    support::Result<std::vector<SnapshotInfo>> list() const;

    /// Brings the configuration of snapshot `id` back whole: the server key exactly as it was
    /// (values that were not there are removed) and the files (one that did not exist is
    /// removed). A snapshot of the current configuration, with `origin`, is taken first;
    /// when it cannot be made nothing is changed.
    support::Result<RestoreOutcome> restore(std::string_view id,
        std::string_view origin,
        std::chrono::system_clock::time_point now = std::chrono::system_clock::now()) const;

private:
    const platform::SettingsStore* m_machine;
};

/// The call every change makes before it writes: a snapshot of the configuration in the
/// machine store's folder. A failure means the change must not go ahead. While the store's
/// folder does not exist (nothing configured yet) there is nothing to keep and none is taken.
support::Result<void> takeSnapshot(const platform::SettingsStores& stores, std::string_view origin);
