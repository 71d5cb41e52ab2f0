#pragma once

#include "certificates/StoreRepair.h"
#include "platform/X509Certificates.h"
#include "support/Result.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace certificates {

class StoreLayout;

/// How long a new server certificate is valid, and how early the daemon warns of its end.
inline constexpr int kValidityYears = 5;
inline constexpr std::chrono::hours kExpiryWarning { 30 * 24 };

/// Whom the server's certificate is made for.
struct ServerIdentity {
    std::string hostName;
    std::string applicationUri; ///< applicationUri(hostName)
};

/// What a renewal did: a new certificate now (`made`, `info` its data, the old pair kept under
/// the two names), or, where the caller cannot hand a key to the daemon, a request that the
/// daemon carries out at its next start.
struct Renewal {
    bool made = false;
    platform::CertificateInfo info;
    std::filesystem::path keptCertificate; ///< empty when there was no old certificate
    std::filesystem::path keptKey;
};

/// A new certificate and key for the server in place of the current pair, which stays beside
/// them under names that carry the moment of the renewal; the server presents the new one from
/// its next start. Made at once by the store's owner (the daemon's user) and by root (the new
/// files are then given to the owner); anyone else leaves the request. Fails when the store does
/// not exist yet.
support::Result<Renewal> renewServerCertificate(const StoreLayout& layout,
    const ServerIdentity& identity,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

/// The daemon's certificate steps at every start, before the engine gets the folders: both
/// stores under `state` prepared (prepareStore), the server's certificate made at the first
/// start, or renewed when that was requested, and checked: one line with its thumbprint and end,
/// and a warning when it ends within kExpiryWarning, has ended, or names another application
/// URI. A certificate is never replaced unasked. Fails, saying why, when a store cannot be
/// prepared, a certificate cannot be made, or the certificate and key are not a pair.
support::Result<platform::CertificateInfo> prepareServerCertificates(const std::filesystem::path& state,
    const ServerIdentity& identity,
    const LogLine& log,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

} // namespace certificates
