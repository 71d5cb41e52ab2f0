#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class UserProfile;

/// The digest that stands for the login password while the profile holds none.
inline constexpr std::string_view kDefaultLoginDigest = "3b9f0e6a1c7d4582a0e9f6b13c5d7e28";

/// Rounds of new login digests: about 100 ms of work for each login on the machine they were
/// measured on (bench/LoginDigestBench), so that guessing a password costs as much.
inline constexpr std::uint32_t kLoginDigestIterations = 400000;
/// More rounds than this make a stored digest unusable rather than the login endless.
inline constexpr std::uint32_t kMaxLoginDigestIterations = 10000000;

/// The old form of the login password's digest: MD5 over the first N bytes of the password's
/// UTF-16LE text, N being its length in characters (so only about the first half of the
/// characters count), as 32 lowercase hexadecimal digits. Kept to accept digests stored by
/// earlier versions (and the default digest) once; empty when the hash cannot be made.
std::string MakeLoginDigest(std::u16string_view password);

/// The form of every digest stored now: PBKDF2-HMAC-SHA256 over the whole password in UTF-8,
/// with a salt of 16 random bytes, as "pbkdf2-sha256$<iterations>$<salt>$<hash>" (salt and the
/// 32-byte hash in lowercase hexadecimal). Empty when it cannot be made.
std::string makeSaltedLoginDigest(std::u16string_view password, std::uint32_t iterations = kLoginDigestIterations);

/// Whether a stored digest has the salted form (whether it is well-formed or not).
bool isSaltedLoginDigest(std::string_view digest);

/// The expected digest from "Setting"/"Pwd" of the profile; the default digest when the entry
/// is missing. A stored empty entry stays empty (and then no password matches).
std::string readLoginDigest(const UserProfile& profile);

/// Stores a digest as "Setting"/"Pwd". An empty digest is refused (false) and never stored,
/// since it would lock every login out.
bool writeLoginDigest(const UserProfile& profile, std::string_view digest);

/// Whether a typed password opens the utility. A salted digest is made again with its own salt
/// and rounds and compared in constant time; a malformed one never matches. A digest of the old
/// form must equal the old digest of the password exactly (case-sensitive). A digest that
/// cannot be made never matches.
bool loginDigestMatches(std::string_view expected, std::u16string_view password);

/// A login: whether the password matches the expected digest and, when it does and the profile
/// holds a digest of the old form, that digest is replaced by a salted one (the login succeeds
/// even when it cannot be written). The default digest that stands for a missing entry is
/// never written.
bool checkLoginPassword(const UserProfile& profile,
    std::string_view expected,
    std::u16string_view password,
    std::uint32_t iterations = kLoginDigestIterations);

/// Outcome of a change of the login password, in the order its checks run.
enum class LoginPasswordChange {
    WrongOldPassword, ///< the old password's digest is not the stored one
    NotConfirmed, ///< new password and confirmation differ
    DigestFailed, ///< the new digest could not be made; nothing stored
    NotStored, ///< the profile could not be written
    Changed,
};

/// Checks the old password against the digest read when the change began, then the
/// confirmation, and stores the salted digest of the new one. Nothing is written unless the
/// result is Changed.
LoginPasswordChange changeLoginPassword(const UserProfile& profile,
    std::string_view storedDigest,
    std::u16string_view oldPassword,
    std::u16string_view newPassword,
    std::u16string_view confirmation,
    std::uint32_t iterations = kLoginDigestIterations);
