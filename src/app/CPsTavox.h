#pragma once

#include "app/SheetDelays.h"
#include "app/tagCPropSheetItem.h"
#include "certificates/RejectedWatch.h"
#include "service/ServiceController.h"
#include "service/ServiceOperations.h"
#include "uikit/SheetServices.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdint>
#include <set>
#include <vector>

class CDialogHeader;
class CTavoxPage;
class MessageBoxes;
class QKeyEvent;
class QMenu;
class QPushButton;
class QTabWidget;

namespace platform {
class ServiceManager;
class Sleeper;
struct SettingsStores;
} // namespace platform

/// The main window: a tabbed sheet of the six pages under the header strip, with OK, Cancel
/// and Apply. It lives in the notification area (Cancel, Escape, the close box and OK without
/// changes hide it; bringing it back asks for the login password), owns the service
/// controller, and runs the start, stop and restart of the server service from its timers.
class CPsTavox : public QDialog, public SheetServices {
    Q_OBJECT

public:
    /// What the notification-area icon is asked to do.
    enum class TrayOperation { Add, Modify, Delete };

    static constexpr unsigned kRestartPauseMs = ::kRestartPauseMs;

    CPsTavox(const QString& caption,
        MessageBoxes& boxes,
        platform::ServiceManager& serviceManager,
        platform::Sleeper& sleeper,
        const SheetDelays& delays,
        const platform::SettingsStores& stores,
        QWidget* parent = nullptr);
    ~CPsTavox() override;

    /// Adds a page as the next tab with its header item. Pages are added before OnInitDialog.
    void AddPage(CTavoxPage* page, const tagCPropSheetItem& item);
    /// The full command line; " -1" anywhere in it hides the sheet one second after it opens.
    void setCommandLine(const QString& commandLine) { m_commandLine = commandLine; }

    /// Window initialisation: header, tray icon, timers, the service, every page once.
    void OnInitDialog();
    /// Initialises, shows the sheet and runs until it ends ("E&xit", or a failed login when
    /// it is brought back); returns QDialog::Accepted or Rejected.
    int DoModal();

    void RequestRestart() override;
    void DeclineRestart() override;
    void RequestStart() override;
    void RequestStop() override;
    ServiceController* Service() override { return &m_service; }
    void CompletePendingWrites() override;

    /// Hides the sheet into the notification area, or brings it back after a login.
    void ToggleVisible();
    /// Another start of the program asks this one to show itself; a hidden sheet asks for the
    /// login first and stays hidden when it is not given.
    void OnShowRequest();

    void SetActivePage(int index);
    int GetActiveIndex() const;
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CTavoxPage* GetPage(int index) const { return m_pages.at(static_cast<std::size_t>(index)); }
    CDialogHeader* header() const { return m_header; }

    bool isShown() const { return m_visible; }
    bool isApplyEnabled() const;
    bool isOkPressed() const { return m_okPressed; }
    bool isStartPending() const { return m_startPending; }
    bool isStopPending() const { return m_stopPending; }
    bool isRestartPending() const { return m_restartPending; }

public slots:
    void accept() override;
    void reject() override;

protected:
    /// Asks for the login password; true when it was given. Tests answer it.
    virtual bool RunLogin();
    /// Adds, changes (the balloon) or removes the notification-area icon.
    virtual void UpdateTrayIcon(TrayOperation operation);
    /// A balloon of the notification-area icon with `text` under the tray title.
    virtual void ShowTrayMessage(const QString& text);

    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void OnApplyNow();
    void OnTabChanged(int index);
    void OnHideTimer();
    void OnStatusPoll();
    void OnStartTimer();
    void OnStopTimer();
    void OnRestartPrompt();
    void OnServiceStateChanged();
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void OnAbout();
    void OnExit();
    void UpdateApplyButton();

private:
    /// How bringing the hidden sheet back went.
    enum class Restore { Shown, LoginRefused, LoginOpenAlready };
    /// Asks for the login password and, when it is given, reloads the pages and shows the sheet.
    Restore restoreAfterLogin();
    void UpdateHeader();
    void RefreshStatusAndEndpoints();
    void RefreshAllPages();
    bool handleNavigationKey(QObject* receiver, const QKeyEvent& event);
    static void StartOnce(bool& pending, QTimer& timer);
    /// An Apply or OK runs its pages' applies between these two; a restart question that
    /// falls due meanwhile waits for the end, when all pages have had their say.
    void BeginApply();
    void EndApply();
    /// Runs a start, stop or restart, refreshing Status and Endpoints after each step, and
    /// shows its failure (or, for a restart, its success).
    void runOperation(ServiceOperation operation);
    /// Keeps a snapshot of the configuration before an Apply or OK (`origin`) changes it; false,
    /// after saying why, when none could be made: nothing may be applied then.
    bool snapshotBeforeApply(const char* origin);

    MessageBoxes& m_boxes;
    platform::Sleeper& m_sleeper;
    const platform::SettingsStores& m_stores;
    QString m_trayTitle;
    QMenu* m_trayMenu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_visible = true;
    bool m_startPending = false;
    bool m_stopPending = false;
    bool m_restartPending = false;
    bool m_headerOn = true;
    bool m_pageDown = true;
    bool m_okPressed = false;
    bool m_loginOpen = false;
    // The applies that want the pending restart question: a number for each Apply or OK, the
    // numbers of those that asked for it and were not declined, and whether it was asked
    // for outside any apply.
    int m_applyDepth = 0;
    std::uint64_t m_applyRound = 0;
    std::uint64_t m_declinedRound = 0;
    std::set<std::uint64_t> m_restartRounds;
    bool m_restartOutsideApply = false;
    bool m_restartDue = false;
    // The key press last seen, to take each one once on its way up through the widgets.
    const QKeyEvent* m_lastKeyEvent = nullptr;
    quint64 m_lastKeyTime = 0;
    QPointer<QWidget> m_lastKeyReceiver;
    CDialogHeader* m_header;
    ServiceController m_service;
    std::vector<tagCPropSheetItem> m_headerItems;
    // Clients the server refused while the utility runs, looked for by the status poll.
    certificates::RejectedWatch m_rejected;

    std::vector<CTavoxPage*> m_pages;
    QString m_caption;
    QString m_commandLine;
    QTabWidget* m_tabs;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QPushButton* m_apply;
    QTimer m_hideTimer;
    QTimer m_statusTimer;
    QTimer m_startTimer;
    QTimer m_stopTimer;
    QTimer m_restartTimer;
};
