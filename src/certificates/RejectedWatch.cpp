#include "certificates/RejectedWatch.h"

#include <set>

namespace certificates {
namespace {

std::string clientName(const platform::CertificateInfo& info)
{
    std::string name = "\"" + (info.commonName.empty() ? info.subject : info.commonName) + "\"";
    if (!info.applicationUri.empty())
        name += " (" + info.applicationUri + ")";
    return name;
}

} // namespace

std::vector<platform::CertificateInfo> RejectedWatch::look()
{
    std::map<std::filesystem::path, Folder> present;
    for (const Folder folder : { Folder::Trusted, Folder::Rejected })
        for (std::filesystem::path& file : m_store.files(folder))
            present.emplace(std::move(file), folder);
    // What was in sight at the last look counts, so that a move from one list to the other is no news.
    std::set<std::string> thumbprints;
    for (const auto& [file, thumbprint] : m_known)
        thumbprints.insert(thumbprint);
    std::erase_if(m_known, [&present](const auto& known) { return !present.contains(known.first); });

    std::vector<platform::CertificateInfo> news;
    for (const auto& [file, folder] : present) {
        if (m_known.contains(file))
            continue;
        StoredCertificate stored = m_store.read(folder, file);
        // A file still being written is read again at the next look.
        if (!stored.info)
            continue;
        m_known.emplace(file, stored.info->thumbprint);
        if (thumbprints.insert(stored.info->thumbprint).second && m_primed && folder == Folder::Rejected)
            news.push_back(std::move(*stored.info));
    }
    m_primed = true;
    return news;
}

std::string RejectedWatch::balloonText(const std::vector<platform::CertificateInfo>& refused)
{
    if (refused.empty())
        return {};
    if (refused.size() == 1)
        return "The Tavox Server refused the client " + clientName(refused.front())
            + ": its certificate is not trusted. Trust it under Endpoints, Certificates...";
    std::string names;
    for (const platform::CertificateInfo& info : refused)
        names += (names.empty() ? "" : ", ") + clientName(info);
    return "The Tavox Server refused " + std::to_string(refused.size())
        + " clients whose certificates are not trusted: " + names + ". Trust them under Endpoints, Certificates...";
}

} // namespace certificates
