#include "certificates/CertificateStore.h"

#include "support/WholeFile.h"

#include <algorithm>
#include <map>
#include <system_error>

namespace certificates {
namespace {

namespace fs = std::filesystem;
using support::Error;
using support::ErrorKind;

// Far above any certificate chain; a larger file in a list is refused unread.
constexpr std::size_t kMaxCertificateBytes = std::size_t { 1 } << 20;
constexpr std::size_t kMinPrefixDigits = 8;
constexpr std::size_t kThumbprintDigits = 40;

bool isCertificateName(const fs::path& file)
{
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return extension == ".pem" || extension == ".der" || extension == ".crt" || extension == ".cer";
}

} // namespace

support::Result<std::string> thumbprintPrefix(std::string_view prefix)
{
    // Appended piece by piece: GCC 12 misreads "literal" + string as overlapping copies (-Wrestrict).
    std::string quoted = "\"";
    quoted += prefix;
    quoted += '"';
    std::string digits;
    for (const char c : prefix) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)
            return Error::invalidInput(quoted + " is not a thumbprint: give its hexadecimal digits");
        digits += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    }
    if (digits.size() < kMinPrefixDigits)
        return Error::invalidInput("a thumbprint needs at least 8 hexadecimal digits to be found; " + quoted + " has "
            + std::to_string(digits.size()));
    if (digits.size() > kThumbprintDigits)
        return Error::invalidInput(quoted + " is longer than a thumbprint (40 digits)");
    return digits;
}

namespace {

Error moveError(const std::error_code& ec, const fs::path& from, const fs::path& to)
{
    return Error::fromErrno(ec.value(), "cannot move " + from.string() + " to " + to.string());
}

} // namespace

std::string_view folderName(Folder folder)
{
    // In the order of Folder.
    constexpr std::string_view kNames[] = { "own", "trusted", "rejected" };
    return kNames[static_cast<std::size_t>(folder)];
}

bool CertificateMatch::isIn(Folder folder) const
{
    return std::any_of(
        copies.begin(), copies.end(), [folder](const StoredCertificate& c) { return c.folder == folder; });
}

std::string CertificateMatch::name() const
{
    if (copies.empty() || !copies.front().info)
        return thumbprint;
    const platform::CertificateInfo& info = *copies.front().info;
    return info.commonName.empty() ? info.subject : info.commonName;
}

bool CertificateStore::exists() const
{
    std::error_code ec;
    return fs::is_directory(m_layout.trustedCerts(), ec) && fs::is_directory(m_layout.rejected(), ec);
}

fs::path CertificateStore::folderOf(Folder folder) const
{
    switch (folder) {
    case Folder::Own:
        return m_layout.ownCerts();
    case Folder::Trusted:
        return m_layout.trustedCerts();
    case Folder::Rejected:
        return m_layout.rejected();
    }
    return {};
}

std::vector<fs::path> CertificateStore::files(Folder folder) const
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folderOf(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && isCertificateName(it->path()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

StoredCertificate CertificateStore::read(Folder folder, const fs::path& file) const
{
    StoredCertificate stored {
        folder, file, std::nullopt, {}, folder == Folder::Own && file == m_layout.serverCertificate()
    };
    const auto bytes = support::readWholeFile(file, kMaxCertificateBytes);
    if (!bytes) {
        stored.error = bytes.error().message;
        return stored;
    }
    auto info = platform::readCertificate(*bytes);
    if (info)
        stored.info = std::move(*info);
    else
        stored.error = info.error().message;
    return stored;
}

std::vector<StoredCertificate> CertificateStore::list(Folder folder) const
{
    std::vector<StoredCertificate> certificates;
    for (const fs::path& file : files(folder))
        certificates.push_back(read(folder, file));
    return certificates;
}

support::Result<CertificateMatch> CertificateStore::find(std::string_view prefix) const
{
    const auto digits = thumbprintPrefix(prefix);
    if (!digits)
        return digits.error();
    std::map<std::string, CertificateMatch> matches;
    for (const Folder folder : { Folder::Own, Folder::Trusted, Folder::Rejected }) {
        for (StoredCertificate& stored : list(folder)) {
            if (!stored.info || stored.info->thumbprint.compare(0, digits->size(), *digits) != 0)
                continue;
            CertificateMatch& match = matches[stored.info->thumbprint];
            match.thumbprint = stored.info->thumbprint;
            match.copies.push_back(std::move(stored));
        }
    }
    if (matches.empty())
        return Error { ErrorKind::NotFound,
            "no certificate in own, trusted or rejected has a thumbprint that starts with " + *digits };
    if (matches.size() > 1) {
        std::string names;
        for (const auto& [thumbprint, match] : matches)
            names += (names.empty() ? "" : ", ") + thumbprint;
        return Error::invalidInput(*digits + " starts the thumbprints of " + std::to_string(matches.size())
            + " certificates (" + names + "); give more digits");
    }
    return std::move(matches.begin()->second);
}

support::Result<TrustChange> CertificateStore::move(const CertificateMatch& match, Folder from, Folder to) const
{
    const bool wasThere = match.isIn(to);
    bool moved = false;
    for (const StoredCertificate& copy : match.copies) {
        if (copy.folder != from)
            continue;
        std::error_code ec;
        if (wasThere || moved) {
            // Already in the other list: a second copy would only contradict it.
            if (!fs::remove(copy.file, ec) && ec)
                return Error::fromErrno(ec.value(), "cannot remove " + copy.file.string());
            continue;
        }
        fs::path target = folderOf(to) / copy.file.filename();
        if (fs::exists(target, ec))
            target = folderOf(to) / (match.thumbprint + copy.file.extension().string());
        fs::rename(copy.file, target, ec);
        if (ec)
            return moveError(ec, copy.file, target);
        moved = true;
    }
    if (moved || (wasThere && match.isIn(from)))
        return TrustChange::Done;
    if (wasThere)
        return TrustChange::AlreadySo;
    return Error::invalidInput("the certificate of \"" + match.name() + "\" is the server's own, not a client's");
}

support::Result<TrustChange> CertificateStore::trust(const CertificateMatch& match) const
{
    return move(match, Folder::Rejected, Folder::Trusted);
}

support::Result<TrustChange> CertificateStore::reject(const CertificateMatch& match) const
{
    return move(match, Folder::Trusted, Folder::Rejected);
}

support::Result<void> CertificateStore::remove(const CertificateMatch& match) const
{
    bool removed = false;
    for (const StoredCertificate& copy : match.copies) {
        if (copy.folder == Folder::Own)
            continue;
        std::error_code ec;
        if (!fs::remove(copy.file, ec) && ec)
            return Error::fromErrno(ec.value(), "cannot remove " + copy.file.string());
        removed = true;
    }
    if (!removed)
        return Error::invalidInput("the certificate of \"" + match.name()
            + "\" is the server's own: it is kept (a renewal makes a new one and keeps the old)");
    return {};
}

} // namespace certificates
