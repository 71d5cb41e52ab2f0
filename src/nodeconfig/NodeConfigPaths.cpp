#include "nodeconfig/NodeConfigPaths.h"

#include "config/CTavoxEnvmnt.h"
#include "support/TextCodec.h"

namespace nodeconfig {

NodeConfigPaths composeNodeConfigPaths(const std::u16string& serviceDirectory, const std::u16string& nodeCfgName)
{
    NodeConfigPaths paths;
    paths.nodeCfgName = nodeCfgName;
    // Service paths are the directory immediately followed by the name: no separator is added.
    const std::string path = support::utf16ToUtf8(serviceDirectory + nodeCfgName);
    paths.nodeCfgPath = path;
    const std::size_t nameStart = path.find_last_of('/') + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && dot >= nameStart)
        paths.backupPath = path.substr(0, dot + 1) + "bak";
    else
        paths.backupPath = path + ".bak";
    return paths;
}

NodeConfigPaths nodeConfigPathsFromSettings(const platform::SettingsStore& machine)
{
    const CTavoxEnvmnt server(machine);
    std::u16string directory;
    // Without a readable service directory the bare name is used; nothing is reported.
    (void)server.GetAppPath(directory);
    return composeNodeConfigPaths(directory, server.GetNodeCfgName());
}

} // namespace nodeconfig
