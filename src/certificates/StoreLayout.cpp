#include "certificates/StoreLayout.h"

namespace certificates {

std::filesystem::path stateFolder(const char* stateDirectory, const std::filesystem::path& machineStore)
{
    if (stateDirectory && *stateDirectory) {
        const std::string_view list(stateDirectory);
        const std::string_view first = list.substr(0, list.find(':'));
        if (!first.empty())
            return std::filesystem::path(first);
    }
    std::error_code ec;
    const std::filesystem::path store = std::filesystem::absolute(machineStore, ec);
    return (ec ? machineStore : store).parent_path();
}

std::string applicationUri(std::string_view hostName)
{
    std::string uri = "urn:";
    uri += hostName;
    uri += ":Tavox:Server";
    return uri;
}

std::vector<std::filesystem::path> StoreLayout::folders() const
{
    return { m_root,
        m_root / "own",
        ownCerts(),
        ownPrivate(),
        m_root / "trusted",
        trustedCerts(),
        m_root / "trusted" / "crl",
        rejected(),
        m_root / "issuers",
        m_root / "issuers" / "certs",
        m_root / "issuers" / "crl" };
}

} // namespace certificates
