#include "users/LoginDigest.h"

#include "config/UserProfile.h"
#include "platform/Md5.h"
#include "platform/PasswordHash.h"
#include "support/TextCodec.h"

#include <charconv>
#include <optional>
#include <vector>

namespace {

constexpr std::string_view kSection = "Setting";
constexpr std::string_view kEntry = "Pwd";
constexpr std::string_view kSaltedPrefix = "pbkdf2-sha256$";
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
constexpr std::size_t kMaxSaltBytes = 64;

std::string hexText(const std::vector<std::uint8_t>& bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0x0F]);
    }
    return text;
}

// Lowercase hexadecimal digits only, as the digest is written.
std::optional<std::vector<std::uint8_t>> hexBytes(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = support::hexDigitValue(text[i]);
        const int lo = support::hexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0 || (text[i] >= 'A' && text[i] <= 'F') || (text[i + 1] >= 'A' && text[i + 1] <= 'F'))
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

struct SaltedDigest {
    std::uint32_t iterations = 0;
    std::vector<std::uint8_t> salt;
    std::vector<std::uint8_t> hash;
};

std::optional<SaltedDigest> parseSalted(std::string_view text)
{
    if (!text.starts_with(kSaltedPrefix))
        return std::nullopt;
    text.remove_prefix(kSaltedPrefix.size());
    const std::size_t first = text.find('$');
    const std::size_t second = first == std::string_view::npos ? first : text.find('$', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    SaltedDigest digest;
    const std::string_view rounds = text.substr(0, first);
    const auto [end, ec] = std::from_chars(rounds.data(), rounds.data() + rounds.size(), digest.iterations);
    if (rounds.empty() || rounds.front() == '0' || ec != std::errc() || end != rounds.data() + rounds.size()
        || digest.iterations > kMaxLoginDigestIterations)
        return std::nullopt;
    auto salt = hexBytes(text.substr(first + 1, second - first - 1));
    auto hash = hexBytes(text.substr(second + 1));
    if (!salt || salt->size() > kMaxSaltBytes || !hash || hash->size() != kHashBytes)
        return std::nullopt;
    digest.salt = std::move(*salt);
    digest.hash = std::move(*hash);
    return digest;
}

support::Result<std::vector<std::uint8_t>>
saltedHash(std::u16string_view password, const std::vector<std::uint8_t>& salt, std::uint32_t iterations)
{
    return platform::pbkdf2Sha256(support::utf16ToUtf8(password), salt, iterations, kHashBytes);
}

// Takes as long whichever byte differs, so that the time of a refusal tells nothing.
bool sameBytes(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    if (a.size() != b.size())
        return false;
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference = static_cast<std::uint8_t>(difference | (a[i] ^ b[i]));
    return difference == 0;
}

std::u16string widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

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

std::string readLoginDigest(const UserProfile& profile)
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

bool writeLoginDigest(const UserProfile& profile, std::string_view digest)
{
    if (digest.empty())
        return false;
    return profile.writeString(kSection, kEntry, widen(digest));
}

std::string makeSaltedLoginDigest(std::u16string_view password, std::uint32_t iterations)
{
    if (iterations == 0 || iterations > kMaxLoginDigestIterations)
        return {};
    const auto salt = platform::randomBytes(kSaltBytes);
    if (!salt)
        return {};
    const auto hash = saltedHash(password, *salt, iterations);
    if (!hash)
        return {};
    return std::string(kSaltedPrefix) + std::to_string(iterations) + "$" + hexText(*salt) + "$" + hexText(*hash);
}

bool isSaltedLoginDigest(std::string_view digest) { return digest.starts_with(kSaltedPrefix); }

bool loginDigestMatches(std::string_view expected, std::u16string_view password)
{
    if (isSaltedLoginDigest(expected)) {
        const auto stored = parseSalted(expected);
        if (!stored)
            return false;
        const auto hash = saltedHash(password, stored->salt, stored->iterations);
        return hash && sameBytes(*hash, stored->hash);
    }
    const std::string digest = MakeLoginDigest(password);
    return !digest.empty() && digest == expected;
}

bool checkLoginPassword(const UserProfile& profile,
    std::string_view expected,
    std::u16string_view password,
    std::uint32_t iterations)
{
    if (!loginDigestMatches(expected, password))
        return false;
    if (isSaltedLoginDigest(expected))
        return true;
    // Only a digest that is stored is replaced: a missing entry keeps standing for the default.
    const std::u16string stored = profile.getString(kSection, kEntry, u"");
    if (stored == widen(expected)) {
        const std::string salted = makeSaltedLoginDigest(password, iterations);
        if (!salted.empty())
            (void)writeLoginDigest(profile, salted);
    }
    return true;
}

LoginPasswordChange changeLoginPassword(const UserProfile& profile,
    std::string_view storedDigest,
    std::u16string_view oldPassword,
    std::u16string_view newPassword,
    std::u16string_view confirmation,
    std::uint32_t iterations)
{
    if (!loginDigestMatches(storedDigest, oldPassword))
        return LoginPasswordChange::WrongOldPassword;
    if (newPassword != confirmation)
        return LoginPasswordChange::NotConfirmed;
    const std::string digest = makeSaltedLoginDigest(confirmation, iterations);
    if (digest.empty())
        return LoginPasswordChange::DigestFailed;
    if (!writeLoginDigest(profile, digest))
        return LoginPasswordChange::NotStored;
    return LoginPasswordChange::Changed;
}
