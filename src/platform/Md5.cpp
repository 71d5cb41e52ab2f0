#include "platform/Md5.h"

#include <openssl/evp.h>

#include <memory>

namespace platform {

std::optional<Md5Digest> md5(const void* data, std::size_t size)
{
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1)
        return std::nullopt;
    if (size && EVP_DigestUpdate(ctx.get(), data, size) != 1)
        return std::nullopt;
    Md5Digest digest {};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &length) != 1 || length != digest.size())
        return std::nullopt;
    return digest;
}

} // namespace platform
