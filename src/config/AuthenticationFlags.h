#pragma once

#include <cstdint>

/// Bits of the "Authentication" word that the server reads: the kinds of client logon it
/// accepts and its endpoint switches. Each page changes only its own bits.
namespace auth_flags {
inline constexpr std::uint32_t kAnonymous = 0x01;
inline constexpr std::uint32_t kAlwaysSet = 0x02;
inline constexpr std::uint32_t kCertificate = 0x04;
inline constexpr std::uint32_t kWindowsLogon = 0x08;
inline constexpr std::uint32_t kEndpointsSaved = 0x10;
inline constexpr std::uint32_t kHttps = 0x20;

/// `flags` with `mask` set when `on`, cleared otherwise.
constexpr std::uint32_t withBit(std::uint32_t flags, std::uint32_t mask, bool on)
{
    return on ? (flags | mask) : (flags & ~mask);
}
} // namespace auth_flags

/// The three kinds of client logon that the Users page edits.
struct LogonChoices {
    bool windowsLogon = false;
    bool certificate = false;
    bool anonymous = false;

    static constexpr LogonChoices from(std::uint32_t flags)
    {
        return { (flags & auth_flags::kWindowsLogon) != 0,
            (flags & auth_flags::kCertificate) != 0,
            (flags & auth_flags::kAnonymous) != 0 };
    }
    /// `flags` with the three logon bits replaced; every other bit kept.
    constexpr std::uint32_t appliedTo(std::uint32_t flags) const
    {
        flags = auth_flags::withBit(flags, auth_flags::kWindowsLogon, windowsLogon);
        flags = auth_flags::withBit(flags, auth_flags::kCertificate, certificate);
        return auth_flags::withBit(flags, auth_flags::kAnonymous, anonymous);
    }
};
