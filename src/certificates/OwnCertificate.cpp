#include "certificates/OwnCertificate.h"

#include "certificates/CertificateStore.h"
#include "certificates/Expiry.h"
#include "certificates/StoreLayout.h"
#include "support/AtomicFile.h"
#include "support/UtcText.h"
#include "support/WholeFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <optional>
#include <system_error>

namespace certificates {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;
using support::Error;

constexpr const char* kOrganization = "MORVANE";
constexpr mode_t kCertificateMode = 0640;
constexpr mode_t kKeyMode = 0600;
constexpr std::size_t kMaxKeyBytes = std::size_t { 64 } << 10;
// A client whose clock is a little behind still takes a certificate made a moment ago.
constexpr std::chrono::hours kBackdating { 1 };
constexpr const char* kRenewHint = "tavox-admin certificates renew makes a new pair";

std::time_t yearsLater(std::time_t when, int years)
{
    std::tm parts {};
    gmtime_r(&when, &parts);
    parts.tm_year += years;
    return ::timegm(&parts);
}

/// "20250514T101502Z": the moment of a renewal in the names of the pair it keeps.
std::string stamp(Clock::time_point now)
{
    std::string text;
    for (const char c : support::utcText(now))
        if (c != '-' && c != ':')
            text += c;
    return text;
}

fs::path keptName(const fs::path& file, const std::string& moment)
{
    const fs::path folder = file.parent_path();
    const std::string stem = file.stem().string() + "-" + moment;
    fs::path kept = folder / (stem + file.extension().string());
    std::error_code ec;
    for (int n = 2; fs::exists(kept, ec); ++n)
        kept = folder / (stem + "-" + std::to_string(n) + file.extension().string());
    return kept;
}

bool isThere(const fs::path& file)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(file, ec));
}

/// Puts `file` aside under its kept name; empty when there was none.
support::Result<fs::path> keep(const fs::path& file, const std::string& moment)
{
    if (!isThere(file))
        return fs::path();
    const fs::path kept = keptName(file, moment);
    std::error_code ec;
    fs::rename(file, kept, ec);
    if (ec)
        return Error::fromErrno(ec.value(), "cannot keep " + file.string() + " as " + kept.string());
    return kept;
}

void putBack(const fs::path& kept, const fs::path& file)
{
    std::error_code ec;
    if (!kept.empty())
        fs::rename(kept, file, ec);
}

support::Result<void>
writeOwned(const fs::path& file, const std::string& content, mode_t mode, std::optional<uid_t> owner)
{
    if (auto written = support::writeFileAtomically(file, content, mode); !written)
        return written;
    // Root makes the files for the daemon's user, who alone may read the key.
    if (owner && ::chown(file.c_str(), *owner, static_cast<gid_t>(-1)) != 0)
        return Error::fromErrno(errno, "cannot give " + file.string() + " to the daemon's user");
    return {};
}

/// A new pair in place of the current one, which is kept; on failure the current pair stays.
support::Result<Renewal> makeNewPair(const StoreLayout& layout,
    const ServerIdentity& identity,
    Clock::time_point now,
    std::optional<uid_t> owner)
{
    const platform::ApplicationCertificateRequest request { "Tavox Server@" + identity.hostName,
        kOrganization,
        identity.applicationUri,
        identity.hostName,
        Clock::to_time_t(now - kBackdating),
        yearsLater(Clock::to_time_t(now), kValidityYears) };
    const auto pair = platform::createApplicationCertificate(request);
    if (!pair)
        return pair.error();
    auto info = platform::readCertificate(pair->certificatePem);
    if (!info)
        return info.error();

    const std::string moment = stamp(now);
    Renewal renewal { true, std::move(*info), {}, {} };
    const fs::path certificate = layout.serverCertificate();
    const fs::path key = layout.serverPrivateKey();
    auto keptCertificate = keep(certificate, moment);
    if (!keptCertificate)
        return keptCertificate.error();
    auto keptKey = keep(key, moment);
    if (!keptKey) {
        putBack(*keptCertificate, certificate);
        return keptKey.error();
    }
    renewal.keptCertificate = *keptCertificate;
    renewal.keptKey = *keptKey;
    support::Result<void> written = writeOwned(key, pair->privateKeyPem, kKeyMode, owner);
    if (written)
        written = writeOwned(certificate, pair->certificatePem, kCertificateMode, owner);
    if (!written) {
        std::error_code ec;
        fs::remove(key, ec);
        fs::remove(certificate, ec);
        putBack(renewal.keptKey, key);
        putBack(renewal.keptCertificate, certificate);
        return written.error();
    }
    return renewal;
}

/// The certificate in use and whether its key is its own.
support::Result<platform::CertificateInfo> checkPair(const StoreLayout& layout)
{
    const auto certificate = support::readWholeFile(layout.serverCertificate(), kMaxKeyBytes);
    if (!certificate)
        return certificate.error();
    auto info = platform::readCertificate(*certificate);
    if (!info)
        return Error::invalidInput("the server certificate " + layout.serverCertificate().string()
            + " cannot be read: " + info.error().message + "; " + kRenewHint);
    const auto key = support::readWholeFile(layout.serverPrivateKey(), kMaxKeyBytes);
    if (!key)
        return key.error();
    const auto matches = platform::keyMatchesCertificate(*key, *certificate);
    if (!matches || !*matches)
        return Error::invalidInput("the server certificate " + layout.serverCertificate().string()
            + " is not the certificate of the private key " + layout.serverPrivateKey().string() + "; " + kRenewHint);
    return info;
}

