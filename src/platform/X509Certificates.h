#pragma once

#include "support/Result.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// What an administrator needs to know of an X.509 certificate to trust or refuse it. Text taken
/// from the certificate is UTF-8 with control characters made harmless, so that it may go into
/// a log line, a message or a list as it stands.
struct CertificateInfo {
    std::string subject; ///< one line, "CN=..., O=...", in the certificate's order
    std::string commonName; ///< the subject's CN; empty when it has none
    std::string applicationUri; ///< the first URI of the subject alternative name; empty when none
    std::vector<std::string> dnsNames;
    std::string thumbprint; ///< SHA-1 of the DER form, 40 lower-case hexadecimal digits
    std::time_t validFrom = 0;
    std::time_t validTo = 0;
};

/// Reads one certificate in PEM or DER form. Fails (InvalidInput) on anything else.
support::Result<CertificateInfo> readCertificate(std::string_view bytes);

/// What an OPC UA application instance certificate is made of.
struct ApplicationCertificateRequest {
    std::string commonName;
    std::string organization;
    std::string applicationUri;
    std::string hostName;
    std::time_t validFrom = 0;
    std::time_t validTo = 0;
    int keyBits = 2048;
};

/// A new key pair and its self-signed certificate, both PEM; the key unencrypted (PKCS #8).
struct NewCertificate {
    std::string privateKeyPem;
    std::string certificatePem;
};

/// A new RSA key and a self-signed application instance certificate for it, signed with
/// SHA-256: the application URI and the host name in the subject alternative name, the key
/// usages an OPC UA application needs (signature, non-repudiation, key and data encipherment,
/// certificate signing for its own self-signature), server and client authentication, no CA.
support::Result<NewCertificate> createApplicationCertificate(const ApplicationCertificateRequest& request);

/// Whether `privateKeyPem` is the private key of `certificate` (PEM or DER). Fails when either
/// cannot be read.
support::Result<bool> keyMatchesCertificate(std::string_view privateKeyPem, std::string_view certificate);

} // namespace platform
