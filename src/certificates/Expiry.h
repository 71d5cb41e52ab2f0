#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace platform {
struct CertificateInfo;
} // namespace platform

namespace certificates {

/// Where a certificate stands in its validity, as lists mark it.
enum class Validity { Valid, ExpiresSoon, Expired, NotYetValid };

/// ExpiresSoon within kExpiryWarning (OwnCertificate.h) of its end.
Validity validityOf(const platform::CertificateInfo& info, std::chrono::system_clock::time_point now);

/// "expired", "expires today", "expires in 1 day", "expires in N days" (whole days left), or
/// "not valid before DATE".
std::string expiryText(const platform::CertificateInfo& info, std::chrono::system_clock::time_point now);

/// A certificate's date in UTC, ISO 8601 to the second.
std::string dateText(std::time_t when);

} // namespace certificates
