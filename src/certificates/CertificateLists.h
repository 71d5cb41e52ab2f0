#pragma once

#include "certificates/CertificateStore.h"
#include "certificates/Expiry.h"
#include "certificates/OwnCertificate.h"
#include "support/Result.h"

#include <chrono>
#include <string>
#include <vector>

namespace certificates {

/// What the Certificates dialog does to a certificate.
enum class CertificateAction { Trust, Reject, Remove, Renew };

/// One line of a list as the dialog shows it. A file that is no certificate shows its name as
/// the subject and why it cannot be read as its expiry.
struct CertificateRow {
    std::string subject;
    std::string applicationUri;
    std::string thumbprint;
    std::string expiry;
    Validity validity = Validity::Valid;
    bool readable = true;
    bool inUse = false; ///< the server's own certificate that it presents
};

/// The logic of the Certificates dialog: the own, trusted and rejected lists with their marks,
/// which action suits which line, the question before it and what it says after it. Rows are
/// addressed as the lists show them after the last reload; every action is followed by one.
class CertificateLists {
public:
    CertificateLists(StoreLayout layout, ServerIdentity identity);

    void reload(std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

    /// Whether the daemon has made the store yet; until then the lists are empty and nothing runs.
    bool storeExists() const { return m_exists; }
    /// Whether a renewal waits for the daemon's next start.
    bool renewalRequested() const { return m_renewalRequested; }
    const std::vector<CertificateRow>& rows(Folder folder) const;

    /// Whether `action` suits line `row` of `folder` (-1: no line chosen). Renew needs no line.
    bool canRun(CertificateAction action, Folder folder, int row) const;
    /// The question to ask before `action`, to be answered Yes; the lead line first.
    std::string question(CertificateAction action, Folder folder, int row) const;
    /// Runs `action` (canRun must hold) and reloads; what to tell afterwards (may be empty), or
    /// why it failed.
    support::Result<std::string> run(CertificateAction action,
        Folder folder,
        int row,
        std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

private:
    const StoredCertificate* stored(Folder folder, int row) const;
    support::Result<std::string> renew(std::chrono::system_clock::time_point now);

    CertificateStore m_store;
    ServerIdentity m_identity;
    bool m_exists = false;
    bool m_renewalRequested = false;
    std::vector<StoredCertificate> m_stored[3];
    std::vector<CertificateRow> m_rows[3];
};

} // namespace certificates
