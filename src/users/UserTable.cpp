#include "users/UserTable.h"

#include "users/CTavoxUsrAuth.h"
#include "users/Latin1Text.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>

namespace {

std::u16string rowNumber(std::size_t row)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%02zu", row);
    return latin1::toUtf16(text);
}

// Copies at most size - 1 bytes so that the field keeps a terminating NUL.
template <std::size_t N> void copyText(char (&field)[N], std::string_view text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

} // namespace

UserTable::UserTable(const CTavoxUsrAuth& store)
    : m_store(store)
{
}

void UserTable::load()
{
    // The store copies only the bytes it holds; a table held from an earlier read would
    // otherwise keep users that were removed from the store since, and write them back.
    clear();
    m_store.GetAllUserAuth(m_table);
}

bool UserTable::save() { return m_store.SetAllUserAuth(m_table); }

std::vector<UserRow> UserTable::rows() const
{
    std::vector<UserRow> result;
    for (std::size_t slot = 0; slot < m_table.size(); ++slot) {
        const UsrAuthEntry& e = m_table[slot];
        if (isFreeSlot(e))
            continue;
        result.push_back({ slot,
            rowNumber(result.size() + 1),
            latin1::toUtf16(entryName(e)),
            isReadGranted(e.rights),
            isWriteGranted(e.rights),
            isExecutableGranted(e.rights) });
    }
    return result;
}

std::size_t UserTable::userCount() const
{
    std::size_t count = 0;
    for (const UsrAuthEntry& e : m_table)
        count += isFreeSlot(e) ? 0 : 1;
    return count;
}

bool UserTable::fillDigest(char (&field)[48], std::u16string_view password) const
{
    const std::optional<std::string> bytes = latin1::fromUtf16(password);
    if (!bytes)
        return false;
    char digest[CTavoxUsrAuth::kDigestBufferSize];
    if (!m_store.MakeDigest(bytes->c_str(), digest))
        return false;
    copyText(field, digest);
    return true;
}

std::optional<UsrAuthEntry>
UserTable::makeEntry(std::u16string_view name, std::u16string_view password, std::uint32_t rights) const
{
    const std::optional<std::string> nameBytes = latin1::fromUtf16(name);
    if (!nameBytes)
        return std::nullopt;
    UsrAuthEntry entry {};
    copyText(entry.name, *nameBytes);
    if (!fillDigest(entry.password, password))
        return std::nullopt;
    entry.rights = rights;
    return entry;
}

std::optional<UserTable::AddTarget> UserTable::findAddTarget(std::string_view name) const
{
    std::optional<std::size_t> firstFree;
    for (std::size_t slot = 0; slot < m_table.size(); ++slot) {
        const UsrAuthEntry& e = m_table[slot];
        if (isFreeSlot(e)) {
            if (!firstFree)
                firstFree = slot;
            continue;
        }
        if (entryName(e) == name)
            return AddTarget { slot, true };
    }
    if (firstFree)
        return AddTarget { *firstFree, false };
    return std::nullopt;
}

void UserTable::place(std::size_t slot, const UsrAuthEntry& entry)
{
    assert(slot < m_table.size() && "slot index out of range");
    m_table[slot] = entry;
}

void UserTable::clearSlot(std::size_t slot)
{
    assert(slot < m_table.size() && "slot index out of range");
    m_table[slot] = UsrAuthEntry {};
}

bool UserTable::changePassword(std::size_t slot, std::u16string_view password)
{
    assert(slot < m_table.size() && "slot index out of range");
    char field[48];
    if (!fillDigest(field, password))
        return false;
    std::memcpy(m_table[slot].password, field, sizeof(field));
    return true;
}

void UserTable::changeRights(std::size_t slot, std::uint32_t rights)
{
    assert(slot < m_table.size() && "slot index out of range");
    m_table[slot].rights = rights;
}

const UsrAuthEntry& UserTable::entry(std::size_t slot) const
{
    assert(slot < m_table.size() && "slot index out of range");
    return m_table[slot];
}
