#pragma once

#include "history/OdbcSettings.h"
#include "uikit/TavoxPage.h"

#include <filesystem>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class OdbcDriverManager;
class SettingsStore;
} // namespace platform

/// The "ODBC Database" page: whether the server logs history to an SQL database, and the
/// database's type, ODBC driver, server, port, user, password and name, stored in the node
/// configuration file; with server and database browsing and the connection status that the
/// sheet's timer reports. A thin view over history::OdbcSettings.
class CPgODBCSQL : public CTavoxPage {
    Q_OBJECT

public:
    /// `odbc` lists the installed drivers and opens the browses' environments;
    /// `ensureHistorySection` readies the node configuration file for the keys on apply; the
    /// file is found through the server's settings in `machine`, which must outlive the page.
    CPgODBCSQL(MessageBoxes& boxes,
        std::unique_ptr<platform::OdbcDriverManager> odbc,
        history::EnsureHistorySectionFn ensureHistorySection,
        const platform::SettingsStore& machine,
        QWidget* parent = nullptr);
    ~CPgODBCSQL() override;

    void OnInitDialog() override;
    /// Checks the settings and writes them; false, with the check's message, when they are
    /// refused.
    bool OnApply() override;
    /// Loads the stored settings again; unsaved edits are lost.
    void Refresh() override;
    /// "SQL Server is Connecting" for 1, "SQL Server is Disconnection" otherwise.
    void UpdateSqlStatus(std::uint32_t status) override;

    /// The shown status text.
    const QString& sqlStatus() const { return m_status; }

    void BrowseServers();
    void BrowseDatabases();

private:
    void buildView();
    void LoadSettings();
    std::filesystem::path nodeCfgPath() const;
    history::HistorySettings shown() const;
    history::SqlType selectedType() const;
    void enableDependents(bool enabled);
    void OnTypeSelected(int index);
    void OnDriverSelected();
    void OnServerSelected();
    void OnActiveClicked(bool checked);
    void markModified();
    /// Shows a browse's refusal, or its choices in `list`.
    void showBrowseResult(const history::BrowseResult& result, QComboBox* list);
    static void fillList(QComboBox* list, const std::vector<std::u16string>& items);

    std::unique_ptr<platform::OdbcDriverManager> m_odbc;
    history::OdbcSettings m_settings;
    const platform::SettingsStore& m_machine;
    QString m_status;

    QCheckBox* m_active = nullptr;
    QLabel* m_statusText = nullptr;
    QComboBox* m_type = nullptr;
    QComboBox* m_driver = nullptr;
    QComboBox* m_server = nullptr;
    QPushButton* m_browseServers = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QComboBox* m_database = nullptr;
    QPushButton* m_browseDatabases = nullptr;
};
