#include "platform/Registry.h"

#include "support/TextCodec.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <system_error>

namespace platform {
namespace {

// Marks a database as one of our stores, so that a foreign SQLite file is refused.
constexpr int kApplicationId = 0x54415658; // "TAVX"
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema = "CREATE TABLE IF NOT EXISTS reg_keys("
                            " id INTEGER PRIMARY KEY,"
                            " path TEXT NOT NULL UNIQUE COLLATE NOCASE);"
                            "CREATE TABLE IF NOT EXISTS reg_values("
                            " id INTEGER PRIMARY KEY,"
                            " key_id INTEGER NOT NULL REFERENCES reg_keys(id),"
                            " name TEXT NOT NULL COLLATE NOCASE,"
                            " type INTEGER NOT NULL,"
                            " data BLOB NOT NULL,"
                            " UNIQUE(key_id, name));";

// Key paths are compared without leading or trailing backslashes.
std::string normalizeKeyPath(std::string_view path)
{
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return std::string(path);
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }
    void bindText(int i, std::string_view text)
    {
        sqlite3_bind_text(m_stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void bindInt(int i, std::int64_t v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bindBlob(int i, const void* data, std::uint32_t size)
    {
        // A zero-length blob must still be a blob, not NULL.
        static const char empty = 0;
        sqlite3_bind_blob(m_stmt, i, size ? data : &empty, static_cast<int>(size), SQLITE_TRANSIENT);
    }
    int step() { return sqlite3_step(m_stmt); }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

bool isOurStore(sqlite3* db)
{
    Statement st(db, "PRAGMA application_id");
    if (!st.ok() || st.step() != SQLITE_ROW)
        return false;
    return sqlite3_column_int(st.get(), 0) == kApplicationId;
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

bool execute(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Stores a value row inside the caller's transaction; an existing row of the same name is
// replaced (keeping its first spelling and its place) only when `replace` is set.
bool writeRow(sqlite3* db, std::int64_t keyId, std::string_view name, std::uint32_t type, const void* data,
    std::uint32_t size, bool replace)
{
    if (replace) {
        Statement update(db, "UPDATE reg_values SET type = ?3, data = ?4 WHERE key_id = ?1 AND name = ?2");
        if (!update.ok())
            return false;
        update.bindInt(1, keyId);
        update.bindText(2, name);
        update.bindInt(3, type);
        update.bindBlob(4, data, size);
        if (update.step() != SQLITE_DONE)
            return false;
        if (sqlite3_changes(db) != 0)
            return true;
    }
    Statement insert(db, "INSERT OR IGNORE INTO reg_values(key_id, name, type, data) VALUES(?1, ?2, ?3, ?4)");
    if (!insert.ok())
        return false;
    insert.bindInt(1, keyId);
    insert.bindText(2, name);
    insert.bindInt(3, type);
    insert.bindBlob(4, data, size);
    return insert.step() == SQLITE_DONE;
}

bool deleteRow(sqlite3* db, std::int64_t keyId, std::string_view name)
{
    Statement st(db, "DELETE FROM reg_values WHERE key_id = ?1 AND name = ?2");
    if (!st.ok())
        return false;
    st.bindInt(1, keyId);
    st.bindText(2, name);
    return st.step() == SQLITE_DONE;
}

} // namespace

const char* regStatusText(RegStatus status)
{
    switch (status) {
    case RegStatus::Success:
        return "success";
    case RegStatus::NotFound:
        return "not found";
    case RegStatus::MoreData:
        return "more data is available";
    case RegStatus::AccessDenied:
        return "access is denied";
    case RegStatus::InvalidHandle:
        return "the key is not open";
    case RegStatus::Failed:
        return "the settings store cannot be read";
    }
    return "unknown";
}

support::ErrorKind regStatusErrorKind(RegStatus status)
{
    switch (status) {
    case RegStatus::NotFound:
        return support::ErrorKind::NotFound;
    case RegStatus::AccessDenied:
        return support::ErrorKind::AccessDenied;
    case RegStatus::MoreData:
        return support::ErrorKind::TooLarge;
    case RegStatus::Success:
    case RegStatus::InvalidHandle:
    case RegStatus::Failed:
        break;
    }
    return support::ErrorKind::System;
}

RegistryKey::~RegistryKey()
{
    close();
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : m_db(other.m_db)
    , m_keyId(other.m_keyId)
    , m_writable(other.m_writable)
{
    other.m_db = nullptr;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        close();
        m_db = other.m_db;
        m_keyId = other.m_keyId;
        m_writable = other.m_writable;
        other.m_db = nullptr;
    }
    return *this;
}

void RegistryKey::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_keyId = 0;
    m_writable = false;
}

RegStatus RegistryKey::open(const std::filesystem::path& store, std::string_view subKey, RegAccess access)
{
    close();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(store, ec))
        return RegStatus::NotFound;
    const bool wantWrite = access != RegAccess::Read;
    if (wantWrite && !isWritableFile(store))
        return RegStatus::AccessDenied;

    sqlite3* db = nullptr;
    const int flags = wantWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(store.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return RegStatus::Failed;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (!isOurStore(db)) {
        sqlite3_close_v2(db);
        return RegStatus::Failed;
    }
    Statement st(db, "SELECT id FROM reg_keys WHERE path = ?1");
    if (!st.ok()) {
        sqlite3_close_v2(db);
        return RegStatus::Failed;
    }
    st.bindText(1, normalizeKeyPath(subKey));
    const int rc = st.step();
    if (rc != SQLITE_ROW) {
        sqlite3_close_v2(db);
        return rc == SQLITE_DONE ? RegStatus::NotFound : RegStatus::Failed;
    }
    m_keyId = sqlite3_column_int64(st.get(), 0);
    m_db = db;
    m_writable = wantWrite;
    return RegStatus::Success;
}

RegStatus RegistryKey::queryValue(std::string_view name, std::uint32_t* type, void* data, std::uint32_t* size) const
{
    if (!m_db)
        return RegStatus::InvalidHandle;
    if (data && !size)
        return RegStatus::Failed;
    Statement st(m_db, "SELECT type, data FROM reg_values WHERE key_id = ?1 AND name = ?2");
    if (!st.ok())
        return RegStatus::Failed;
    st.bindInt(1, m_keyId);
    st.bindText(2, name);
    const int rc = st.step();
    if (rc == SQLITE_DONE)
        return RegStatus::NotFound;
    if (rc != SQLITE_ROW)
        return RegStatus::Failed;
    const auto storedType = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 0));
    const void* blob = sqlite3_column_blob(st.get(), 1);
    const auto stored = static_cast<std::uint32_t>(sqlite3_column_bytes(st.get(), 1));
    if (type)
        *type = storedType;
    if (data) {
        if (*size < stored) {
            *size = stored;
            return RegStatus::MoreData;
        }
        if (stored)
            std::memcpy(data, blob, stored);
    }
    if (size)
        *size = stored;
    return RegStatus::Success;
}

RegStatus RegistryKey::queryValue(std::string_view name, std::uint32_t& type, std::vector<std::uint8_t>& data) const
{
    std::uint32_t size = 0;
    RegStatus status = queryValue(name, &type, nullptr, &size);
    if (status != RegStatus::Success)
        return status;
    data.assign(size, 0);
    status = queryValue(name, &type, data.data(), &size);
    data.resize(size);
    return status;
}

RegStatus RegistryKey::setValue(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size)
{
    if (!m_db)
        return RegStatus::InvalidHandle;
    if (!m_writable)
        return RegStatus::AccessDenied;
    if (!execute(m_db, "BEGIN IMMEDIATE"))
        return RegStatus::Failed;
    if (!writeRow(m_db, m_keyId, name, type, data, size, true) || !execute(m_db, "COMMIT")) {
        execute(m_db, "ROLLBACK");
        return RegStatus::Failed;
    }
    return RegStatus::Success;
}

RegStatus RegistryKey::deleteValue(std::string_view name)
{
    if (!m_db)
        return RegStatus::InvalidHandle;
    if (!m_writable)
        return RegStatus::AccessDenied;
    if (!deleteRow(m_db, m_keyId, name))
        return RegStatus::Failed;
    return sqlite3_changes(m_db) ? RegStatus::Success : RegStatus::NotFound;
}

RegStatus RegistryKey::enumValues(std::vector<Value>& values) const
{
    values.clear();
    if (!m_db)
        return RegStatus::InvalidHandle;
    Statement st(m_db, "SELECT name, type, data FROM reg_values WHERE key_id = ?1 ORDER BY id");
    if (!st.ok())
        return RegStatus::Failed;
    st.bindInt(1, m_keyId);
    int rc = 0;
    while ((rc = st.step()) == SQLITE_ROW) {
        Value v;
        v.name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        v.type = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 1));
        const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(st.get(), 2));
        const int n = sqlite3_column_bytes(st.get(), 2);
        v.data.assign(blob, blob + n);
        values.push_back(std::move(v));
    }
    return rc == SQLITE_DONE ? RegStatus::Success : RegStatus::Failed;
}

