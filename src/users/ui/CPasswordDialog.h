#pragma once

#include "config/UserProfile.h"

#include <QDialog>

#include <cstdint>
#include <string>

class MessageBoxes;
class QLineEdit;

/// What the login dialog and "Change Login Password" share: the login password's digest, read
/// from the profile when the dialog opens, and the rounds a newly stored digest is made with.
class CPasswordDialog : public QDialog {
protected:
    CPasswordDialog(MessageBoxes& boxes, const UserProfile& profile, QWidget* parent, std::uint32_t iterations);

    /// A password field of the dialog, at least `minimumWidth` pixels wide.
    QLineEdit* passwordEdit(int minimumWidth);

    MessageBoxes& m_boxes;
    UserProfile m_profile;
    std::uint32_t m_iterations;
    std::string m_storedDigest;
};
