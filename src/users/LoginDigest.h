#pragma once

#include <string>
#include <string_view>

class UserProfile;

/// The digest that stands for the login password while the profile holds none.
inline constexpr std::string_view kDefaultLoginDigest = "3b9f0e6a1c7d4582a0e9f6b13c5d7e28";

/// The login password's digest: MD5 over the first N bytes of the password's UTF-16LE text,
/// N being its length in characters (so only about the first half of the characters count),
/// as 32 lowercase hexadecimal digits. Stored digests depend on exactly this form. Empty when
/// the hash cannot be made.
std::string MakeLoginDigest(std::u16string_view password);

/// The expected digest from "Setting"/"Pwd" of the profile; the default digest when the entry
/// is missing. A stored empty entry stays empty (and then no password matches).
std::string ReadLoginDigest(const UserProfile& profile);

/// Stores a digest as "Setting"/"Pwd". An empty digest is refused (false) and never stored,
/// since it would lock every login out.
bool WriteLoginDigest(const UserProfile& profile, std::string_view digest);

/// Whether a typed password opens the utility: its digest equals the expected one exactly
/// (case-sensitive). A digest that cannot be made never matches.
bool LoginDigestMatches(std::string_view expected, std::u16string_view password);

/// Outcome of a change of the login password, in the order its checks run.
enum class LoginPasswordChange {
    WrongOldPassword, ///< the old password's digest is not the stored one
    NotConfirmed,     ///< new password and confirmation differ
    DigestFailed,     ///< the new digest could not be made; nothing stored
    NotStored,        ///< the profile could not be written
    Changed,
};

/// Checks the old password against the digest read when the change began, then the
/// confirmation, and stores the new digest. Nothing is written unless the result is Changed.
LoginPasswordChange ChangeLoginPassword(const UserProfile& profile,
                                        std::string_view storedDigest,
                                        std::u16string_view oldPassword,
                                        std::u16string_view newPassword,
                                        std::u16string_view confirmation);
