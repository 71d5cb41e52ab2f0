#include "platform/Md5.h"

#include <openssl/evp.h>

#include <memory>
#include <string>

namespace platform {

namespace {

support::Error failed(const char* step) { return { support::ErrorKind::System, std::string(step) + " failed" }; }

} // namespace

support::Result<Md5Digest> md5(const void* data, std::size_t size)
{
    std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md(EVP_MD_fetch(nullptr, "MD5", nullptr), &EVP_MD_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!md || !ctx)
        return failed("CryptAcquireContext");
    if (EVP_DigestInit_ex(ctx.get(), md.get(), nullptr) != 1)
        return failed("CryptCreateHash");
    if (size && EVP_DigestUpdate(ctx.get(), data, size) != 1)
        return failed("CryptHashData");
    Md5Digest digest {};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &length) != 1 || length != digest.size())
        return failed("CryptGetHashParam");
    return digest;
}

} // namespace platform
