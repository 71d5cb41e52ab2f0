#include "platform/Registry.h"

#include "platform/RegistryStore.h"
#include "support/TextCodec.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <system_error>

namespace platform {

using store::Statement;

namespace {

/// What a status says: its text, and the kind of failure it stands for.
struct StatusMeaning {
    RegStatus status;
    const char* text;
    support::ErrorKind kind;
};

constexpr StatusMeaning kStatusMeanings[] = {
    { RegStatus::Success, "success", support::ErrorKind::System },
    { RegStatus::NotFound, "not found", support::ErrorKind::NotFound },
    { RegStatus::MoreData, "more data is available", support::ErrorKind::TooLarge },
    { RegStatus::AccessDenied, "access is denied", support::ErrorKind::AccessDenied },
    { RegStatus::InvalidHandle, "the key is not open", support::ErrorKind::System },
    { RegStatus::Failed, "the settings store cannot be read", support::ErrorKind::System },
    { RegStatus::InvalidName, "the name is beyond the registry's limits", support::ErrorKind::InvalidInput },
};

const StatusMeaning* meaningOf(RegStatus status)
{
    for (const StatusMeaning& meaning : kStatusMeanings) {
        if (meaning.status == status)
            return &meaning;
    }
    return nullptr;
}

} // namespace

const char* regStatusText(RegStatus status)
{
    const StatusMeaning* meaning = meaningOf(status);
    return meaning ? meaning->text : "unknown";
}

support::ErrorKind regStatusErrorKind(RegStatus status)
{
    const StatusMeaning* meaning = meaningOf(status);
    return meaning ? meaning->kind : support::ErrorKind::System;
}

RegistryKey::~RegistryKey() { close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : m_db(std::move(other.m_db))
    , m_keyId(other.m_keyId)
    , m_writable(other.m_writable)
{
    other.close();
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        m_db = std::move(other.m_db);
        m_keyId = other.m_keyId;
        m_writable = other.m_writable;
        other.close();
    }
    return *this;
}

void RegistryKey::close()
{
    m_db.reset();
    m_keyId = 0;
    m_writable = false;
}

RegStatus RegistryKey::open(const std::filesystem::path& store, std::string_view subKey, RegAccess access)
{
    return openStore(store, subKey, access, std::nullopt);
}

RegStatus RegistryKey::open(const std::filesystem::path& store, RegHive hive, std::string_view subKey, RegAccess access)
{
    return openStore(store, subKey, access, hive);
}

RegStatus RegistryKey::openStore(const std::filesystem::path& store,
    std::string_view subKey,
    RegAccess access,
    std::optional<RegHive> hive)
{
    close();
    const bool wantWrite = access != RegAccess::Read;
    store::Connection db;
    if (const RegStatus status = store::openStore(store, wantWrite, hive, db); status != RegStatus::Success)
        return status;
    std::int64_t keyId = 0;
    if (const RegStatus status = store::findKey(db.get(), 0, subKey, keyId); status != RegStatus::Success)
        return status;
    m_db = std::move(db);
    m_keyId = keyId;
    m_writable = wantWrite;
    return RegStatus::Success;
}

RegStatus RegistryKey::open(const RegistryKey& parent, std::string_view subKey, RegAccess access)
{
    if (!parent.m_db)
        return RegStatus::InvalidHandle;
    const bool wantWrite = access != RegAccess::Read;
    if (wantWrite && !parent.m_writable)
        return RegStatus::AccessDenied;
    std::shared_ptr<sqlite3> db = parent.m_db;
    std::int64_t keyId = 0;
    if (const RegStatus status = store::findKey(db.get(), parent.m_keyId, subKey, keyId); status != RegStatus::Success)
        return status;
    m_db = std::move(db);
    m_keyId = keyId;
    m_writable = wantWrite;
    return RegStatus::Success;
}

RegStatus RegistryKey::queryValue(std::string_view name, std::uint32_t* type, void* data, std::uint32_t* size) const
{
    if (!m_db)
        return RegStatus::InvalidHandle;
    if (data && !size)
        return RegStatus::Failed;
    Statement st(m_db.get(), "SELECT type, data FROM reg_values WHERE key_id = ?1 AND name = ?2");
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
    if (!store::isValidValueName(name))
        return RegStatus::InvalidName;
    if (!store::execute(m_db.get(), "BEGIN IMMEDIATE"))
        return RegStatus::Failed;
    bool ok = false;
    {
        store::StoreWriter writer(m_db.get(), "main");
        ok = writer.writeValue(m_keyId, name, type, data, size, true);
    }
    if (!ok || !store::execute(m_db.get(), "COMMIT")) {
        store::execute(m_db.get(), "ROLLBACK");
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
    store::StoreWriter writer(m_db.get(), "main");
    bool removed = false;
    if (!writer.deleteValue(m_keyId, name, removed))
        return RegStatus::Failed;
    return removed ? RegStatus::Success : RegStatus::NotFound;
}

namespace {

// Runs `sql`, whose one parameter is the key's id, and hands each row it yields to `row`.
template <class Row> RegStatus forEachRow(sqlite3* db, std::int64_t keyId, const char* sql, Row row)
{
    Statement st(db, sql);
    if (!st.ok())
        return RegStatus::Failed;
    st.bindInt(1, keyId);
    int rc = 0;
    while ((rc = st.step()) == SQLITE_ROW)
        row(st);
    return rc == SQLITE_DONE ? RegStatus::Success : RegStatus::Failed;
}

} // namespace

RegStatus RegistryKey::enumValues(std::vector<Value>& values) const
{
    values.clear();
    if (!m_db)
        return RegStatus::InvalidHandle;
    const char* sql = "SELECT name, type, data FROM reg_values WHERE key_id = ?1 ORDER BY id";
    return forEachRow(m_db.get(), m_keyId, sql, [&](const Statement& st) {
        Value v;
        v.name = st.columnText(0);
        v.type = static_cast<std::uint32_t>(st.columnInt(1));
        const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(st.get(), 2));
        const int n = sqlite3_column_bytes(st.get(), 2);
        v.data.assign(blob, blob + n);
        values.push_back(std::move(v));
    });
}

RegStatus RegistryKey::enumSubKeys(std::vector<std::string>& names) const
{
    names.clear();
    if (!m_db)
        return RegStatus::InvalidHandle;
    const char* sql = "SELECT name FROM reg_tree WHERE parent = ?1 ORDER BY name COLLATE NOCASE";
    return forEachRow(m_db.get(), m_keyId, sql, [&](const Statement& st) { names.push_back(st.columnText(0)); });
}

namespace {

bool isValidChange(const RegistryKey::Change& change)
{
    return store::isValidKeyPath(change.key)
        && (change.kind == RegistryKey::Change::Kind::CreateKey || store::isValidValueName(change.name));
}

bool applyChange(store::StoreWriter& writer, const RegistryKey::Change& change)
{
    using Kind = RegistryKey::Change::Kind;
    std::int64_t keyId = 0;
    if (!writer.ensureKey(change.key, keyId))
        return false;
    if (change.kind == Kind::CreateKey)
        return true;
    if (change.kind == Kind::Delete) {
        bool removed = false;
        return writer.deleteValue(keyId, change.name, removed);
    }
    const auto size = static_cast<std::uint32_t>(change.data.size());
    return writer.writeValue(keyId, change.name, change.type, change.data.data(), size, change.kind == Kind::Set);
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec))
        return true;
    return std::filesystem::absolute(a, ec).lexically_normal() == std::filesystem::absolute(b, ec).lexically_normal();
}

