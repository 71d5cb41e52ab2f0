#include "platform/RegistryStore.h"

#include "support/TextCodec.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace platform::store {
namespace {

// Marks a database as one of our stores, so that a foreign SQLite file is refused.
constexpr int kApplicationId = 0x54415658; // "TAVX"
constexpr int kBusyTimeoutMs = 10000;
// 0: every key stored with its whole path (reg_keys); 1: keys as a tree of names (reg_tree).
constexpr int kTreeVersion = 1;

const char* const kTreeTable = "(id INTEGER PRIMARY KEY,"
                               " parent INTEGER NOT NULL,"
                               " name TEXT NOT NULL COLLATE NOCASE,"
                               " UNIQUE(parent, name))";
const char* const kValuesTable = "(id INTEGER PRIMARY KEY,"
                                 " key_id INTEGER NOT NULL,"
                                 " name TEXT NOT NULL COLLATE NOCASE,"
                                 " type INTEGER NOT NULL,"
                                 " data BLOB NOT NULL,"
                                 " UNIQUE(key_id, name))";

// The machine store belongs to root and the administrators' group, the user's store to the
// user alone; folders made for them get the same rights (and the group passes to new files).
mode_t fileMode(RegHive hive) { return hive == RegHive::LocalMachine ? 0660 : 0600; }

mode_t folderMode(RegHive hive) { return hive == RegHive::LocalMachine ? 02770 : 0700; }

void closeConnection(sqlite3* db) { sqlite3_close_v2(db); }

std::optional<std::int64_t> pragmaValue(sqlite3* db, const std::string& pragma)
{
    Statement st(db, "PRAGMA " + pragma);
    if (!st.ok() || st.step() != SQLITE_ROW)
        return std::nullopt;
    return st.columnInt(0);
}

bool isOurs(sqlite3* db, const std::string& schema)
{
    return pragmaValue(db, schema + ".application_id") == kApplicationId;
}

bool hasTable(sqlite3* db, const std::string& schema, const char* table)
{
    Statement st(db, "SELECT 1 FROM " + schema + ".sqlite_master WHERE type = 'table' AND name = ?1");
    st.bindText(1, table);
    return st.ok() && st.step() == SQLITE_ROW;
}

// A store counts as writable only when the process may write it and it carries a write
// bit; a store made read-only with chmod is refused even to root, as an administrator expects.
bool isWritableFile(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// Stores made by older versions were readable by everyone: a writer takes those rights away
// (and, from the user's store, the group's) from the store and its side files. Where the
// process may not change the mode, the store is used as it is.
void takeAwayRights(const std::filesystem::path& path, std::optional<RegHive> hive)
{
    const mode_t taken = hive == RegHive::CurrentUser ? 0077 : 0007;
    for (const char* suffix : { "", "-wal", "-shm", "-journal" }) {
        const std::string file = path.string() + suffix;
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & taken) != 0)
            (void)::chmod(file.c_str(), st.st_mode & 07777 & ~taken);
    }
}

std::string asciiLower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// Fills `table` with the key tree of a store that keeps whole paths. Parents come before their
// children (shorter paths first) and keep their ids, so the values stay with their keys.
bool fillTreeFromPaths(sqlite3* db, const std::string& table)
{
    Statement keys(db, "SELECT id, path FROM main.reg_keys ORDER BY length(path), id");
    Statement insert(db, "INSERT INTO " + table + "(id, parent, name) VALUES(?1, ?2, ?3)");
    if (!keys.ok() || !insert.ok())
        return false;
    std::unordered_map<std::string, std::int64_t> ids;
    int rc = 0;
    while ((rc = keys.step()) == SQLITE_ROW) {
        const std::int64_t id = keys.columnInt(0);
        const std::string stored = keys.columnText(1);
        const std::string_view path = trimKeyPath(stored);
        if (path.empty())
            continue;
        const std::size_t slash = path.rfind('\\');
        std::int64_t parent = 0;
        if (slash != std::string_view::npos) {
            const auto found = ids.find(asciiLower(path.substr(0, slash)));
            if (found == ids.end())
                return false; // every parent was stored with its child
            parent = found->second;
        }
        insert.bindInt(1, id);
        insert.bindInt(2, parent);
        insert.bindText(3, slash == std::string_view::npos ? path : path.substr(slash + 1));
        if (insert.step() != SQLITE_DONE)
            return false;
        insert.reset();
        ids.emplace(asciiLower(path), id);
    }
    return rc == SQLITE_DONE;
}