RegStatus RegistryKey::enumSubKeys(std::vector<std::string>& names) const
{
    names.clear();
    if (!m_db)
        return RegStatus::InvalidHandle;
    Statement parent(m_db, "SELECT path FROM reg_keys WHERE id = ?1");
    if (!parent.ok())
        return RegStatus::Failed;
    parent.bindInt(1, m_keyId);
    if (parent.step() != SQLITE_ROW)
        return RegStatus::Failed;
    const std::string prefix = std::string(reinterpret_cast<const char*>(sqlite3_column_text(parent.get(), 0))) + "\\";
    Statement st(m_db, "SELECT path FROM reg_keys ORDER BY path COLLATE NOCASE");
    if (!st.ok())
        return RegStatus::Failed;
    int rc = 0;
    while ((rc = st.step()) == SQLITE_ROW) {
        const std::string_view path = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        if (path.size() <= prefix.size() || !support::equalsNoCase(path.substr(0, prefix.size()), prefix))
            continue;
        const std::string_view rest = path.substr(prefix.size());
        if (rest.find('\\') == std::string_view::npos)
            names.emplace_back(rest);
    }
    return rc == SQLITE_DONE ? RegStatus::Success : RegStatus::Failed;
}

namespace {

// Opens a store for a batch of writes, creating the file and its tables when missing, and
// starts the transaction.
RegStatus beginBatch(const std::filesystem::path& store, sqlite3*& db)
{
    db = nullptr;
    std::error_code ec;
    const bool exists = std::filesystem::exists(store, ec);
    if (exists && !isWritableFile(store))
        return RegStatus::AccessDenied;
    if (!exists && store.has_parent_path())
        std::filesystem::create_directories(store.parent_path(), ec);
    if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close_v2(db);
        db = nullptr;
        return exists ? RegStatus::Failed : RegStatus::AccessDenied;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (!execute(db, "BEGIN IMMEDIATE"))
        return RegStatus::Failed;
    if (exists)
        return isOurStore(db) ? RegStatus::Success : RegStatus::Failed;
    const std::string pragma = "PRAGMA application_id = " + std::to_string(kApplicationId);
    return execute(db, pragma.c_str()) && execute(db, kSchema) ? RegStatus::Success : RegStatus::Failed;
}

// The id of a key, created with its parents when missing, as the registry does.
bool ensureKey(sqlite3* db, const std::string& path, std::int64_t& keyId)
{
    for (std::size_t pos = 0; pos != std::string::npos;) {
        pos = path.find('\\', pos + 1);
        Statement st(db, "INSERT OR IGNORE INTO reg_keys(path) VALUES(?1)");
        if (!st.ok())
            return false;
        st.bindText(1, path.substr(0, pos));
        if (st.step() != SQLITE_DONE)
            return false;
    }
    Statement st(db, "SELECT id FROM reg_keys WHERE path = ?1");
    if (!st.ok())
        return false;
    st.bindText(1, path);
    if (st.step() != SQLITE_ROW)
        return false;
    keyId = sqlite3_column_int64(st.get(), 0);
    return true;
}

bool applyChange(sqlite3* db, const RegistryKey::Change& change)
{
    using Kind = RegistryKey::Change::Kind;
    std::int64_t keyId = 0;
    if (!ensureKey(db, normalizeKeyPath(change.key), keyId))
        return false;
    if (change.kind == Kind::CreateKey)
        return true;
    if (change.kind == Kind::Delete)
        return deleteRow(db, keyId, change.name);
    const auto size = static_cast<std::uint32_t>(change.data.size());
    return writeRow(db, keyId, change.name, change.type, change.data.data(), size, change.kind == Kind::Set);
}

} // namespace

