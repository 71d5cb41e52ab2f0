#pragma once

#include "users/UsrAuthEntry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CTavoxUsrAuth;

/// One listed user: a used slot with the texts of its row.
struct UserRow {
    std::size_t slot = 0; ///< 0-based slot in the table
    std::u16string number; ///< 1-based row number, two digits ("01")
    std::u16string name;
    bool read = false;
    bool write = false;
    bool executable = false;
};

/// The Users page's copy of the server's user table and the edits made to it before they are
/// stored. Slots are never compacted: a new user takes the first free slot.
class UserTable {
public:
    struct AddTarget {
        std::size_t slot = 0;
        bool replacesUser = false; ///< a user of the same name lives in `slot`
    };

    explicit UserTable(const CTavoxUsrAuth& store);

    void clear() { m_table = UsrAuthTable {}; }
    /// Replaces this table with the stored one; slots beyond a shorter stored value are free.
    void load();
    /// Numbers every slot and stores the table; false when it could not be stored.
    bool save();

    /// The used slots in slot order, numbered from "01".
    std::vector<UserRow> rows() const;
    std::size_t userCount() const;

    /// A new entry from the dialog's texts; empty when a text does not fit one byte per
    /// character or the digest cannot be made. Texts longer than a field are cut to fit.
    std::optional<UsrAuthEntry>
    makeEntry(std::u16string_view name, std::u16string_view password, std::uint32_t rights) const;
    /// Where an entry named `name` goes: the slot of the first user with that exact name,
    /// else the first free slot; empty when the table is full.
    std::optional<AddTarget> findAddTarget(std::string_view name) const;
    void place(std::size_t slot, const UsrAuthEntry& entry);
    void clearSlot(std::size_t slot);
    /// Replaces the digest of the user in `slot`; false, and the old digest kept, when the new
    /// one cannot be made.
    bool changePassword(std::size_t slot, std::u16string_view password);
    void changeRights(std::size_t slot, std::uint32_t rights);

    const UsrAuthEntry& entry(std::size_t slot) const;
    const UsrAuthTable& table() const { return m_table; }

private:
    bool fillDigest(char (&field)[48], std::u16string_view password) const;

    const CTavoxUsrAuth& m_store;
    UsrAuthTable m_table {};
};
