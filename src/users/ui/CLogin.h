#pragma once

#include "users/LoginDigest.h"
#include "users/ui/CPasswordDialog.h"

/// The login dialog "Tavox Server Utility Login": accepted when the typed password matches the
/// stored digest (a digest of the old form is then stored anew, salted, with `iterations`
/// rounds); the third wrong password closes it rejected.
class CLogin : public CPasswordDialog {
    Q_OBJECT

public:
    /// Reads the expected digest from the profile now: each opening takes the current one.
    CLogin(MessageBoxes& boxes,
        const UserProfile& profile,
        QWidget* parent = nullptr,
        std::uint32_t iterations = kLoginDigestIterations);

public slots:
    void accept() override;

private:
    int m_failures = 0;
    QLineEdit* m_password;
};
