#pragma once

// Internals of the settings stores behind RegistryKey: the store file (creation, permissions,
// opening), its schema with the migration of older stores, and the statements that read and
// write keys and values. Only platform/Registry.cpp uses them.

#include "platform/Registry.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace platform::store {

/// One SQLite connection, shared by a key and the keys opened below it.
using Connection = std::shared_ptr<sqlite3>;

/// A prepared statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }
    void bindText(int i, std::string_view text);
    void bindInt(int i, std::int64_t v);
    void bindBlob(int i, const void* data, std::uint32_t size);
    /// SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    /// Ready for new bindings and another run.
    void reset();
    /// step and reset, for a statement that yields no row to read.
    int run();
    std::int64_t columnInt(int i) const;
    std::string columnText(int i) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
};

bool execute(sqlite3* db, const std::string& sql);

/// A connection to an existing store file with the stores' wait for locks; null on failure.
Connection connect(const std::filesystem::path& path, bool write);

/// Whether key paths and value names stay within the registry's limits: no empty path
/// component, components of at most kMaxKeyNameLength UTF-16 units, at most kMaxKeyDepth of
/// them, value names of at most kMaxValueNameLength units, and no NUL anywhere.
bool isValidKeyPath(std::string_view path);
bool isValidValueName(std::string_view name);

/// Key paths are compared without leading or trailing backslashes.
std::string_view trimKeyPath(std::string_view path);

/// Opens an existing store. A writer's connection is made ready to write (write-ahead log
/// with full syncs, an older store migrated, permissions the hive's); a reader's connection
/// reads an older store through a private copy of its key tree. Without a hive, a writer only
/// takes the world's rights away. NotFound when there is no file, AccessDenied when a writer
/// may not write it, Failed when it is corrupt, foreign or locked beyond the wait.
RegStatus openStore(const std::filesystem::path& path, bool write, std::optional<RegHive> hive, Connection& db);

/// Makes sure a store can take a batch: an existing one must be writable and ours (and is
/// migrated), a missing one is created whole with its folders. The store is never seen half made:
/// it is built under a temporary name and linked into place, and a concurrent creator's store,
/// when it came first, is taken as it is.
RegStatus prepareStore(const std::filesystem::path& path, RegHive hive);

/// The id of the key at `path` below the key `from` (0: the store's root). NotFound when it is
/// missing or could not exist, Failed when the store cannot be read.
RegStatus findKey(sqlite3* db, std::int64_t from, std::string_view path, std::int64_t& keyId);

/// Writes keys and values into one store of a connection (`schema` "main" or an attached
/// store's name), inside the caller's transaction. Keeps its statements prepared, so a large
/// import costs one lookup per path component and row.
class StoreWriter {
public:
    StoreWriter(sqlite3* db, const std::string& schema);
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    /// The id of a key, created with its parents when missing, as the registry does.
    bool ensureKey(std::string_view path, std::int64_t& keyId);
    /// Stores a value; an existing row of the same name is replaced (keeping its first spelling
    /// and its place) only when `replace` is set.
    bool writeValue(std::int64_t keyId,
        std::string_view name,
        std::uint32_t type,
        const void* data,
        std::uint32_t size,
        bool replace);
    /// Removes a value; `removed` tells whether there was one.
    bool deleteValue(std::int64_t keyId, std::string_view name, bool& removed);

private:
    struct Statements;
    sqlite3* m_db;
    std::unique_ptr<Statements> m_st;
    std::string m_lastPath;
    std::int64_t m_lastId = -1;
};

} // namespace platform::store
