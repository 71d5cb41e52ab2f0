#include "certificates/Expiry.h"

#include "certificates/OwnCertificate.h"
#include "platform/X509Certificates.h"
#include "support/UtcText.h"

namespace certificates {
namespace {

using Clock = std::chrono::system_clock;

} // namespace

Validity validityOf(const platform::CertificateInfo& info, Clock::time_point now)
{
    const Clock::time_point from = Clock::from_time_t(info.validFrom);
    const Clock::time_point to = Clock::from_time_t(info.validTo);
    if (now < from)
        return Validity::NotYetValid;
    if (now >= to)
        return Validity::Expired;
    return to - now <= kExpiryWarning ? Validity::ExpiresSoon : Validity::Valid;
}

std::string expiryText(const platform::CertificateInfo& info, Clock::time_point now)
{
    switch (validityOf(info, now)) {
    case Validity::NotYetValid:
        return "not valid before " + dateText(info.validFrom);
    case Validity::Expired:
        return "expired";
    case Validity::Valid:
    case Validity::ExpiresSoon:
        break;
    }
    const auto days
        = std::chrono::duration_cast<std::chrono::hours>(Clock::from_time_t(info.validTo) - now).count() / 24;
    if (days == 0)
        return "expires today";
    return "expires in " + std::to_string(days) + (days == 1 ? " day" : " days");
}

std::string dateText(std::time_t when) { return support::utcText(Clock::from_time_t(when)); }

} // namespace certificates
