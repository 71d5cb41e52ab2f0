#pragma once

#include "users/UserOptChecks.h"

#include <QDialog>

#include <cstdint>

class MessageBoxes;
class QCheckBox;
class QLineEdit;
struct UsrAuthEntry;

/// The user dialog: adds a user, changes a user's password or access rights, or takes a new
/// root password. OK is refused with a "Warning" message while a check fails.
class CDlgUserOpt : public QDialog {
    Q_OBJECT

public:
    /// `entry` is the user of the change-password and change-access-right modes; it starts the
    /// name and the right boxes.
    CDlgUserOpt(UserOptMode mode, MessageBoxes& boxes, const UsrAuthEntry* entry = nullptr, QWidget* parent = nullptr);

    UserOptMode mode() const { return m_mode; }
    QString name() const;
    QString password() const;
    std::uint32_t rights() const;

    /// Runs the checks of OK; a failing check shows its message and gives false.
    bool validate();

public slots:
    void accept() override;

private:
    void buildView();
    void setUpMode(const UsrAuthEntry* entry);

    UserOptMode m_mode;
    MessageBoxes& m_boxes;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_confirmation = nullptr;
    QCheckBox* m_read = nullptr;
    QCheckBox* m_write = nullptr;
    QCheckBox* m_executable = nullptr;
};
