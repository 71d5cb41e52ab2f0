#pragma once

#include "config/EndpointSettings.h"
#include "uikit/TavoxPage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// The "Endpoints" page: the UA TCP and HTTPS ports, the HTTPS switch and the "None" security
/// mode, with the endpoint URLs of this machine. A successful apply asks for the restart prompt.
/// "Certificates..." opens the server's certificates and those of its clients.
class CPgEndpoints : public CTavoxPage {
    Q_OBJECT

public:
    /// The ports and switches live in `machine`, which must outlive the page.
    CPgEndpoints(MessageBoxes& boxes, const platform::SettingsStore& machine, QWidget* parent = nullptr);
    ~CPgEndpoints() override;

    void OnInitDialog() override;
    /// Checks the ports and stores the settings; false, with a message and nothing stored,
    /// when the ports are refused.
    bool OnApply() override;
    /// Reads the stored settings into the page; unsaved edits are replaced.
    void Refresh() override;

private:
    void buildView();
    void fill();
    void markModifiedAfterFill();
    void openCertificates();

    EndpointSettings m_settings;
    const platform::SettingsStore& m_machine;
    bool m_filled = false;
    QLabel* m_uaTcpAddress = nullptr;
    QLineEdit* m_uaTcpPort = nullptr;
    QLineEdit* m_uaTcpServerName = nullptr;
    QCheckBox* m_securityNone = nullptr;
    QCheckBox* m_sign = nullptr;
    QCheckBox* m_signEncrypt = nullptr;
    QCheckBox* m_policies[3] = {};
    QCheckBox* m_httpsSwitch = nullptr;
    QLineEdit* m_httpsPort = nullptr;
    QLineEdit* m_httpsServerName = nullptr;
    QPushButton* m_certificates = nullptr;
};
