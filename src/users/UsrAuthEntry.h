#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

/// One entry of the server's user table as the server reads it: 88 bytes, integers
/// little-endian. An entry whose first name byte is 0 is a free slot.
struct UsrAuthEntry {
    char name[32]; ///< 8-bit characters, NUL-terminated, at most 31 characters
    char password[48]; ///< digest text: 32 characters, a NUL, then zero bytes
    std::uint32_t index; ///< slot number 1..32, written into every entry on save
    std::uint32_t rights; ///< access-right bits (kRightRead, kRightWrite, kRightExecutable)
};

static_assert(std::endian::native == std::endian::little, "the stored table is little-endian");
static_assert(sizeof(UsrAuthEntry) == 88);
static_assert(offsetof(UsrAuthEntry, name) == 0);
static_assert(offsetof(UsrAuthEntry, password) == 32);
static_assert(offsetof(UsrAuthEntry, index) == 80);
static_assert(offsetof(UsrAuthEntry, rights) == 84);

inline constexpr std::size_t kUsrAuthSlots = 32;
inline constexpr std::size_t kUsrAuthBytes = kUsrAuthSlots * sizeof(UsrAuthEntry); // 2816

/// The whole user table, slot 1 first; its bytes are the "UsrAuth" value.
using UsrAuthTable = std::array<UsrAuthEntry, kUsrAuthSlots>;
static_assert(sizeof(UsrAuthTable) == kUsrAuthBytes);

// The right masks overlap: Write contains the Executable bit.
inline constexpr std::uint32_t kRightRead = 0x00B;
inline constexpr std::uint32_t kRightWrite = 0x204;
inline constexpr std::uint32_t kRightExecutable = 0x004;

inline bool isReadGranted(std::uint32_t rights) { return (rights & kRightRead) == kRightRead; }
inline bool isWriteGranted(std::uint32_t rights) { return (rights & kRightWrite) == kRightWrite; }
inline bool isExecutableGranted(std::uint32_t rights) { return (rights & kRightExecutable) != 0; }

inline std::uint32_t rightsFrom(bool read, bool write, bool executable)
{
    return (read ? kRightRead : 0) | (write ? kRightWrite : 0) | (executable ? kRightExecutable : 0);
}

/// The stored name up to its NUL, never past the 32-byte field (a foreign table may lack the NUL).
inline std::string_view entryName(const UsrAuthEntry& entry)
{
    std::size_t length = 0;
    while (length < sizeof(entry.name) && entry.name[length] != '\0')
        ++length;
    return { entry.name, length };
}

inline bool isFreeSlot(const UsrAuthEntry& entry) { return entry.name[0] == '\0'; }
