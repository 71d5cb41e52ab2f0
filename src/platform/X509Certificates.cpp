#include "platform/X509Certificates.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <climits>
#include <memory>

namespace platform {
namespace {

struct OpenSslFree {
    void operator()(BIO* p) const { BIO_free(p); }
    void operator()(BIGNUM* p) const { BN_free(p); }
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(GENERAL_NAMES* p) const { GENERAL_NAMES_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
    void operator()(unsigned char* p) const { OPENSSL_free(p); }
};
template <class T> using Owned = std::unique_ptr<T, OpenSslFree>;

/// The first reason OpenSSL queued, after `what`; the queue is left empty for the next call.
support::Error openSslError(std::string what)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code != 0) {
        char reason[256] = {};
        ERR_error_string_n(code, reason, sizeof reason);
        what += " (";
        what += reason;
        what += ")";
    }
    return support::Error::invalidInput(std::move(what));
}

/// Text from a certificate, safe for a log line or a list: control characters become '?'.
std::string printable(std::string text)
{
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            c = '?';
    }
    return text;
}

std::string utf8Of(const ASN1_STRING* value)
{
    unsigned char* raw = nullptr;
    const int length = ASN1_STRING_to_UTF8(&raw, value);
    if (length < 0)
        return {};
    const Owned<unsigned char> owned(raw);
    return printable(std::string(reinterpret_cast<const char*>(raw), static_cast<std::size_t>(length)));
}

std::string bioText(BIO* bio)
{
    BUF_MEM* memory = nullptr;
    BIO_get_mem_ptr(bio, &memory);
    return memory ? std::string(memory->data, memory->length) : std::string();
}

Owned<BIO> memoryBio(std::string_view bytes)
{
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return nullptr;
    return Owned<BIO>(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

bool isPem(std::string_view bytes) { return bytes.find("-----BEGIN") != std::string_view::npos; }

Owned<X509> parseCertificate(std::string_view bytes)
{
    if (isPem(bytes)) {
        const Owned<BIO> bio = memoryBio(bytes);
        return Owned<X509>(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    }
    if (bytes.size() > static_cast<std::size_t>(LONG_MAX))
        return nullptr;
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    return Owned<X509>(d2i_X509(nullptr, &data, static_cast<long>(bytes.size())));
}

std::string subjectLine(const X509_NAME* name)
{
    const Owned<BIO> bio(BIO_new(BIO_s_mem()));
    if (!bio)
        return {};
    // Multi-byte characters stay UTF-8; separators inside values and control characters are escaped.
    constexpr unsigned long flags = XN_FLAG_SEP_CPLUS_SPC | XN_FLAG_FN_SN | XN_FLAG_DUMP_UNKNOWN_FIELDS
        | ASN1_STRFLGS_ESC_2253 | ASN1_STRFLGS_ESC_CTRL | ASN1_STRFLGS_UTF8_CONVERT | ASN1_STRFLGS_DUMP_UNKNOWN
        | ASN1_STRFLGS_DUMP_DER;
    if (X509_NAME_print_ex(bio.get(), name, 0, flags) < 0)
        return {};
    return printable(bioText(bio.get()));
}

std::string commonNameOf(const X509_NAME* name)
{
    const int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index < 0)
        return {};
    return utf8Of(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
}

void readAlternativeNames(const X509* certificate, CertificateInfo& info)
{
    const Owned<GENERAL_NAMES> names(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
    if (!names)
        return;
    for (int i = 0; i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (name->type == GEN_URI && info.applicationUri.empty())
            info.applicationUri = utf8Of(name->d.uniformResourceIdentifier);
        else if (name->type == GEN_DNS)
            info.dnsNames.push_back(utf8Of(name->d.dNSName));
    }
}

support::Result<std::time_t> timeOf(const ASN1_TIME* time, const char* which)
{
    struct tm broken {};
    if (!time || ASN1_TIME_to_tm(time, &broken) != 1)
        return openSslError(std::string("the certificate's ") + which + " date cannot be read");
    return ::timegm(&broken);
}

std::string thumbprintOf(const X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha1(), digest, &length) != 1)
        return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

Owned<EVP_PKEY> generateRsaKey(int bits)
{
    const Owned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr));
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1
        || EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), bits) != 1)
        return nullptr;
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_keygen(context.get(), &key) != 1)
        return nullptr;
    return Owned<EVP_PKEY>(key);
}

bool setRandomSerial(X509* certificate)
{
    // 159 random bits: positive, unique in practice, within the 20 octets a serial may have.
    const Owned<BIGNUM> serial(BN_new());
    return serial && BN_rand(serial.get(), 159, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1
        && BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)) != nullptr;
}

bool addNameEntry(X509_NAME* name, const char* field, const std::string& value)
{
    if (value.empty())
        return true;
    return X509_NAME_add_entry_by_txt(
               name, field, MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1, 0)
        == 1;
}