// Rewrites a store of whole paths as a tree, once, inside one transaction.
bool migrateToTree(sqlite3* db)
{
    if (!execute(db, "BEGIN IMMEDIATE"))
        return false;
    const auto version = pragmaValue(db, "main.user_version");
    bool ok = version.has_value();
    if (ok && *version == 0) {
        ok = hasTable(db, "main", "reg_keys") && execute(db, std::string("CREATE TABLE main.reg_tree") + kTreeTable)
            && fillTreeFromPaths(db, "main.reg_tree")
            && execute(db, std::string("CREATE TABLE main.reg_values_tree") + kValuesTable)
            && execute(db,
                "INSERT INTO main.reg_values_tree(id, key_id, name, type, data)"
                " SELECT id, key_id, name, type, data FROM main.reg_values")
            && execute(db, "DROP TABLE main.reg_values")
            && execute(db, "ALTER TABLE main.reg_values_tree RENAME TO reg_values")
            && execute(db, "DROP TABLE main.reg_keys")
            && execute(db, "PRAGMA main.user_version = " + std::to_string(kTreeVersion));
    } else if (ok) {
        ok = *version == kTreeVersion; // another writer came first, or a store of a later version
    }
    if (ok && execute(db, "COMMIT"))
        return true;
    execute(db, "ROLLBACK");
    return false;
}

RegStatus readyForReading(sqlite3* db)
{
    // One snapshot for the checks and the copy, in case a writer migrates the store meanwhile.
    if (!execute(db, "BEGIN"))
        return RegStatus::Failed;
    RegStatus status = RegStatus::Failed;
    const auto version = pragmaValue(db, "main.user_version");
    if (isOurs(db, "main") && version) {
        if (*version == kTreeVersion) {
            status = RegStatus::Success;
        } else if (*version == 0 && hasTable(db, "main", "reg_keys")) {
            // An older store that this reader may not migrate: its tree is built in memory.
            const bool copied = execute(db, "PRAGMA temp_store = MEMORY")
                && execute(db, std::string("CREATE TEMP TABLE reg_tree") + kTreeTable)
                && fillTreeFromPaths(db, "temp.reg_tree");
            status = copied ? RegStatus::Success : RegStatus::Failed;
        }
    }
    execute(db, "COMMIT");
    return status;
}

RegStatus readyForWriting(sqlite3* db, const std::filesystem::path& path, std::optional<RegHive> hive)
{
    if (!isOurs(db, "main"))
        return RegStatus::Failed;
    takeAwayRights(path, hive);
    // Full syncs: a commit is on disk before it is reported, also through a power cut.
    if (!execute(db, "PRAGMA synchronous = FULL"))
        return RegStatus::Failed;
    if (pragmaValue(db, "main.user_version") != kTreeVersion && !migrateToTree(db))
        return RegStatus::Failed;
    // The write-ahead log lets readers go on beside a writer, and a writer's leftovers after a
    // crash are read past by any reader. A store still busy in another mode keeps it this time.
    execute(db, "PRAGMA journal_mode = WAL");
    return RegStatus::Success;
}

bool makeFolders(const std::filesystem::path& dir, mode_t mode)
{
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec))
        return true;
    if (dir.has_parent_path() && dir.parent_path() != dir && !makeFolders(dir.parent_path(), mode))
        return false;
    if (::mkdir(dir.c_str(), mode & 0777) == 0)
        return ::chmod(dir.c_str(), mode) == 0; // the umask takes no rights away, and setgid holds
    return errno == EEXIST && std::filesystem::is_directory(dir, ec);
}

bool syncPath(const std::filesystem::path& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    return (::close(fd) == 0) && ok;
}

// A complete, empty store in the file at `path`. Nobody else sees the file yet: it is synced
// once, whole, before it is put in place.
bool buildEmptyStore(const std::filesystem::path& path)
{
    Connection db = connect(path, true);
    if (!db)
        return false;
    sqlite3* raw = db.get();
    const bool ok = execute(raw, "PRAGMA synchronous = OFF") && execute(raw, "PRAGMA journal_mode = WAL")
        && execute(raw, "BEGIN IMMEDIATE") && execute(raw, "PRAGMA application_id = " + std::to_string(kApplicationId))
        && execute(raw, "PRAGMA user_version = " + std::to_string(kTreeVersion))
        && execute(raw, std::string("CREATE TABLE reg_tree") + kTreeTable)
        && execute(raw, std::string("CREATE TABLE reg_values") + kValuesTable) && execute(raw, "COMMIT");
    db.reset(); // the last connection folds the log into the file and removes it
    return ok && syncPath(path, O_RDONLY);
}

// Puts `temp` in place as `path` unless a file is there already; false with EEXIST then.
bool linkIntoPlace(const std::filesystem::path& temp, const std::filesystem::path& path)
{
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without no-replace renames: a hard link never replaces either.
    if (::link(temp.c_str(), path.c_str()) != 0)
        return false;
    ::unlink(temp.c_str());
    return true;
}

