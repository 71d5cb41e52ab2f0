#include "platform/Md5Steps.h"

#include <openssl/evp.h>

#include <memory>

namespace platform {

Md5Outcome md5Steps(const void* data, std::size_t size)
{
    // A provider without MD5 (a FIPS-only configuration) fails here, at acquisition.
    std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md(EVP_MD_fetch(nullptr, "MD5", nullptr), &EVP_MD_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!md || !ctx)
        return { std::nullopt, Md5Step::Acquire };
    if (EVP_DigestInit_ex(ctx.get(), md.get(), nullptr) != 1)
        return { std::nullopt, Md5Step::Create };
    if (size && EVP_DigestUpdate(ctx.get(), data, size) != 1)
        return { std::nullopt, Md5Step::Hash };
    Md5Digest digest {};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &length) != 1 || length != digest.size())
        return { std::nullopt, Md5Step::Read };
    return { digest, Md5Step::Acquire };
}

} // namespace platform
