#pragma once

#include "certificates/StoreLayout.h"
#include "platform/X509Certificates.h"
#include "support/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace certificates {

/// The lists an administrator sees.
enum class Folder { Own, Trusted, Rejected };

/// One certificate file of a list; `info` is empty for a file that is no certificate, and
/// `error` then says why.
struct StoredCertificate {
    Folder folder = Folder::Trusted;
    std::filesystem::path file;
    std::optional<platform::CertificateInfo> info;
    std::string error;
    bool inUse = false; ///< the server's own certificate that it presents
};

/// The copies of one certificate (one thumbprint) in the lists.
struct CertificateMatch {
    std::string thumbprint;
    std::vector<StoredCertificate> copies;

    bool isIn(Folder folder) const;
    /// The subject's common name, else the subject, for messages.
    std::string name() const;
};

/// What a change of the trust did.
enum class TrustChange { Done, AlreadySo };

/// The certificates of one store, read from its folders at every call (the engine, tavox-admin
/// and the utility all change them), and the moves that trust or reject a client's certificate.
/// Files are listed when they end in .pem, .der, .crt or .cer; other files are not certificates.
class CertificateStore {
public:
    explicit CertificateStore(StoreLayout layout)
        : m_layout(std::move(layout))
    {
    }

    const StoreLayout& layout() const { return m_layout; }
    /// Whether the store's folders are there (the daemon makes them at its first start).
    bool exists() const;

    /// The certificates of one list, by file name; none when its folder does not exist.
    std::vector<StoredCertificate> list(Folder folder) const;
    /// The certificate files of one list, by name, unread.
    std::vector<std::filesystem::path> files(Folder folder) const;
    /// One file of a list, read.
    StoredCertificate read(Folder folder, const std::filesystem::path& file) const;

    /// The one certificate whose thumbprint starts with `prefix` (8 to 40 hexadecimal digits,
    /// either case) in any list. Refused: a prefix too short or not hexadecimal (InvalidInput),
    /// one that no certificate has (NotFound), one that starts several thumbprints (InvalidInput,
    /// naming them).
    support::Result<CertificateMatch> find(std::string_view prefix) const;

    /// Moves the certificate's copies from rejected to trusted: the server accepts the client
    /// at its next connection. AlreadySo when it was trusted and not rejected too.
    support::Result<TrustChange> trust(const CertificateMatch& match) const;
    /// Moves its copies from trusted to rejected: the server refuses the client.
    support::Result<TrustChange> reject(const CertificateMatch& match) const;
    /// Deletes its copies in trusted and rejected; the server's own certificates stay (a
    /// renewal keeps the old ones). Fails when it is in neither list.
    support::Result<void> remove(const CertificateMatch& match) const;

private:
    support::Result<TrustChange> move(const CertificateMatch& match, Folder from, Folder to) const;
    std::filesystem::path folderOf(Folder folder) const;

    StoreLayout m_layout;
};

/// A thumbprint or its start as typed: 8 to 40 hexadecimal digits, either case; lower case.
/// Refused (InvalidInput) when too short, too long or not hexadecimal.
support::Result<std::string> thumbprintPrefix(std::string_view text);

/// "own", "trusted", "rejected".
std::string_view folderName(Folder folder);

} // namespace certificates