RegStatus RegistryKey::createKey(const std::filesystem::path& store, std::string_view subKey)
{
    Change change;
    change.kind = Change::Kind::CreateKey;
    change.key = std::string(subKey);
    return writeAll(store, {change});
}

RegStatus RegistryKey::writeAll(const std::filesystem::path& store, const std::vector<Change>& changes)
{
    std::error_code ec;
    const bool existed = std::filesystem::exists(store, ec);
    sqlite3* db = nullptr;
    RegStatus status = beginBatch(store, db);
    for (std::size_t i = 0; status == RegStatus::Success && i < changes.size(); ++i) {
        if (!applyChange(db, changes[i]))
            status = RegStatus::Failed;
    }
    if (status == RegStatus::Success && !execute(db, "COMMIT"))
        status = RegStatus::Failed;
    if (status != RegStatus::Success && db)
        execute(db, "ROLLBACK");
    sqlite3_close_v2(db);
    // A store file made by a batch that failed would be an empty, foreign-looking file.
    if (status != RegStatus::Success && !existed)
        std::filesystem::remove(store, ec);
    return status;
}

std::array<std::uint8_t, 4> regDwordBytes(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>((value >> 8) & 0xFF),
        static_cast<std::uint8_t>((value >> 16) & 0xFF), static_cast<std::uint8_t>(value >> 24)};
}

std::uint32_t regDwordValue(const std::uint8_t* data)
{
    return static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
        (static_cast<std::uint32_t>(data[2]) << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
}

std::vector<std::uint8_t> regSzBytes(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::vector<std::uint8_t> regSzBytesFromUtf8(std::string_view text)
{
    return regSzBytes(support::utf8ToUtf16(text));
}

std::u16string regSzText(const std::uint8_t* data, std::size_t size)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

} // namespace platform
