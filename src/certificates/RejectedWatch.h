#pragma once

#include "certificates/CertificateStore.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace certificates {

/// Notices clients that the server refused: certificates that appear in the rejected list
/// while the utility runs. A look lists the trusted and rejected folders and reads only files
/// it has not seen, so that it can run on every tick of a timer. A certificate still in sight
/// (one the administrator rejected after trusting it) is not news; one that was removed and
/// comes back is.
class RejectedWatch {
public:
    explicit RejectedWatch(StoreLayout layout)
        : m_store(std::move(layout))
    {
    }

    /// The certificates rejected since the last look; none at the first, which learns what is there.
    std::vector<platform::CertificateInfo> look();

    /// The balloon naming the refused clients; empty for none.
    static std::string balloonText(const std::vector<platform::CertificateInfo>& refused);

private:
    CertificateStore m_store;
    bool m_primed = false;
    std::map<std::filesystem::path, std::string> m_known; ///< file and its thumbprint
};

} // namespace certificates