bool addExtension(X509* certificate, X509V3_CTX& context, int nid, const char* value)
{
    const Owned<X509_EXTENSION> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

bool addGeneralName(GENERAL_NAMES* names, int type, const std::string& value)
{
    ASN1_IA5STRING* text = ASN1_IA5STRING_new();
    if (!text || ASN1_STRING_set(text, value.data(), static_cast<int>(value.size())) != 1) {
        ASN1_IA5STRING_free(text);
        return false;
    }
    GENERAL_NAME* name = GENERAL_NAME_new();
    if (!name) {
        ASN1_IA5STRING_free(text);
        return false;
    }
    GENERAL_NAME_set0_value(name, type, text);
    if (sk_GENERAL_NAME_push(names, name) <= 0) {
        GENERAL_NAME_free(name);
        return false;
    }
    return true;
}

// Built from values rather than from a configuration string, so that no character of the URI
// or the host name can add a name of its own.
bool addAlternativeNames(X509* certificate, const ApplicationCertificateRequest& request)
{
    const Owned<GENERAL_NAMES> names(GENERAL_NAMES_new());
    return names && addGeneralName(names.get(), GEN_URI, request.applicationUri)
        && (request.hostName.empty() || addGeneralName(names.get(), GEN_DNS, request.hostName))
        && X509_add1_ext_i2d(certificate, NID_subject_alt_name, names.get(), 0, X509V3_ADD_DEFAULT) == 1;
}

bool addApplicationExtensions(X509* certificate, const ApplicationCertificateRequest& request)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    // The subject key identifier first: the authority key identifier of a self-signed
    // certificate is taken from it.
    return addExtension(certificate, context, NID_basic_constraints, "critical,CA:FALSE")
        && addExtension(certificate,
            context,
            NID_key_usage,
            "critical,digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment,keyCertSign")
        && addExtension(certificate, context, NID_ext_key_usage, "serverAuth,clientAuth")
        && addExtension(certificate, context, NID_subject_key_identifier, "hash")
        && addExtension(certificate, context, NID_authority_key_identifier, "keyid:always")
        && addAlternativeNames(certificate, request);
}

} // namespace

support::Result<CertificateInfo> readCertificate(std::string_view bytes)
{
    const Owned<X509> certificate = parseCertificate(bytes);
    if (!certificate)
        return openSslError("not a certificate in PEM or DER form");
    CertificateInfo info;
    const X509_NAME* subject = X509_get_subject_name(certificate.get());
    info.subject = subjectLine(subject);
    info.commonName = commonNameOf(subject);
    readAlternativeNames(certificate.get(), info);
    info.thumbprint = thumbprintOf(certificate.get());
    const auto from = timeOf(X509_get0_notBefore(certificate.get()), "start");
    if (!from)
        return from.error();
    const auto to = timeOf(X509_get0_notAfter(certificate.get()), "end");
    if (!to)
        return to.error();
    info.validFrom = *from;
    info.validTo = *to;
    if (info.thumbprint.empty())
        return openSslError("the certificate's thumbprint cannot be computed");
    return info;
}

support::Result<NewCertificate> createApplicationCertificate(const ApplicationCertificateRequest& request)
{
    const Owned<EVP_PKEY> key = generateRsaKey(request.keyBits);
    if (!key)
        return openSslError("cannot make an RSA key of " + std::to_string(request.keyBits) + " bits");
    const Owned<X509> certificate(X509_new());
    if (!certificate || X509_set_version(certificate.get(), 2) != 1 || !setRandomSerial(certificate.get())
        || !ASN1_TIME_set(X509_getm_notBefore(certificate.get()), request.validFrom)
        || !ASN1_TIME_set(X509_getm_notAfter(certificate.get()), request.validTo)
        || X509_set_pubkey(certificate.get(), key.get()) != 1)
        return openSslError("cannot make the certificate");
    X509_NAME* name = X509_get_subject_name(certificate.get());
    if (!addNameEntry(name, "CN", request.commonName) || !addNameEntry(name, "O", request.organization)
        || !addNameEntry(name, "DC", request.hostName) || X509_set_issuer_name(certificate.get(), name) != 1)
        return openSslError("cannot name the certificate's subject");
    if (!addApplicationExtensions(certificate.get(), request))
        return openSslError("cannot add the certificate's extensions");
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) <= 0)
        return openSslError("cannot sign the certificate");

    const Owned<BIO> keyText(BIO_new(BIO_s_mem()));
    const Owned<BIO> certificateText(BIO_new(BIO_s_mem()));
    if (!keyText || !certificateText
        || PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1
        || PEM_write_bio_X509(certificateText.get(), certificate.get()) != 1)
        return openSslError("cannot write the certificate in PEM form");
    return NewCertificate { bioText(keyText.get()), bioText(certificateText.get()) };
}

support::Result<bool> keyMatchesCertificate(std::string_view privateKeyPem, std::string_view certificate)
{
    const Owned<X509> parsed = parseCertificate(certificate);
    if (!parsed)
        return openSslError("not a certificate in PEM or DER form");
    const Owned<BIO> bio = memoryBio(privateKeyPem);
    const Owned<EVP_PKEY> key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key)
        return openSslError("not a private key in PEM form");
    const bool matches = X509_check_private_key(parsed.get(), key.get()) == 1;
    ERR_clear_error();
    return matches;
}

} // namespace platform