RegStatus createStore(const std::filesystem::path& path, RegHive hive)
{
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    if (!makeFolders(dir, folderMode(hive)))
        return RegStatus::AccessDenied;
    // Built by appending: GCC 12's -Wrestrict misreads "." + string in optimised builds.
    std::string name = ".";
    name += path.filename().string();
    name += ".new-XXXXXX";
    std::string temp = (dir / name).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return RegStatus::AccessDenied;
    // An explicit mode: whatever the umask, the store never starts out readable by others.
    bool ok = ::fchmod(fd, fileMode(hive)) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && buildEmptyStore(temp);
    const bool placed = ok && linkIntoPlace(temp, path);
    const int placeError = errno;
    ::unlink(temp.c_str());
    if (placed) {
        syncPath(dir, O_RDONLY | O_DIRECTORY);
        return RegStatus::Success;
    }
    if (ok && placeError == EEXIST) {
        // Another creator came first: its store is whole, and is checked like any other.
        Connection db;
        return openStore(path, true, hive, db);
    }
    return RegStatus::Failed;
}

} // namespace

Statement::Statement(sqlite3* db, const std::string& sql)
{
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
        m_stmt = nullptr;
}

Statement::~Statement() { sqlite3_finalize(m_stmt); }

void Statement::bindText(int i, std::string_view text)
{
    sqlite3_bind_text(m_stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Statement::bindInt(int i, std::int64_t v) { sqlite3_bind_int64(m_stmt, i, v); }

void Statement::bindBlob(int i, const void* data, std::uint32_t size)
{
    // A zero-length blob must still be a blob, not NULL.
    static const char empty = 0;
    sqlite3_bind_blob(m_stmt, i, size ? data : &empty, static_cast<int>(size), SQLITE_TRANSIENT);
}

int Statement::step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE; }

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::run()
{
    const int rc = step();
    reset();
    return rc;
}

std::int64_t Statement::columnInt(int i) const { return sqlite3_column_int64(m_stmt, i); }

std::string Statement::columnText(int i) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, i))) : std::string();
}

