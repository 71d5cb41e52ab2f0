#include "certificates/CertificateLists.h"

#include <system_error>

namespace certificates {
namespace {

using Clock = std::chrono::system_clock;

std::size_t indexOf(Folder folder) { return static_cast<std::size_t>(folder); }

CertificateRow rowOf(const StoredCertificate& stored, Clock::time_point now)
{
    CertificateRow row;
    row.inUse = stored.inUse;
    if (!stored.info) {
        row.readable = false;
        row.subject = stored.file.filename().string();
        row.expiry = stored.error;
        return row;
    }
    const platform::CertificateInfo& info = *stored.info;
    row.subject = info.subject;
    row.applicationUri = info.applicationUri;
    row.thumbprint = info.thumbprint;
    row.validity = validityOf(info, now);
    row.expiry = expiryText(info, now);
    return row;
}

std::string nameOf(const platform::CertificateInfo& info)
{
    return "\"" + (info.commonName.empty() ? info.subject : info.commonName) + "\"";
}

} // namespace

CertificateLists::CertificateLists(StoreLayout layout, ServerIdentity identity)
    : m_store(std::move(layout))
    , m_identity(std::move(identity))
{
}

void CertificateLists::reload(Clock::time_point now)
{
    m_exists = m_store.exists();
    std::error_code ec;
    m_renewalRequested = std::filesystem::exists(m_store.layout().renewalRequest(), ec);
    for (const Folder folder : { Folder::Own, Folder::Trusted, Folder::Rejected }) {
        std::vector<StoredCertificate>& stored = m_stored[indexOf(folder)];
        stored = m_store.list(folder);
        std::vector<CertificateRow>& rows = m_rows[indexOf(folder)];
        rows.clear();
        for (const StoredCertificate& certificate : stored)
            rows.push_back(rowOf(certificate, now));
    }
}

const std::vector<CertificateRow>& CertificateLists::rows(Folder folder) const { return m_rows[indexOf(folder)]; }

const StoredCertificate* CertificateLists::stored(Folder folder, int row) const
{
    const std::vector<StoredCertificate>& list = m_stored[indexOf(folder)];
    if (row < 0 || static_cast<std::size_t>(row) >= list.size())
        return nullptr;
    return &list[static_cast<std::size_t>(row)];
}

bool CertificateLists::canRun(CertificateAction action, Folder folder, int row) const
{
    if (action == CertificateAction::Renew)
        return m_exists;
    const StoredCertificate* certificate = stored(folder, row);
    if (!certificate)
        return false;
    switch (action) {
    case CertificateAction::Trust:
        return folder == Folder::Rejected && certificate->info.has_value();
    case CertificateAction::Reject:
        return folder == Folder::Trusted && certificate->info.has_value();
    case CertificateAction::Remove:
        return folder != Folder::Own;
    case CertificateAction::Renew:
        break;
    }
    return false;
}

std::string CertificateLists::question(CertificateAction action, Folder folder, int row) const
{
    if (action == CertificateAction::Renew)
        return "Make a new certificate for the Tavox Server?\nThe current one is kept beside it. Clients that trust "
               "the current certificate must be given the new one. The new certificate takes effect at the next "
               "restart of the Tavox Server.";
    const StoredCertificate* certificate = stored(folder, row);
    if (!certificate)
        return {};
    if (!certificate->info)
        return "Remove the file " + certificate->file.string() + "?\nIt holds no certificate.";
    const std::string name = nameOf(*certificate->info);
    switch (action) {
    case CertificateAction::Trust:
        return "Trust the certificate of " + name + "?\nApplication URI: " + certificate->info->applicationUri
            + "\nThumbprint: " + certificate->info->thumbprint
            + "\nThe client can then connect. Compare the thumbprint with the client's before you trust it.";
    case CertificateAction::Reject:
        return "Reject the certificate of " + name + "?\nThe client can no longer connect.";
    case CertificateAction::Remove:
        return folder == Folder::Trusted ? "Remove the trusted certificate of " + name
                + "?\nThe client can no longer connect; when it tries again, its certificate is listed as rejected."
                                         : "Remove the rejected certificate of " + name
                + "?\nWhen the client tries again, its certificate is listed as rejected once more.";
    case CertificateAction::Renew:
        break;
    }
    return {};
}

support::Result<std::string> CertificateLists::renew(Clock::time_point now)
{
    const auto renewal = renewServerCertificate(m_store.layout(), m_identity, now);
    if (!renewal)
        return renewal.error();
    if (!renewal->made)
        return std::string("The Tavox Server makes its new certificate at its next start; the current one is kept "
                           "beside it.\nRestart the Tavox Server to make it take effect.");
    std::string text = "The Tavox Server has a new certificate, thumbprint " + renewal->info.thumbprint
        + ", valid until " + dateText(renewal->info.validTo) + ".";
    if (!renewal->keptCertificate.empty())
        text += " The old one is kept as " + renewal->keptCertificate.string() + ".";
    return text + "\nIt takes effect at the next restart of the Tavox Server.";
}

support::Result<std::string>
CertificateLists::run(CertificateAction action, Folder folder, int row, Clock::time_point now)
{
    support::Result<std::string> outcome = std::string();
    if (action == CertificateAction::Renew) {
        outcome = renew(now);
    } else if (const StoredCertificate* certificate = stored(folder, row); certificate && !certificate->info) {
        std::error_code ec;
        if (!std::filesystem::remove(certificate->file, ec) && ec)
            outcome = support::Error::fromErrno(ec.value(), "cannot remove " + certificate->file.string());
    } else if (certificate) {
        const auto match = m_store.find(certificate->info->thumbprint);
        if (!match) {
            outcome = match.error();
        } else if (action == CertificateAction::Trust || action == CertificateAction::Reject) {
            const auto changed = action == CertificateAction::Trust ? m_store.trust(*match) : m_store.reject(*match);
            if (!changed)
                outcome = changed.error();
        } else if (auto removed = m_store.remove(*match); !removed) {
            outcome = removed.error();
        }
    }
    reload(now);
    return outcome;
}

} // namespace certificates