// Batches for one file become one, in their order.
std::vector<RegistryKey::StoreChanges> mergedByFile(const std::vector<RegistryKey::StoreChanges>& batches)
{
    std::vector<RegistryKey::StoreChanges> merged;
    for (const RegistryKey::StoreChanges& batch : batches) {
        auto same = merged.begin();
        while (same != merged.end() && !sameFile(same->store, batch.store))
            ++same;
        if (same == merged.end())
            merged.push_back(batch);
        else
            same->changes.insert(same->changes.end(), batch.changes.begin(), batch.changes.end());
    }
    return merged;
}

// Writes every batch in one transaction of one connection, each store but the first attached.
RegStatus writeInOneTransaction(const std::vector<RegistryKey::StoreChanges>& batches, std::size_t& failed)
{
    failed = 0;
    const store::Connection db = store::connect(batches[0].store, true);
    if (!db)
        return RegStatus::Failed;
    sqlite3* raw = db.get();
    std::vector<std::string> schemas;
    for (std::size_t i = 0; i < batches.size(); ++i) {
        failed = i;
        const std::string schema = i == 0 ? "main" : "store" + std::to_string(i);
        if (i > 0) {
            Statement attach(raw, "ATTACH DATABASE ?1 AS " + schema);
            attach.bindText(1, batches[i].store.string());
            if (attach.step() != SQLITE_DONE)
                return RegStatus::Failed;
        }
        if (!store::execute(raw, "PRAGMA " + schema + ".synchronous = FULL"))
            return RegStatus::Failed;
        schemas.push_back(schema);
    }
    failed = 0;
    if (!store::execute(raw, "BEGIN IMMEDIATE"))
        return RegStatus::Failed;
    RegStatus status = RegStatus::Success;
    for (std::size_t i = 0; status == RegStatus::Success && i < batches.size(); ++i) {
        failed = i;
        store::StoreWriter writer(raw, schemas[i]);
        for (const RegistryKey::Change& change : batches[i].changes) {
            if (!applyChange(writer, change)) {
                status = RegStatus::Failed;
                break;
            }
        }
    }
    if (status == RegStatus::Success) {
        failed = 0;
        if (store::execute(raw, "COMMIT"))
            return RegStatus::Success;
        status = RegStatus::Failed;
    }
    store::execute(raw, "ROLLBACK");
    return status;
}

} // namespace

