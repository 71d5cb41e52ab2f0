#pragma once

#include <QDialog>

#include <string>

class MessageBoxes;
class QLineEdit;
class UserProfile;

/// The login dialog "Tavox Server Utility Login": accepted when the typed password's digest
/// equals the stored one; the third wrong password closes it rejected.
class CLogin : public QDialog {
    Q_OBJECT

public:
    /// Reads the expected digest from the profile now: each opening takes the current one.
    CLogin(MessageBoxes& boxes, const UserProfile& profile, QWidget* parent = nullptr);

    int failureCount() const { return m_failures; }

public slots:
    void accept() override;

private:
    MessageBoxes& m_boxes;
    std::string m_expectedDigest;
    int m_failures = 0;
    QLineEdit* m_password;
};
