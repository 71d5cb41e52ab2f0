#pragma once

#include "users/LoginDigest.h"
#include "users/ui/CPasswordDialog.h"

class QFormLayout;

/// "Change Login Password": checks the old password against the stored digest, the new one
/// against its confirmation, and stores the new password's salted digest of `iterations` rounds.
class CSetPwd : public CPasswordDialog {
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

    QLineEdit* m_old;
    QLineEdit* m_new;
    QLineEdit* m_confirm;
};
