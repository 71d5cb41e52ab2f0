#pragma once

#include "uikit/TavoxPage.h"

class QLabel;

namespace platform {
class SettingsStore;
} // namespace platform

/// The "About" page: the application icon, the copyright with its disclaimer, and the
/// change of the login password.
class CPgAbout : public CTavoxPage {
    Q_OBJECT

public:
    /// The login password lives in the per-user store `user`, which must outlive the page.
    CPgAbout(MessageBoxes& boxes, const platform::SettingsStore& user, QWidget* parent = nullptr);
    ~CPgAbout() override;

    void OnInitDialog() override;

private slots:
    /// Opens "Change Login Password"; its result changes nothing on the page.
    void OnLoginPassword();

private:
    const platform::SettingsStore& m_user;
    QLabel* m_icon;
};
