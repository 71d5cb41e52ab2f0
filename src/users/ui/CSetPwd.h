#pragma once

#include "config/UserProfile.h"
#include "users/LoginDigest.h"

#include <QDialog>

#include <cstdint>
#include <string>

class MessageBoxes;
class QFormLayout;
class QLineEdit;

/// "Change Login Password": checks the old password against the stored digest, the new one
/// against its confirmation, and stores the new password's salted digest of `iterations` rounds.
class CSetPwd : public QDialog {
    Q_OBJECT

public:
    CSetPwd(MessageBoxes& boxes,
            const UserProfile& profile,
            QWidget* parent = nullptr,
            std::uint32_t iterations = kLoginDigestIterations);

public slots:
    void accept() override;

private:
    QLineEdit* addPasswordRow(QFormLayout* form, const QString& caption);

    MessageBoxes& m_boxes;
    UserProfile m_profile;
    std::uint32_t m_iterations;
    std::string m_storedDigest;
    QLineEdit* m_old;
    QLineEdit* m_new;
    QLineEdit* m_confirm;
};
