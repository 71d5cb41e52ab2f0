#include "CommandFamilies.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"
#include "JsonOutput.h"

#include "certificates/CertificateStore.h"
#include "certificates/Expiry.h"
#include "certificates/OwnCertificate.h"
#include "config/EndpointSettings.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"

#include <chrono>
#include <ostream>

namespace admin {
namespace {

using certificates::Folder;
using certificates::StoredCertificate;

constexpr std::string_view kFamily = "certificates";

constexpr std::string_view kNotes
    = "THUMBPRINT is the SHA-1 thumbprint that certificates list shows, or its first 8 or more hexadecimal digits "
      "when no other certificate starts with them.\n\n"
      "The certificates live in the folder \"pki\" beside the machine store (/var/lib/tavox/pki): own/certs and "
      "own/private for the server's own, trusted/certs, rejected, and issuers for certificate authorities. "
      "Certificates of users who log on with one live in \"pki-user\".";

using Clock = std::chrono::system_clock;

certificates::StoreLayout storeOf(const AdminContext& context)
{
    return certificates::StoreLayout::applications(certificates::stateFolder(nullptr, context.stores.machine.path()));
}

certificates::ServerIdentity identity()
{
    const std::string host = support::utf16ToUtf8(EndpointSettings::computerName());
    return { host, certificates::applicationUri(host) };
}

std::string_view heading(Folder folder)
{
    switch (folder) {
    case Folder::Own:
        return "Own certificates";
    case Folder::Trusted:
        return "Trusted certificates";
    case Folder::Rejected:
        return "Rejected certificates";
    }
    return {};
}

nlohmann::ordered_json jsonOf(const StoredCertificate& stored, Clock::time_point now)
{
    nlohmann::ordered_json entry { { "file", stored.file.string() } };
    if (!stored.info) {
        entry["error"] = stored.error;
        return entry;
    }
    const platform::CertificateInfo& info = *stored.info;
    const certificates::Validity validity = certificates::validityOf(info, now);
    entry["subject"] = info.subject;
    entry["commonName"] = info.commonName;
    entry["applicationUri"] = info.applicationUri;
    entry["thumbprint"] = info.thumbprint;
    entry["validFrom"] = certificates::dateText(info.validFrom);
    entry["validTo"] = certificates::dateText(info.validTo);
    entry["expiry"] = certificates::expiryText(info, now);
    entry["expired"] = validity == certificates::Validity::Expired;
    entry["expiresSoon"] = validity == certificates::Validity::ExpiresSoon;
    if (stored.folder == Folder::Own)
        entry["inUse"] = stored.inUse;
    return entry;
}

void printText(const Streams& io, const StoredCertificate& stored, Clock::time_point now)
{
    io.out << "  " << stored.file.filename().string() << (stored.inUse ? " (in use)" : "") << "\n";
    if (!stored.info) {
        io.out << "    Not a certificate: " << stored.error << "\n";
        return;
    }
    const platform::CertificateInfo& info = *stored.info;
    io.out << "    Subject:          " << info.subject << "\n"
           << "    Application URI:  " << info.applicationUri << "\n"
           << "    Thumbprint:       " << info.thumbprint << "\n"
           << "    Valid from:       " << certificates::dateText(info.validFrom) << "\n"
           << "    Valid to:         " << certificates::dateText(info.validTo) << " ("
           << certificates::expiryText(info, now) << ")\n";
}

int list(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const certificates::CertificateStore store(storeOf(context));
    const Clock::time_point now = Clock::now();
    const bool exists = store.exists();
    std::error_code ec;
    const bool renewal = std::filesystem::exists(store.layout().renewalRequest(), ec);
    constexpr Folder kFolders[] = { Folder::Own, Folder::Trusted, Folder::Rejected };
    if (parsed.has("--json")) {
        nlohmann::ordered_json document {
            { "store", store.layout().root().string() }, { "exists", exists }, { "renewalRequested", renewal }
        };
        for (const Folder folder : kFolders) {
            nlohmann::ordered_json entries = nlohmann::ordered_json::array();
            for (const StoredCertificate& stored : store.list(folder))
                entries.push_back(jsonOf(stored, now));
            document[std::string(certificates::folderName(folder))] = std::move(entries);
        }
        printJson(io, document);
        return kExitSuccess;
    }
    if (!exists) {
        io.out << "No certificate store yet at " << store.layout().root().string()
               << ": the Tavox Server makes it, with its own certificate, at its first start.\n";
        return kExitSuccess;
    }
    for (const Folder folder : kFolders) {
        const std::vector<StoredCertificate> certificates = store.list(folder);
        io.out << heading(folder) << ":" << (certificates.empty() ? " none" : "") << "\n";
        for (const StoredCertificate& stored : certificates)
            printText(io, stored, now);
    }
    if (renewal)
        io.out << "A renewal was requested: the Tavox Server makes its new certificate at its next start.\n";
    return kExitSuccess;
}

/// The certificate named by the form's one operand; an exit code when there is none.
int findOperand(const FormCall& call,
    const certificates::CertificateStore& store,
    support::Result<certificates::CertificateMatch>& match)
{
    const Streams& io = call.io;
    const auto prefix = certificates::thumbprintPrefix(call.parsed.operands()[0]);
    if (!prefix)
        return usageError(io, kFamily, prefix.error().message);
    if (!store.exists())
        return io.fail("The certificate store " + store.layout().root().string()
            + " does not exist yet: the Tavox Server makes it at its first start.");
    match = store.find(*prefix);
    if (!match)
        return io.fail(match.error());
    return kExitSuccess;
}

std::string described(const certificates::CertificateMatch& match)
{
    return "the certificate of \"" + match.name() + "\" (thumbprint " + match.thumbprint + ")";
}

int trustOrReject(const FormCall& call, bool trust)
{
    const Streams& io = call.io;
    const certificates::CertificateStore store(storeOf(call.context));
    support::Result<certificates::CertificateMatch> match = support::Error {};
    if (int rc = findOperand(call, store, match))
        return rc;
    const auto changed = trust ? store.trust(*match) : store.reject(*match);
    if (!changed)
        return io.fail(changed.error());
    if (*changed == certificates::TrustChange::AlreadySo)
        io.out << "The certificate of \"" << match->name() << "\" is already " << (trust ? "trusted" : "rejected")
               << ".\n";
    else if (trust)
        io.out << "Trusted " << described(*match) << ": the client may connect.\n";
    else
        io.out << "Rejected " << described(*match) << ": the client can no longer connect.\n";
    return kExitSuccess;
}

int trust(const FormCall& call) { return trustOrReject(call, true); }

int reject(const FormCall& call) { return trustOrReject(call, false); }

int remove(const FormCall& call)
{
    const Streams& io = call.io;
    const certificates::CertificateStore store(storeOf(call.context));
    support::Result<certificates::CertificateMatch> match = support::Error {};
    if (int rc = findOperand(call, store, match))
        return rc;
    if (auto removed = store.remove(*match); !removed)
        return io.fail(removed.error());
    io.out << "Removed " << described(*match) << ".\n";
    return kExitSuccess;
}

int renew(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const certificates::StoreLayout layout = storeOf(context);
    const auto renewal = certificates::renewServerCertificate(layout, identity());
    if (!renewal)
        return io.fail(renewal.error());
    if (!renewal->made)
        return reportChange(
            io, "The Tavox Server makes its new certificate at its next start; the current one is kept beside it.");
    std::string done = "The Tavox Server has a new certificate: " + layout.serverCertificate().string()
        + ", thumbprint " + renewal->info.thumbprint + ", valid until " + certificates::dateText(renewal->info.validTo)
        + ".";
    if (!renewal->keptCertificate.empty())
        done += "\nThe old one is kept as " + renewal->keptCertificate.string() + ".";
    return reportChange(io, done + "\nIt takes effect at the next start of the Tavox Server.");
}

constexpr CommandForm kForms[] = {
    { "list",
        "",
        kJsonForText,
        "Lists the server's own certificates and the clients' certificates it trusts and has rejected: subject, "
        "application URI, thumbprint, valid from and to, and whether it has expired or in how many days it "
        "expires. The own certificate the server presents is marked \"in use\".",
        list },
    { "trust",
        "THUMBPRINT",
        {},
        "Trusts a client's certificate: moves it from rejected to trusted. The running server accepts the client "
        "at its next attempt.",
        trust,
        "certificates trust takes one THUMBPRINT" },
    { "reject",
        "THUMBPRINT",
        {},
        "Rejects a trusted client's certificate: moves it to rejected. The running server refuses the client at "
        "its next connection.",
        reject,
        "certificates reject takes one THUMBPRINT" },
    { "remove",
        "THUMBPRINT",
        {},
        "Deletes a client's certificate from trusted and rejected; if the client tries again, its certificate is "
        "rejected once more. The server's own certificates are kept.",
        remove,
        "certificates remove takes one THUMBPRINT" },
    { "renew",
        "",
        {},
        "Makes a new certificate for the server; the current one and its key are kept beside it. The server "
        "presents the new certificate from its next start. Run by the daemon's user or root it is made at once; "
        "run by another administrator the daemon makes it at its next start.",
        renew },
};

} // namespace

const CommandFamily kCertificatesFamily {
    "list the server's certificate and the clients' certificates; trust, reject, remove, renew",
    kForms,
    kNotes,
};

} // namespace admin
