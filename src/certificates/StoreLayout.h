#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace certificates {

/// Where the daemon keeps its state: the first folder of `stateDirectory` (systemd's
/// $STATE_DIRECTORY, a colon-separated list) when it is set and not empty, else the folder of
/// the machine store. The utility and tavox-admin pass null and so find the same folder from
/// the machine store, as a test sandbox needs.
std::filesystem::path stateFolder(const char* stateDirectory, const std::filesystem::path& machineStore);

/// "urn:HOST:Tavox:Server", the server's application URI, which its certificate carries.
std::string applicationUri(std::string_view hostName);

/// The folders of one certificate store in the layout the engine's OPC UA stack reads itself:
/// own/certs and own/private for the server's own certificate and key, trusted/certs and
/// trusted/crl, rejected, issuers/certs and issuers/crl.
class StoreLayout {
public:
    explicit StoreLayout(std::filesystem::path root)
        : m_root(std::move(root))
    {
    }
    /// "<state>/pki": the certificates of applications (clients), and the server's own.
    static StoreLayout applications(const std::filesystem::path& state) { return StoreLayout(state / "pki"); }
    /// "<state>/pki-user": the certificates users log on with.
    static StoreLayout users(const std::filesystem::path& state) { return StoreLayout(state / "pki-user"); }

    const std::filesystem::path& root() const { return m_root; }
    std::filesystem::path ownCerts() const { return m_root / "own" / "certs"; }
    std::filesystem::path ownPrivate() const { return m_root / "own" / "private"; }
    std::filesystem::path trustedCerts() const { return m_root / "trusted" / "certs"; }
    std::filesystem::path rejected() const { return m_root / "rejected"; }

    /// The certificate the server presents and its private key (the engine is given both).
    std::filesystem::path serverCertificate() const { return ownCerts() / "server.pem"; }
    std::filesystem::path serverPrivateKey() const { return ownPrivate() / "private_key.pem"; }
    /// Left by a renewal that the caller could not make itself: the daemon makes it at its next start.
    std::filesystem::path renewalRequest() const { return m_root / "own" / "renew-requested"; }

    /// Every folder of the store, each after its parent, the root first.
    std::vector<std::filesystem::path> folders() const;
    /// Whether `folder` holds private keys (own/private).
    bool isPrivate(const std::filesystem::path& folder) const { return folder == ownPrivate(); }

private:
    std::filesystem::path m_root;
};

} // namespace certificates
