#pragma once

#include <filesystem>
#include <string>

namespace platform {
class SettingsStore;
} // namespace platform

namespace nodeconfig {

/// Where the node configuration file and the backup of an import live.
struct NodeConfigPaths {
    std::filesystem::path nodeCfgPath; ///< the service directory immediately followed by the name
    std::u16string nodeCfgName; ///< the "NodeCfg" name as stored, for the page's label
    std::filesystem::path backupPath; ///< the file name's extension replaced by "bak"
};

/// Composes the paths from the service directory (which carries its trailing separator; empty
/// when it could not be read, and the file is then looked for in the current directory) and
/// the file name. The backup path is the file path cut after the last "." of its file name,
/// followed by "bak"; a file name without "." gets ".bak" appended, so that the backup always
/// lies beside the file.
NodeConfigPaths composeNodeConfigPaths(const std::u16string& serviceDirectory, const std::u16string& nodeCfgName);

/// composeNodeConfigPaths from the server's settings ("ServicePath" and "NodeCfg") in the
/// machine store.
NodeConfigPaths nodeConfigPathsFromSettings(const platform::SettingsStore& machine);

} // namespace nodeconfig