RegStatus RegistryKey::createKey(const std::filesystem::path& store, std::string_view subKey, RegHive hive)
{
    Change change;
    change.kind = Change::Kind::CreateKey;
    change.key = std::string(subKey);
    return writeAll(store, { change }, hive);
}

RegStatus RegistryKey::writeAll(const std::filesystem::path& store, const std::vector<Change>& changes, RegHive hive)
{
    return writeAll(std::vector<StoreChanges> { { store, hive, changes } });
}

RegStatus RegistryKey::writeAll(const std::vector<StoreChanges>& stores, std::filesystem::path* failedStore)
{
    const auto fail = [&](RegStatus status, const std::filesystem::path& store) {
        if (failedStore)
            *failedStore = store;
        return status;
    };
    for (const StoreChanges& batch : stores) {
        for (const Change& change : batch.changes) {
            if (!isValidChange(change))
                return fail(RegStatus::InvalidName, batch.store);
        }
    }
    const std::vector<StoreChanges> batches = mergedByFile(stores);
    if (batches.empty())
        return RegStatus::Success;
    // Every store is ready (writable, ours, created when missing) before anything is written.
    for (const StoreChanges& batch : batches) {
        if (const RegStatus status = store::prepareStore(batch.store, batch.hive); status != RegStatus::Success)
            return fail(status, batch.store);
    }
    std::size_t failed = 0;
    if (const RegStatus status = writeInOneTransaction(batches, failed); status != RegStatus::Success)
        return fail(status, batches[failed].store);
    return RegStatus::Success;
}

std::array<std::uint8_t, 4> regDwordBytes(std::uint32_t value)
{
    return { static_cast<std::uint8_t>(value & 0xFF),
        static_cast<std::uint8_t>((value >> 8) & 0xFF),
        static_cast<std::uint8_t>((value >> 16) & 0xFF),
        static_cast<std::uint8_t>(value >> 24) };
}

std::uint32_t regDwordValue(const std::uint8_t* data)
{
    return static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8)
        | (static_cast<std::uint32_t>(data[2]) << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
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

std::vector<std::uint8_t> regSzBytesFromUtf8(std::string_view text) { return regSzBytes(support::utf8ToUtf16(text)); }

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
