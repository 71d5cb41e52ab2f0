#include "users/ui/CPgUsers.h"

#include "config/AuthenticationFlags.h"
#include "uikit/CheckBoxes.h"
#include "uikit/MessageBoxes.h"
#include "uikit/PagePointers.h"
#include "uikit/Rows.h"
#include "users/Latin1Text.h"
#include "users/ui/CDlgUserOpt.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column { NumberColumn, NameColumn, ReadColumn, WriteColumn, ExecutableColumn, ColumnCount };
constexpr int kSlotRole = Qt::UserRole;

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QString grantText(bool granted) { return granted ? QStringLiteral("V") : QStringLiteral("---"); }

} // namespace

CPgUsers::CPgUsers(MessageBoxes& boxes, const platform::SettingsStore& machine, QWidget* parent)
    : CTavoxPage(QStringLiteral("Users"), boxes, parent)
    , m_server(machine)
    , m_store(machine)
{
    buildView();
    buildMenu();
}

CPgUsers::~CPgUsers() { clearPagePointer(g_pPgUsers, this); }

void CPgUsers::buildView()
{
    auto* rootName = new QLabel(QStringLiteral("root"));
    rootName->setObjectName(QStringLiteral("rootName"));
    m_reset = new QPushButton(QStringLiteral("Reset"));
    auto* nameLabel = new QLabel(QStringLiteral("Name:"));
    nameLabel->setBuddy(rootName);
    auto* passwordLabel = new QLabel(QStringLiteral("Password:"));
    passwordLabel->setBuddy(m_reset);

    auto* admin = new QGroupBox(QStringLiteral("Administrator"));
    auto* adminLayout = new QHBoxLayout(admin);
    adminLayout->addWidget(nameLabel);
    adminLayout->addWidget(rootName);
    adminLayout->addSpacing(24);
    adminLayout->addWidget(passwordLabel);
    adminLayout->addWidget(m_reset);
    adminLayout->addStretch();

    m_list = new QTableWidget(0, ColumnCount);
    m_list->setObjectName(QStringLiteral("userList"));
    // The list has no label of its own; assistive technologies name it after its group.
    m_list->setAccessibleName(QStringLiteral("Server Users"));
    m_list->setHorizontalHeaderLabels({ QStringLiteral("#"),
        QStringLiteral("Name"),
        QStringLiteral("Read"),
        QStringLiteral("Write"),
        QStringLiteral("Executable") });
    m_list->verticalHeader()->hide();
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setColumnWidth(NumberColumn, 36);
    m_list->setColumnWidth(NameColumn, 180);
    for (int column : { ReadColumn, WriteColumn, ExecutableColumn })
        m_list->setColumnWidth(column, 78);
    m_list->setMinimumWidth(36 + 180 + 3 * 78 + 4);

    auto* users = new QGroupBox(QStringLiteral("Server Users"));
    auto* usersLayout = new QVBoxLayout(users);
    usersLayout->addWidget(m_list);

    m_windowsLogonBox = new QCheckBox(QStringLiteral("Enable Windows Logon"));
    m_certificationBox = new QCheckBox(QStringLiteral("Enable Certification"));
    m_anonymousBox = new QCheckBox(QStringLiteral("Anonymous"));
    QHBoxLayout* logon = leftAlignedRow({ m_windowsLogonBox, m_certificationBox, m_anonymousBox });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(admin);
    layout->addWidget(users, 1);
    layout->addLayout(logon);

    connect(m_reset, &QPushButton::clicked, this, &CPgUsers::ResetRootPassword);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CPgUsers::showUserMenu);
    for (QCheckBox* box : { m_windowsLogonBox, m_certificationBox, m_anonymousBox })
        connect(box, &QCheckBox::toggled, this, [this] { SetModified(true); });
}

void CPgUsers::buildMenu()
{
    m_menu = new QMenu(QStringLiteral("User"), this);
    m_menu->setObjectName(QStringLiteral("userMenu"));
    m_addUser = m_menu->addAction(QStringLiteral("Add User"), this, &CPgUsers::AddUser);
    m_deleteUsers = m_menu->addAction(QStringLiteral("Delete User(s)"), this, &CPgUsers::DeleteUsers);
    m_menu->addSeparator();
    m_changePassword = m_menu->addAction(QStringLiteral("Change Password"), this, &CPgUsers::ChangePassword);
    m_changeAccessRight = m_menu->addAction(QStringLiteral("Change Access Right"), this, &CPgUsers::ChangeAccessRight);
}

void CPgUsers::OnInitDialog()
{
    g_pPgUsers = this;
    m_users.clear();
    RefreshUsers(true);
}

void CPgUsers::Refresh()
{
    // A root password entered before the sheet was hidden is an unsaved edit like the others:
    // the next Apply, of whichever page, must not store it.
    m_pendingRoot.clear();
    RefreshUsers(true);
}

void CPgUsers::RefreshUsers(bool fromStore)
{
    m_windowsLogon = m_windowsLogonBox->isChecked();
    m_certification = m_certificationBox->isChecked();
    m_anonymous = m_anonymousBox->isChecked();
    if (fromStore) {
        m_users.load();
        const LogonChoices logon = LogonChoices::from(m_server.ReadAuthentication());
        m_windowsLogon = logon.windowsLogon;
        m_certification = logon.certificate;
        m_anonymous = logon.anonymous;
    }
    // A rebuild after an edit of the table keeps the logon boxes as the administrator left
    // them; only a reload from the store resets them.
    rebuildRows();
    if (!m_nameColumnSized) {
        // The name column takes the width that the number and right columns leave.
        m_list->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
        m_nameColumnSized = true;
    }
    checkboxes::showChecked(m_windowsLogonBox, m_windowsLogon);
    checkboxes::showChecked(m_certificationBox, m_certification);
    checkboxes::showChecked(m_anonymousBox, m_anonymous);
    SetModified(false);
}

