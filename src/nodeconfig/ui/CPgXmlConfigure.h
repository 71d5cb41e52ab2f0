#pragma once

#include "nodeconfig/NodeConfigHost.h"
#include "nodeconfig/NodeConfiguration.h"
#include "uikit/TavoxPage.h"

class FileDialogs;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace platform {
class SettingsStore;
} // namespace platform

/// The "Node Config" page: the server's node configuration file, the variables that carry an
/// alarm or historical logging, the "Start Logging" switch, and the import and export of the
/// file. A thin view over nodeconfig::NodeConfiguration, which holds the file's reader,
/// document, nodes and entries. The page has no apply of its own: the Status page's apply
/// writes the file back through CompletePendingWrite.
class CPgXmlConfigure : public CTavoxPage, private nodeconfig::NodeConfigHost {
    Q_OBJECT

public:
    /// Finds the file through the server's settings in `machine`, which must outlive the page.
    CPgXmlConfigure(MessageBoxes& boxes,
        FileDialogs& fileDialogs,
        const platform::SettingsStore& machine,
        QWidget* parent = nullptr);
    ~CPgXmlConfigure() override;

    /// Sets up the lists, composes the file's paths from the server's settings and loads it.
    void OnInitDialog() override;
    /// After a re-login: ReloadNodeConfig.
    void Refresh() override;
    /// Writes the file back while one is loaded; false when that failed.
    bool CompletePendingWrite() override;
    /// The page's part of an apply: false when the write-back of this apply failed, so that the
    /// page stays changed with its edits and the restart question of this apply is not asked.
    bool OnApply() override;

    void ReloadNodeConfig();
    void ImportNodeConfig();
    void ExportNodeConfig();
    /// The "Configure" button: runs the Alarms & Historical Data dialog on the loaded document.
    void ConfigureNodes();
    void OnStartLogging();
    /// Fills the attribute list for entry row `row`; a row that does not exist changes nothing.
    void ShowEntryDetails(int row);

    /// Replaces what "Configure" runs (the page installs CDlgXmlTree).
    void setConfigureDialog(nodeconfig::ConfigureDialog dialog) { m_configureDialog = std::move(dialog); }

    nodeconfig::NodeConfiguration& configuration() { return m_config; }

private:
    void buildView();
    void showStartLogging();

    // The page's side of the node configuration.
    void tell(const UserMessage& message, bool ownedByPage) override;
    bool ask(std::string_view text, std::string_view caption) override;
    std::optional<std::filesystem::path> chooseFile(const nodeconfig::FileChoice& choice) override;
    void setPageModified(bool modified) override { SetModified(modified); }
    void listsCleared() override;
    void rowAppended(const nodeconfig::AlarmHistoryEntry& entry, std::size_t row) override;

    FileDialogs& m_fileDialogs;
    const platform::SettingsStore& m_machine;
    nodeconfig::NodeConfiguration m_config { *this };
    nodeconfig::ConfigureDialog m_configureDialog;
    bool m_writeFailed = false;

    QLabel* m_fileName = nullptr;
    QTableWidget* m_entries = nullptr;
    QTableWidget* m_attributes = nullptr;
    QCheckBox* m_startLogging = nullptr;
    QPushButton* m_configure = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
};