bool execute(sqlite3* db, const std::string& sql)
{
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}
Connection connect(const std::filesystem::path& path, bool write)
{
    // The database library opens without O_NONBLOCK: a pipe put where the store belongs would
    // hold the opener for ever.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return nullptr;
    sqlite3* db = nullptr;
    const int flags = (write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return Connection(db, closeConnection);
}

std::string_view trimKeyPath(std::string_view path)
{
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

bool isValidKeyPath(std::string_view path)
{
    path = trimKeyPath(path);
    if (path.empty())
        return true;
    std::size_t depth = 0;
    while (true) {
        const std::size_t slash = path.find('\\');
        const std::string_view name = path.substr(0, slash);
        if (name.empty() || name.find('\0') != std::string_view::npos || ++depth > kMaxKeyDepth
            || name.size() > kMaxKeyNameLength * 3 || support::utf8ToUtf16(name).size() > kMaxKeyNameLength)
            return false;
        if (slash == std::string_view::npos)
            return true;
        path.remove_prefix(slash + 1);
    }
}

bool isValidValueName(std::string_view name)
{
    return name.find('\0') == std::string_view::npos && name.size() <= kMaxValueNameLength * 3
        && support::utf8ToUtf16(name).size() <= kMaxValueNameLength;
}

RegStatus openStore(const std::filesystem::path& path, bool write, std::optional<RegHive> hive, Connection& db)
{
    db.reset();
    // A store that this user may not read, or behind a folder it may not enter, is there all the
    // same: refused, not missing.
    if (::access(path.c_str(), R_OK) != 0 && errno == EACCES)
        return RegStatus::AccessDenied;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return RegStatus::NotFound;
    if (write && !isWritableFile(path))
        return RegStatus::AccessDenied;
    Connection opened = connect(path, write);
    if (!opened)
        return RegStatus::Failed;
    RegStatus status = write ? readyForWriting(opened.get(), path, hive) : readyForReading(opened.get());
    if (status == RegStatus::Failed && !write && isWritableFile(path)) {
        // An older store left by a crashed writer holds a journal that only a connection that
        // may write can roll back.
        opened = connect(path, true);
        status = opened ? readyForReading(opened.get()) : RegStatus::Failed;
    }
    if (status == RegStatus::Success)
        db = std::move(opened);
    return status;
}

RegStatus prepareStore(const std::filesystem::path& path, RegHive hive)
{
    std::error_code ec;
    const auto state = std::filesystem::symlink_status(path, ec);
    if (ec && state.type() != std::filesystem::file_type::not_found)
        return RegStatus::AccessDenied;
    if (state.type() == std::filesystem::file_type::not_found)
        return createStore(path, hive);
    Connection db;
    return openStore(path, true, hive, db);
}

RegStatus findKey(sqlite3* db, std::int64_t from, std::string_view path, std::int64_t& keyId)
{
    path = trimKeyPath(path);
    keyId = from;
    if (path.empty())
        return RegStatus::Success;
    if (!isValidKeyPath(path))
        return RegStatus::NotFound;
    Statement st(db, "SELECT id FROM reg_tree WHERE parent = ?1 AND name = ?2");
    if (!st.ok())
        return RegStatus::Failed;
    while (true) {
        const std::size_t slash = path.find('\\');
        st.bindInt(1, keyId);
        st.bindText(2, path.substr(0, slash));
        const int rc = st.step();
        if (rc != SQLITE_ROW)
            return rc == SQLITE_DONE ? RegStatus::NotFound : RegStatus::Failed;
        keyId = st.columnInt(0);
        st.reset();
        if (slash == std::string_view::npos)
            return RegStatus::Success;
        path.remove_prefix(slash + 1);
    }
}

struct StoreWriter::Statements {
    Statements(sqlite3* db, const std::string& s)
        : findChild(db, "SELECT id FROM " + s + ".reg_tree WHERE parent = ?1 AND name = ?2")
        , insertChild(db, "INSERT INTO " + s + ".reg_tree(parent, name) VALUES(?1, ?2)")
        , update(db, "UPDATE " + s + ".reg_values SET type = ?3, data = ?4 WHERE key_id = ?1 AND name = ?2")
        , insert(db, "INSERT OR IGNORE INTO " + s + ".reg_values(key_id, name, type, data) VALUES(?1, ?2, ?3, ?4)")
        , remove(db, "DELETE FROM " + s + ".reg_values WHERE key_id = ?1 AND name = ?2")
    {
    }
    bool ok() const { return findChild.ok() && insertChild.ok() && update.ok() && insert.ok() && remove.ok(); }

    Statement findChild;
    Statement insertChild;
    Statement update;
    Statement insert;
    Statement remove;
};

StoreWriter::StoreWriter(sqlite3* db, const std::string& schema)
    : m_db(db)
    , m_st(std::make_unique<Statements>(db, schema))
{
}

StoreWriter::~StoreWriter() = default;

bool StoreWriter::ensureKey(std::string_view path, std::int64_t& keyId)
{
    path = trimKeyPath(path);
    // Changes come key by key: the last key's id spares the walk down its path.
    if (m_lastId >= 0 && path == m_lastPath) {
        keyId = m_lastId;
        return true;
    }
    if (!m_st->ok() || !isValidKeyPath(path))
        return false;
    std::int64_t id = 0;
    for (std::string_view rest = path; !rest.empty();) {
        const std::size_t slash = rest.find('\\');
        const std::string_view name = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        m_st->findChild.bindInt(1, id);
        m_st->findChild.bindText(2, name);
        const int rc = m_st->findChild.step();
        const std::int64_t found = rc == SQLITE_ROW ? m_st->findChild.columnInt(0) : -1;
        m_st->findChild.reset();
        if (rc == SQLITE_ROW) {
            id = found;
            continue;
        }
        if (rc != SQLITE_DONE)
            return false;
        m_st->insertChild.bindInt(1, id);
        m_st->insertChild.bindText(2, name);
        if (m_st->insertChild.run() != SQLITE_DONE)
            return false;
        id = sqlite3_last_insert_rowid(m_db);
    }
    m_lastPath = std::string(path);
    m_lastId = id;
    keyId = id;
    return true;
}

bool StoreWriter::writeValue(std::int64_t keyId,
    std::string_view name,
    std::uint32_t type,
    const void* data,
    std::uint32_t size,
    bool replace)
{
    if (!m_st->ok() || !isValidValueName(name))
        return false;
    // Both statements take the key, the name, the type and the data, in this order.
    const auto run = [&](Statement& statement) {
        statement.bindInt(1, keyId);
        statement.bindText(2, name);
        statement.bindInt(3, type);
        statement.bindBlob(4, data, size);
        return statement.run();
    };
    if (replace) {
        if (run(m_st->update) != SQLITE_DONE)
            return false;
        if (sqlite3_changes(m_db) != 0)
            return true;
    }
    return run(m_st->insert) == SQLITE_DONE;
}

bool StoreWriter::deleteValue(std::int64_t keyId, std::string_view name, bool& removed)
{
    removed = false;
    if (!m_st->ok())
        return false;
    m_st->remove.bindInt(1, keyId);
    m_st->remove.bindText(2, name);
    if (m_st->remove.run() != SQLITE_DONE)
        return false;
    removed = sqlite3_changes(m_db) != 0;
    return true;
}

} // namespace platform::store
