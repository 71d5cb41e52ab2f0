#pragma once

#include "support/Result.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace platform {

/// The two settings stores: the machine's (HKEY_LOCAL_MACHINE) and the user's (HKEY_CURRENT_USER).
enum class RegHive { LocalMachine, CurrentUser };

/// How a key is opened. Write needs a writable store file, as KEY_WRITE needs the right to write.
enum class RegAccess { Read, Write, ReadWrite };

/// Outcome of a store call, after the registry's own error codes.
enum class RegStatus {
    Success,
    NotFound, ///< key, value or store file missing (ERROR_FILE_NOT_FOUND)
    MoreData, ///< the caller's buffer is too small (ERROR_MORE_DATA)
    AccessDenied, ///< opened for writing without the right to write, or written through a read-only key
    InvalidHandle, ///< the key is not open
    Failed, ///< the store file is corrupt, foreign or locked beyond the wait
    InvalidName, ///< a key or value name beyond the registry's limits, or holding a NUL
};

/// Registry value types, kept with their Windows numbers.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
/// Whether a value of the type holds text: REG_SZ, and REG_EXPAND_SZ read as it is stored (what
/// `reg import` makes of a "hex(2):" line, say).
constexpr bool isRegString(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

/// The registry's limits on names, in UTF-16 characters: a key path has at most kMaxKeyDepth
/// components of at most kMaxKeyNameLength characters each; a value name has at most
/// kMaxValueNameLength characters. No name holds a NUL.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxValueNameLength = 16383;

const char* regStatusText(RegStatus status);
/// The kind of failure a store call's status stands for (Success gives System: no failure has none).
support::ErrorKind regStatusErrorKind(RegStatus status);

/// One open key of a settings store (a SQLite database), with the semantics of the
/// RegOpenKeyExW / RegQueryValueExW / RegSetValueExW / RegDeleteValueW / RegCloseKey calls.
/// Key and value names compare case-insensitively. Each write is one transaction.
///
/// A store is never seen half made or half written: it is created whole under a temporary name
/// and put in place, and it writes through a write-ahead log with full syncs, so that a writer
/// killed at any point leaves the last committed state for every reader. The machine's store
/// is created 0660 in a folder 02770 (root and the administrators' group), the user's 0600 in a
/// folder 0700, whatever the umask.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    /// Opens an existing key of the store at `store`; never creates one. Closes a key opened
    /// before. A writer only takes the world's rights away from the store.
    [[nodiscard]] RegStatus open(const std::filesystem::path& store, std::string_view subKey, RegAccess access);
    /// The same on `hive`'s store: a writer also gives the store its hive's rights.
    /// (SettingsStore::open opens a store handed over this way.)
    [[nodiscard]] RegStatus
    open(const std::filesystem::path& store, RegHive hive, std::string_view subKey, RegAccess access);
    /// Opens an existing key below an open one, on the same connection to its store (as
    /// RegOpenKeyExW does with a key handle): a walk over a tree costs one lookup per key.
    /// Writing needs a parent opened for writing.
    [[nodiscard]] RegStatus open(const RegistryKey& parent, std::string_view subKey, RegAccess access);
    bool isOpen() const { return m_db != nullptr; }
    void close();

    /// Reads a value as RegQueryValueExW does: `type` and `data` may be null; `size` is the
    /// buffer size on entry and the stored size on return. A buffer that is too small gives
    /// MoreData and leaves the buffer untouched.
    [[nodiscard]] RegStatus
    queryValue(std::string_view name, std::uint32_t* type, void* data, std::uint32_t* size) const;
    /// Reads a whole value of any size.
    [[nodiscard]] RegStatus
    queryValue(std::string_view name, std::uint32_t& type, std::vector<std::uint8_t>& data) const;

    /// Stores a value, replacing one of the same name (the stored name keeps its first spelling).
    /// InvalidName for a name beyond the registry's limits.
    [[nodiscard]] RegStatus setValue(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size);
    [[nodiscard]] RegStatus deleteValue(std::string_view name);

    struct Value {
        std::string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    /// Every value of the key in the order they were first stored.
    [[nodiscard]] RegStatus enumValues(std::vector<Value>& values) const;

    /// Names of the direct subkeys, as first spelled, in alphabetical order.
    [[nodiscard]] RegStatus enumSubKeys(std::vector<std::string>& names) const;

    /// Creates a key (and the store file with its tables) when missing, the store with the
    /// rights of `hive`'s store. Only the administration tool and the user's profile create keys;
    /// the utility and the daemon never create the machine's.
    [[nodiscard]] static RegStatus
    createKey(const std::filesystem::path& store, std::string_view subKey, RegHive hive = RegHive::CurrentUser);

    /// One change of a batch for writeAll. Every change creates its key (and the key's
    /// parents) when missing.
    struct Change {
        enum class Kind {
            CreateKey, ///< only the key
            Set, ///< store the value, replacing one of the same name
            SetIfMissing, ///< store the value unless one of the same name exists
            Delete, ///< remove the value when present
        };
        Kind kind = Kind::Set;
        std::string key;
        std::string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    /// Applies every change in one transaction: all of them, or none when one fails. The store
    /// file is created, with the rights of `hive`'s store, when missing. InvalidName, before
    /// anything is touched, when a name is beyond the registry's limits.
    [[nodiscard]] static RegStatus writeAll(const std::filesystem::path& store,
        const std::vector<Change>& changes,
        RegHive hive = RegHive::CurrentUser);

    /// The changes of a batch for one store.
    struct StoreChanges {
        std::filesystem::path store;
        RegHive hive = RegHive::CurrentUser;
        std::vector<Change> changes;
    };
    /// Applies changes to several stores as one: every store is checked (and created when
    /// missing) before anything is written, then all changes go into one transaction over all
    /// stores, so a failure in any of them leaves every store as it was. `failedStore`, when
    /// given, names the store a failure came from.
    [[nodiscard]] static RegStatus writeAll(const std::vector<StoreChanges>& stores,
        std::filesystem::path* failedStore = nullptr);

private:
    RegStatus openStore(const std::filesystem::path& store,
        std::string_view subKey,
        RegAccess access,
        std::optional<RegHive> hive);

    std::shared_ptr<sqlite3> m_db;
    std::int64_t m_keyId = 0;
    bool m_writable = false;
};

/// REG_DWORD helpers: 4 little-endian bytes.
std::array<std::uint8_t, 4> regDwordBytes(std::uint32_t value);
std::uint32_t regDwordValue(const std::uint8_t* data);

/// REG_SZ helpers: UTF-8 text to and from UTF-16LE bytes with the terminating NUL.
std::vector<std::uint8_t> regSzBytes(std::u16string_view text);
std::vector<std::uint8_t> regSzBytesFromUtf8(std::string_view text);
/// The text of REG_SZ bytes, up to the first NUL (an odd trailing byte is dropped).
std::u16string regSzText(const std::uint8_t* data, std::size_t size);

} // namespace platform