std::string described(const fs::path& file, const platform::CertificateInfo& info)
{
    return file.string() + " (thumbprint " + info.thumbprint + ", valid until " + dateText(info.validTo) + ")";
}

void warnOfTrouble(const platform::CertificateInfo& info,
    const ServerIdentity& identity,
    Clock::time_point now,
    const LogLine& log)
{
    switch (validityOf(info, now)) {
    case Validity::Expired:
        log("warning: the server certificate expired on " + dateText(info.validTo) + ": clients refuse it; "
            + kRenewHint);
        break;
    case Validity::ExpiresSoon:
        log("warning: the server certificate " + expiryText(info, now) + ", on " + dateText(info.validTo) + "; "
            + kRenewHint);
        break;
    case Validity::NotYetValid:
        log("warning: the server certificate is not valid before " + dateText(info.validFrom)
            + ": is the clock of this computer right?");
        break;
    case Validity::Valid:
        break;
    }
    if (info.applicationUri != identity.applicationUri)
        log("warning: the server certificate is made for \"" + info.applicationUri + "\", not for \""
            + identity.applicationUri + "\" (was the computer renamed?); clients may refuse it: " + kRenewHint);
}

/// Makes the pair that is missing or was asked for; nothing when the current pair stays.
support::Result<void>
makeWhatIsDue(const StoreLayout& layout, const ServerIdentity& identity, Clock::time_point now, const LogLine& log)
{
    const bool hasCertificate = isThere(layout.serverCertificate());
    const bool hasKey = isThere(layout.serverPrivateKey());
    if (!hasCertificate && !hasKey) {
        const auto made = makeNewPair(layout, identity, now, std::nullopt);
        if (!made)
            return made.error();
        log("server certificate created: " + described(layout.serverCertificate(), made->info));
        return {};
    }
    if (!hasKey)
        return Error { support::ErrorKind::NotFound,
            "the server certificate " + layout.serverCertificate().string() + " has no private key "
                + layout.serverPrivateKey().string() + " beside it; " + kRenewHint };
    if (!hasCertificate)
        return Error { support::ErrorKind::NotFound,
            "the private key " + layout.serverPrivateKey().string() + " has no certificate "
                + layout.serverCertificate().string() + " beside it; " + kRenewHint };
    if (!isThere(layout.renewalRequest()))
        return {};
    const auto renewed = makeNewPair(layout, identity, now, std::nullopt);
    if (!renewed)
        return renewed.error();
    log("server certificate renewed as requested: " + described(layout.serverCertificate(), renewed->info)
        + "; the old one is kept as " + renewed->keptCertificate.string());
    std::error_code ec;
    if (!fs::remove(layout.renewalRequest(), ec) && ec)
        log("warning: cannot remove the renewal request " + layout.renewalRequest().string() + ": " + ec.message());
    return {};
}

} // namespace

support::Result<Renewal>
renewServerCertificate(const StoreLayout& layout, const ServerIdentity& identity, Clock::time_point now)
{
    struct stat root {};
    std::error_code ec;
    if (::stat(layout.root().c_str(), &root) != 0 || !fs::is_directory(layout.ownCerts(), ec)
        || !fs::is_directory(layout.ownPrivate(), ec))
        return Error { support::ErrorKind::NotFound,
            "the certificate store " + layout.root().string()
                + " does not exist yet: the Tavox Server makes it, with its certificate, at its first start" };
    const uid_t self = ::geteuid();
    if (self == root.st_uid || self == 0)
        return makeNewPair(layout, identity, now, self == 0 ? std::optional<uid_t>(root.st_uid) : std::nullopt);
    // Only the daemon's user may own its key: the daemon makes the pair when it next starts.
    const std::string request
        = "renewal requested at " + support::utcText(now) + " by user " + std::to_string(self) + "\n";
    if (auto written = support::writeFileAtomically(layout.renewalRequest(), request, kCertificateMode); !written)
        return written.error();
    return Renewal {};
}

support::Result<platform::CertificateInfo> prepareServerCertificates(const fs::path& state,
    const ServerIdentity& identity,
    const LogLine& log,
    Clock::time_point now)
{
    const StoreLayout layout = StoreLayout::applications(state);
    for (const StoreLayout& store : { layout, StoreLayout::users(state) })
        if (auto prepared = prepareStore(store, log); !prepared)
            return prepared.error();
    if (auto made = makeWhatIsDue(layout, identity, now, log); !made)
        return made.error();
    auto info = checkPair(layout);
    if (!info)
        return info.error();
    log("server certificate " + layout.serverCertificate().string() + ": thumbprint " + info->thumbprint
        + ", valid from " + dateText(info->validFrom) + " until " + dateText(info->validTo) + " ("
        + expiryText(*info, now) + ")");
    warnOfTrouble(*info, identity, now, log);
    return info;
}

} // namespace certificates
