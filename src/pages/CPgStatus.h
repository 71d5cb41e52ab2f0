#pragma once

#include "uikit/TavoxPage.h"

namespace platform {
class SettingsStore;
}

class QLabel;
class QMenu;
class QPushButton;

/// The "Status" page: whether the server service runs, its endpoint URLs and configuration
/// file names, and the buttons that start, stop and restart it. Its apply also writes back
/// the node configuration file.
class CPgStatus : public CTavoxPage {
    Q_OBJECT

public:
    /// The endpoint URLs and file names come from `machine`, which must outlive the page.
    CPgStatus(MessageBoxes& boxes, const platform::SettingsStore& machine, QWidget* parent = nullptr);
    ~CPgStatus() override;

    void OnInitDialog() override;
    bool OnApply() override;
    void Refresh() override { RefreshStatus(); }

    /// Reads the service state and the four values anew. False without a sheet.
    bool RefreshStatus();

    /// The service state last shown: 0 when no query was made, -1 when it failed.
    int lastShownState() const { return m_lastState; }

    /// Takes the URL under a screen point as the text to copy; true when the "CopyURI" menu
    /// is to open there (only while the service is shown running, never for "Not Supported.").
    bool PrepareCopy(const QPoint& globalPos);
    const QString& copiedText() const { return m_copied; }
    /// Puts the copied text on the clipboard.
    void OnCopy();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void enableOperations(bool start, bool restartAndStop);

    const platform::SettingsStore& m_machine;
    QLabel* m_status;
    QLabel* m_uaTcp;
    QLabel* m_https;
    QLabel* m_serverCfg;
    QLabel* m_nodeCfg;
    QPushButton* m_restart;
    QPushButton* m_start;
    QPushButton* m_stop;
    QMenu* m_copyMenu;
    QString m_copied;
    int m_lastState = 0;
};