void CPgUsers::rebuildRows()
{
    m_list->clearContents();
    const std::vector<UserRow> rows = m_users.rows();
    m_list->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const UserRow& user = rows[static_cast<std::size_t>(row)];
        QTableWidgetItem* number = cell(QString::fromStdU16String(user.number));
        number->setData(kSlotRole, static_cast<int>(user.slot));
        m_list->setItem(row, NumberColumn, number);
        m_list->setItem(row, NameColumn, cell(QString::fromStdU16String(user.name)));
        m_list->setItem(row, ReadColumn, cell(grantText(user.read)));
        m_list->setItem(row, WriteColumn, cell(grantText(user.write)));
        m_list->setItem(row, ExecutableColumn, cell(grantText(user.executable)));
    }
}

QMenu* CPgUsers::userMenu()
{
    updateMenu();
    return m_menu;
}

void CPgUsers::updateMenu()
{
    const auto selected = m_list->selectionModel()->selectedRows().size();
    m_addUser->setEnabled(m_list->rowCount() < static_cast<int>(kUsrAuthSlots));
    m_deleteUsers->setEnabled(selected >= 1);
    m_changePassword->setEnabled(selected == 1);
    m_changeAccessRight->setEnabled(selected == 1);
}

void CPgUsers::showUserMenu(const QPoint& position) { userMenu()->popup(m_list->viewport()->mapToGlobal(position)); }

int CPgUsers::singleSelectedSlot() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    if (rows.size() != 1)
        return -1;
    return m_list->item(rows.front().row(), NumberColumn)->data(kSlotRole).toInt();
}

void CPgUsers::AddUser()
{
    if (m_list->rowCount() >= static_cast<int>(kUsrAuthSlots))
        return;
    CDlgUserOpt dialog(UserOptMode::Add, messageBoxes(), nullptr, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::optional<UsrAuthEntry> entry
        = m_users.makeEntry(dialog.name().toStdU16String(), dialog.password().toStdU16String(), dialog.rights());
    if (!entry)
        return;
    const std::optional<UserTable::AddTarget> target = m_users.findAddTarget(entryName(*entry));
    if (!target)
        return;
    if (target->replacesUser
        && messageBoxes().show(this,
               QStringLiteral("Found the same user name. Do you want to replace it!"),
               QStringLiteral("Question"),
               MbIcon::Question,
               MbButtons::YesNo)
            != MbResult::Yes)
        return;
    m_users.place(target->slot, *entry);
    RefreshUsers(false);
    SetModified(true);
}

void CPgUsers::DeleteUsers()
{
    // From the last row up, so that removing a row leaves the rows still to visit in place.
    for (int row = m_list->rowCount() - 1; row >= 0; --row) {
        if (!m_list->selectionModel()->isRowSelected(row, QModelIndex()))
            continue;
        m_users.clearSlot(static_cast<std::size_t>(m_list->item(row, NumberColumn)->data(kSlotRole).toInt()));
        m_list->removeRow(row);
        SetModified(true);
    }
}

void CPgUsers::ChangePassword()
{
    editSelectedUser(UserOptMode::ChangePassword, [this](std::size_t index, const CDlgUserOpt& dialog) {
        return m_users.changePassword(index, dialog.password().toStdU16String());
    });
}

void CPgUsers::ChangeAccessRight()
{
    editSelectedUser(UserOptMode::ChangeAccessRight, [this](std::size_t index, const CDlgUserOpt& dialog) {
        m_users.changeRights(index, dialog.rights());
        return true;
    });
}

void CPgUsers::editSelectedUser(UserOptMode mode, const std::function<bool(std::size_t, const CDlgUserOpt&)>& store)
{
    const int slot = singleSelectedSlot();
    if (slot < 0)
        return;
    const auto index = static_cast<std::size_t>(slot);
    CDlgUserOpt dialog(mode, messageBoxes(), &m_users.entry(index), this);
    if (dialog.exec() != QDialog::Accepted || !store(index, dialog))
        return;
    RefreshUsers(false);
    SetModified(true);
}

void CPgUsers::ResetRootPassword()
{
    CDlgUserOpt dialog(UserOptMode::RootPassword, messageBoxes(), nullptr, this);
    if (dialog.exec() == QDialog::Accepted) {
        // The password keeps the form it will be stored in: one byte per character.
        const std::optional<std::string> bytes = latin1::fromUtf16(dialog.password().toStdU16String());
        m_pendingRoot = bytes ? latin1::toUtf16(*bytes) : std::u16string();
    }
    SetModified(true);
}

bool CPgUsers::OnApply()
{
    if (!m_pendingRoot.empty()) {
        (void)m_store.SetRootAuth(m_pendingRoot);
        m_pendingRoot.clear();
    }
    const LogonChoices logon {
        m_windowsLogonBox->isChecked(), m_certificationBox->isChecked(), m_anonymousBox->isChecked()
    };
    (void)m_server.WriteAuthentication(logon.appliedTo(m_server.ReadAuthentication()));
    (void)m_users.save();
    RefreshUsers(true);
    SetModified(false);
    return true;
}
