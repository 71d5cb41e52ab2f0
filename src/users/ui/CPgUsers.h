#pragma once

#include "config/CTavoxEnvmnt.h"
#include "uikit/TavoxPage.h"
#include "users/CTavoxUsrAuth.h"
#include "users/UserOptChecks.h"
#include "users/UserTable.h"

#include <cstddef>
#include <functional>
#include <string>

class CDlgUserOpt;
class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QTableWidget;

/// The "Users" page: the server's user table, the root password and the accepted kinds of
/// client logon. Edits are held until the sheet applies.
class CPgUsers : public CTavoxPage {
    Q_OBJECT

public:
    /// The table, the root password and the logon flags live in `machine`, which must outlive the page.
    CPgUsers(MessageBoxes& boxes, const platform::SettingsStore& machine, QWidget* parent = nullptr);
    ~CPgUsers() override;

    void OnInitDialog() override;
    /// Stores the root password (when one is pending), the logon flags and the user table,
    /// then reloads. Always succeeds.
    bool OnApply() override;
    /// The full reload from the store; unsaved edits are lost.
    void Refresh() override;

    /// Rebuilds the list from the table; `fromStore` first reads the table and the logon boxes
    /// from the store.
    void RefreshUsers(bool fromStore);

    /// The "User" menu with its items enabled for the current list and selection.
    QMenu* userMenu();

    void AddUser();
    void DeleteUsers();
    void ChangePassword();
    void ChangeAccessRight();
    void ResetRootPassword();

    /// The root password waiting to be stored; empty when none.
    const std::u16string& pendingRootPassword() const { return m_pendingRoot; }

private:
    void buildView();
    void buildMenu();
    void updateMenu();
    void showUserMenu(const QPoint& position);
    void rebuildRows();
    /// The slot of the only selected row; -1 unless exactly one row is selected.
    int singleSelectedSlot() const;
    /// Opens the user dialog in `mode` on the only selected user; `store` takes what it
    /// accepted and says whether the table changed.
    void editSelectedUser(UserOptMode mode, const std::function<bool(std::size_t, const CDlgUserOpt&)>& store);

    CTavoxEnvmnt m_server;
    CTavoxUsrAuth m_store;
    UserTable m_users { m_store };
    std::u16string m_pendingRoot;
    bool m_windowsLogon = false;
    bool m_certification = false;
    bool m_anonymous = false;
    bool m_nameColumnSized = false;

    QTableWidget* m_list = nullptr;
    QPushButton* m_reset = nullptr;
    QCheckBox* m_windowsLogonBox = nullptr;
    QCheckBox* m_certificationBox = nullptr;
    QCheckBox* m_anonymousBox = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_addUser = nullptr;
    QAction* m_deleteUsers = nullptr;
    QAction* m_changePassword = nullptr;
    QAction* m_changeAccessRight = nullptr;
};
