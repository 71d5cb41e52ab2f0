#include "users/LoginDigest.h"

#include "config/UserProfile.h"
#include "platform/Md5.h"

#include <vector>

namespace {

constexpr std::string_view kSection = "Setting";
constexpr std::string_view kEntry = "Pwd";

std::u16string widen(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace

std::string MakeLoginDigest(std::u16string_view password)
{
    // The UTF-16LE bytes of the text, of which only the first length-in-characters count.
    std::vector<unsigned char> bytes;
    bytes.reserve(password.size() * 2);
    for (const char16_t unit : password) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    const auto digest = platform::md5(bytes.data(), password.size());
    if (!digest)
        return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(32);
    for (const std::uint8_t byte : *digest) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0x0F]);
    }
    return text;
}

std::string ReadLoginDigest(const UserProfile& profile)
{
    const std::u16string stored = profile.getString(kSection, kEntry, widen(kDefaultLoginDigest));
    // A digest is plain hexadecimal; anything else cannot match a computed digest, so it is
    // carried over unchanged only where it is ASCII.
    std::string digest;
    digest.reserve(stored.size());
    for (const char16_t unit : stored)
        digest.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return digest;
}

bool WriteLoginDigest(const UserProfile& profile, std::string_view digest)
{
    if (digest.empty())
        return false;
    return profile.writeString(kSection, kEntry, widen(digest));
}

bool LoginDigestMatches(std::string_view expected, std::u16string_view password)
{
    const std::string digest = MakeLoginDigest(password);
    return !digest.empty() && digest == expected;
}

LoginPasswordChange ChangeLoginPassword(const UserProfile& profile,
                                        std::string_view storedDigest,
                                        std::u16string_view oldPassword,
                                        std::u16string_view newPassword,
                                        std::u16string_view confirmation)
{
    if (!LoginDigestMatches(storedDigest, oldPassword))
        return LoginPasswordChange::WrongOldPassword;
    if (newPassword != confirmation)
        return LoginPasswordChange::NotConfirmed;
    const std::string digest = MakeLoginDigest(confirmation);
    if (digest.empty())
        return LoginPasswordChange::DigestFailed;
    if (!WriteLoginDigest(profile, digest))
        return LoginPasswordChange::NotStored;
    return LoginPasswordChange::Changed;
}
