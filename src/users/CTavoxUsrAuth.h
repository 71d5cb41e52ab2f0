#pragma once

#include "platform/Md5.h"
#include "users/UsrAuthEntry.h"

#include <cstddef>
#include <string_view>

namespace platform {
class SettingsStore;
} // namespace platform

/// The server's user authentication store: the user table "UsrAuth", the administrator's
/// digest "RootAuth", and the password digest that both use. Holds no state; the table lives
/// with its editor; the values are those of the machine store it is handed. The server reads
/// what this writes, so layouts and digests are fixed.
class CTavoxUsrAuth {
public:
    using Md5Function = support::Result<platform::Md5Digest> (*)(const void* data, std::size_t size);

    /// Size of a digest buffer: 32 hexadecimal digits and a NUL.
    static constexpr std::size_t kDigestBufferSize = 33;

    /// `md5` stands in for the hash provider (tests make it fail). The store must outlive the object.
    explicit CTavoxUsrAuth(const platform::SettingsStore& machine, Md5Function md5 = &platform::md5);

    /// MD5 of the NUL-terminated 8-bit `text` as 32 lowercase hex digits and a NUL in `out`
    /// (at least 33 bytes; may be `text` itself). On failure `out` is left unchanged and the
    /// failing step of the hash is written to the debug output.
    bool EncryptMd5(const char* text, char* out) const;
    /// Replaces every decimal digit of the NUL-terminated `text` through the digit table,
    /// in place; false only for a null text.
    static bool SubstituteDigits(char* text);
    /// The ten digits that '0' to '9' become in a stored digest, for a reader that checks
    /// passwords against it.
    static std::string_view DigitTable();
    /// The stored form of a password: EncryptMd5, then SubstituteDigits. `out` as for EncryptMd5.
    bool MakeDigest(const char* text, char* out) const;

    /// Copies the stored table over the start of `table` (at most 2816 bytes; bytes beyond a
    /// shorter value keep their contents). A missing value copies nothing; a key that cannot
    /// be opened zeroes the whole table.
    void GetAllUserAuth(UsrAuthTable& table) const;
    /// Numbers every slot 1..32 and stores the 2816 bytes. False when nothing was stored.
    bool SetAllUserAuth(UsrAuthTable& table) const;
    /// Stores the 32 digest characters of the root password, without terminator. False, and
    /// nothing stored, when the digest cannot be made or a character does not fit one byte.
    bool SetRootAuth(std::u16string_view password) const;

private:
    const platform::SettingsStore* m_machine;
    Md5Function m_md5;
};
