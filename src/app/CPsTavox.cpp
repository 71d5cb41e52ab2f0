#include "app/CPsTavox.h"

#include "app/CDialogHeader.h"
#include "certificates/StoreLayout.h"
#include "config/CTavoxEnvmnt.h"
#include "config/UserProfile.h"
#include "history/ui/CPgODBCSQL.h"
#include "nodeconfig/ui/CPgXmlConfigure.h"
#include "pages/CDlgAbout.h"
#include "pages/CPgAbout.h"
#include "pages/CPgEndpoints.h"
#include "pages/CPgStatus.h"
#include "platform/ServiceManager.h"
#include "platform/SettingsStore.h"
#include "platform/Sleeper.h"
#include "snapshots/ConfigSnapshots.h"
#include "support/DebugOutput.h"
#include "uikit/MessageBoxes.h"
#include "uikit/PagePointers.h"
#include "uikit/TavoxIcons.h"
#include "uikit/TavoxPage.h"
#include "users/ui/CLogin.h"
#include "users/ui/CPgUsers.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString kRunningHere = QStringLiteral("Tavox Server Utility is running here.");
constexpr int kBalloonMs = 10000;
constexpr int kDefaultHeaderHeight = 60;
constexpr int kMinimumPageWidth = 520;
constexpr int kMinimumPageHeight = 360;

void configureTimer(QTimer& timer, int intervalMs, bool singleShot)
{
    timer.setInterval(intervalMs);
    timer.setSingleShot(singleShot);
}

} // namespace

CPsTavox::CPsTavox(const QString& caption,
    MessageBoxes& boxes,
    platform::ServiceManager& serviceManager,
    platform::Sleeper& sleeper,
    const SheetDelays& delays,
    const platform::SettingsStores& stores,
    QWidget* parent)
    : QDialog(parent)
    , m_boxes(boxes)
    , m_sleeper(sleeper)
    , m_stores(stores)
    , m_header(new CDialogHeader(this))
    , m_service(serviceManager, sleeper)
    , m_rejected(certificates::StoreLayout::applications(certificates::stateFolder(nullptr, stores.machine.path())))
    , m_caption(caption)
    , m_tabs(new QTabWidget(this))
    , m_ok(new QPushButton(QStringLiteral("OK"), this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
    , m_apply(new QPushButton(QStringLiteral("&Apply"), this))
{
    setWindowTitle(caption);
    setWindowIcon(tavox_icons::appIcon());
    setSizeGripEnabled(false);

    m_ok->setDefault(true);
    m_apply->setEnabled(false);
    connect(m_ok, &QPushButton::clicked, this, &CPsTavox::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CPsTavox::reject);
    connect(m_apply, &QPushButton::clicked, this, &CPsTavox::OnApplyNow);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CPsTavox::OnTabChanged);
    // Every tab stays in sight, as on a property sheet, and the pages get room to breathe.
    m_tabs->setUsesScrollButtons(false);
    m_tabs->setMinimumSize(kMinimumPageWidth, kMinimumPageHeight);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_apply);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(9, 9, 9, 9);
    body->addWidget(m_tabs, 1);
    body->addSpacing(4);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_header);
    layout->addLayout(body, 1);
    m_header->setVisible(m_headerOn);

    configureTimer(m_hideTimer, delays.hideMs, true);
    configureTimer(m_statusTimer, delays.statusPollMs, false);
    configureTimer(m_startTimer, delays.operationDelayMs, true);
    configureTimer(m_stopTimer, delays.operationDelayMs, true);
    configureTimer(m_restartTimer, delays.operationDelayMs, true);
    connect(&m_hideTimer, &QTimer::timeout, this, &CPsTavox::OnHideTimer);
    connect(&m_statusTimer, &QTimer::timeout, this, &CPsTavox::OnStatusPoll);
    connect(&m_startTimer, &QTimer::timeout, this, &CPsTavox::OnStartTimer);
    connect(&m_stopTimer, &QTimer::timeout, this, &CPsTavox::OnStopTimer);
    connect(&m_restartTimer, &QTimer::timeout, this, &CPsTavox::OnRestartPrompt);

    qApp->installEventFilter(this);
}

CPsTavox::~CPsTavox()
{
    qApp->removeEventFilter(this);
    m_statusTimer.stop();
    UpdateTrayIcon(TrayOperation::Delete);
    // No state-change message may arrive once the controller is closed.
    m_service.Close();
    disconnect(m_tabs, nullptr, this, nullptr);
    for (auto page = m_pages.rbegin(); page != m_pages.rend(); ++page)
        delete *page;
    m_pages.clear();
}

void CPsTavox::AddPage(CTavoxPage* page, const tagCPropSheetItem& item)
{
    page->setSheet(this);
    m_pages.push_back(page);
    m_headerItems.push_back(item);
    connect(page, &CTavoxPage::modifiedChanged, this, &CPsTavox::UpdateApplyButton);
    m_tabs->addTab(page, page->caption());
}

void CPsTavox::OnInitDialog()
{
    m_header->SetHeaderHeight(kDefaultHeaderHeight);
    UpdateHeader();

    m_trayTitle = m_caption;
    if (!m_trayMenu) {
        m_trayMenu = new QMenu(QStringLiteral("Task"), this);
        m_trayMenu->addAction(QStringLiteral("Show/Hide"), this, &CPsTavox::ToggleVisible);
        m_trayMenu->addAction(QStringLiteral("&About"), this, &CPsTavox::OnAbout);
        m_trayMenu->addSeparator();
        m_trayMenu->addAction(QStringLiteral("E&xit"), this, &CPsTavox::OnExit);
    }
    UpdateTrayIcon(TrayOperation::Add);

    if (m_commandLine.contains(QStringLiteral(" -1")))
        m_hideTimer.start();

    // State changes may be reported from a thread of the service manager: they are handed to
    // this window's thread, as a posted window message would be.
    m_service.Open([this](std::uint32_t) {
        QMetaObject::invokeMethod(this, &CPsTavox::OnServiceStateChanged, Qt::QueuedConnection);
    });
    // The clients refused before the utility started are no news.
    (void)m_rejected.look();
    m_statusTimer.start();

    // Every page is activated once so that each registers itself and reads its settings.
    for (int i = 0; i < GetPageCount(); ++i)
        SetActivePage(i);
    if (GetPageCount() > 0)
        SetActivePage(0);

    setWindowTitle(m_caption);
    RefreshStatusAndEndpoints();

    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

int CPsTavox::DoModal()
{
    OnInitDialog();
    show();
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);
    return result();
}

void CPsTavox::SetActivePage(int index)
{
    if (index < 0 || index >= GetPageCount())
        return;
    if (m_tabs->currentIndex() == index)
        OnTabChanged(index);
    else
        m_tabs->setCurrentIndex(index);
}

int CPsTavox::GetActiveIndex() const { return m_tabs->currentIndex(); }

void CPsTavox::OnTabChanged(int index)
{
    if (index < 0 || index >= GetPageCount())
        return;
    CTavoxPage* page = GetPage(index);
    page->ensureInitialized();
    UpdateHeader();
}

void CPsTavox::UpdateHeader()
{
    if (!m_headerOn)
        return;
    const int index = GetActiveIndex();
    if (index < 0 || index >= static_cast<int>(m_headerItems.size()))
        return;
    const tagCPropSheetItem& item = m_headerItems[static_cast<std::size_t>(index)];
    m_header->SetIcon(item.hIcon);
    m_header->SetTitle(item.title);
    m_header->SetDescription(item.description);
    m_header->SetAlignment(item.alignment >= 0 && item.alignment <= 2 ? item.alignment : 0);
    m_header->SetBackground(item.background.isValid() ? item.background : palette().color(QPalette::Base));
    m_header->update();
}

bool CPsTavox::isApplyEnabled() const { return m_apply->isEnabled(); }

void CPsTavox::UpdateApplyButton()
{
    bool modified = false;
    for (const CTavoxPage* page : m_pages)
        modified = modified || page->isModified();
    m_apply->setEnabled(modified);
}

bool CPsTavox::snapshotBeforeApply(const char* origin)
{
    const support::Result<void> taken = takeSnapshot(m_stores, origin);
    if (taken)
        return true;
    showMessage(m_boxes, this, { taken.error().sentence() + " Nothing was applied.", "Error!", MbIcon::Error });
    return false;
}

void CPsTavox::CompletePendingWrites()
{
    // Each page records a failed write itself and stays modified.
    for (CTavoxPage* page : m_pages) {
        if (page->isInitialized())
            static_cast<void>(page->CompletePendingWrite());
    }
}

void CPsTavox::OnApplyNow()
{
    if (!snapshotBeforeApply("Tavox Server Utility: Apply"))
        return;
    BeginApply();
    // As a property sheet applies: page by page, stopping at the first page that rejects
    // its input; once all have applied, nothing is left changed.
    bool applied = true;
    for (CTavoxPage* page : m_pages) {
        if (page->isInitialized() && !page->OnApply()) {
            applied = false;
            break;
        }
    }
    if (applied) {
        for (CTavoxPage* page : m_pages)
            page->SetModified(false);
        UpdateApplyButton();
    }
    EndApply();
}

void CPsTavox::BeginApply()
{
    if (m_applyDepth++ == 0)
        ++m_applyRound;
}

void CPsTavox::EndApply()
{
    if (--m_applyDepth > 0 || !m_restartDue)
        return;
    m_restartDue = false;
    OnRestartPrompt();
}

void CPsTavox::accept()
{
    m_okPressed = true;
    if (!isApplyEnabled()) {
        ToggleVisible();
        return;
    }
    if (!snapshotBeforeApply("Tavox Server Utility: OK")) {
        m_okPressed = false;
        return;
    }
    CTavoxPage* const inOrder[]
        = { g_pPgStatus, g_pPgEndpoints, g_pPgUsers, g_pPgXmlConfigure, g_pPgODBCSQL, g_pPgAbout };
    BeginApply();
    for (CTavoxPage* page : inOrder) {
        // Every page applies, whatever the others return; a page that rejects its input
        // has said so itself and stays changed.
        if (page && page->OnApply())
            page->SetModified(false);
    }
    EndApply();
}

void CPsTavox::reject() { ToggleVisible(); }

void CPsTavox::ToggleVisible()
{
    if (m_visible) {
        m_visible = false;
        hide();
        UpdateTrayIcon(TrayOperation::Modify);
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            support::debugOutput("CPsTavox: the desktop has no notification area; start Tavox Utility again to "
                                 "show the window.");
        return;
    }
    if (restoreAfterLogin() == Restore::LoginRefused)
        done(QDialog::Accepted);
}

CPsTavox::Restore CPsTavox::restoreAfterLogin()
{
    if (m_loginOpen) {
        if (QWidget* login = QApplication::activeModalWidget()) {
            login->raise();
            login->activateWindow();
        }
        return Restore::LoginOpenAlready;
    }
    m_loginOpen = true;
    const bool loggedIn = RunLogin();
    m_loginOpen = false;
    if (!loggedIn)
        return Restore::LoginRefused;
    RefreshAllPages();
    showNormal();
    raise();
    activateWindow();
    m_visible = true;
    return Restore::Shown;
}

void CPsTavox::OnShowRequest()
{
    // A hidden sheet comes back only through the login, whoever asks for it. A second start
    // by someone without the password must not end the administrator's running copy: the
    // sheet then stays in the notification area.
    if (!m_visible) {
        (void)restoreAfterLogin();
        return;
    }
    showNormal();
    raise();
    activateWindow();
}

bool CPsTavox::RunLogin()
{
    CLogin login(m_boxes, UserProfile::utility(m_stores.user));
    return login.exec() == QDialog::Accepted;
}

void CPsTavox::RefreshStatusAndEndpoints()
{
    if (g_pPgStatus)
        g_pPgStatus->RefreshStatus();
    if (g_pPgEndpoints)
        static_cast<CTavoxPage*>(g_pPgEndpoints)->Refresh();
}

void CPsTavox::RefreshAllPages()
{
    RefreshStatusAndEndpoints();
    CTavoxPage* const others[] = { g_pPgUsers, g_pPgXmlConfigure, g_pPgODBCSQL };
    for (CTavoxPage* page : others) {
        if (page)
            page->Refresh();
    }
}

void CPsTavox::StartOnce(bool& pending, QTimer& timer)
{
    if (pending)
        return;
    pending = true;
    timer.start();
}

void CPsTavox::RequestRestart()
{
    if (m_applyDepth == 0)
        m_restartOutsideApply = true;
    else if (m_declinedRound != m_applyRound)
        m_restartRounds.insert(m_applyRound);
    StartOnce(m_restartPending, m_restartTimer);
}

void CPsTavox::DeclineRestart()
{
    // Outside an apply there is no question of its own to answer.
    if (m_applyDepth == 0)
        return;
    m_declinedRound = m_applyRound;
    m_restartRounds.erase(m_applyRound);
}

void CPsTavox::RequestStart() { StartOnce(m_startPending, m_startTimer); }

void CPsTavox::RequestStop() { StartOnce(m_stopPending, m_stopTimer); }

void CPsTavox::OnHideTimer()
{
    m_hideTimer.stop();
    ToggleVisible();
}

void CPsTavox::OnStatusPoll()
{
    const std::string refused = certificates::RejectedWatch::balloonText(m_rejected.look());
    if (!refused.empty())
        ShowTrayMessage(QString::fromUtf8(refused.data(), static_cast<qsizetype>(refused.size())));
    const bool pending = m_startPending || m_stopPending || m_restartPending;
    const std::uint32_t state = pending ? 0 : m_service.State();
    if (!g_pPgODBCSQL)
        return;
    CTavoxPage* odbc = g_pPgODBCSQL;
    const CTavoxEnvmnt server(m_stores.machine);
    odbc->UpdateSqlStatus(state == platform::kServiceRunning ? server.ReadSqlServerStatus() : 0);
}

void CPsTavox::OnStartTimer()
{
    m_startTimer.stop();
    runOperation(ServiceOperation::Start);
    m_startPending = false;
}

void CPsTavox::OnStopTimer()
{
    m_stopTimer.stop();
    runOperation(ServiceOperation::Stop);
    m_stopPending = false;
}

void CPsTavox::runOperation(ServiceOperation operation)
{
    const bool succeeded
        = runServiceOperation(m_service, m_sleeper, operation, [this] { RefreshStatusAndEndpoints(); });
    if (succeeded && operation == ServiceOperation::Restart)
        showMessage(m_boxes, this, { std::string(kServiceRestartedText), "Information!", MbIcon::Information });
    else if (!succeeded)
        showMessage(m_boxes, this, { std::string(serviceFailureText(operation)), "Error!", MbIcon::Error });
}

void CPsTavox::OnRestartPrompt()
{
    m_restartTimer.stop();
    if (m_applyDepth > 0) {
        m_restartDue = true;
        return;
    }
    const bool wanted = m_restartOutsideApply || !m_restartRounds.empty();
    m_restartOutsideApply = false;
    m_restartRounds.clear();
    if (!wanted) {
        // Every apply that asked refused its settings: the question counts as answered No
        // and its reminder as closed. The sheet stays open for the refused input, as when
        // no page asks at all.
        m_restartPending = false;
        return;
    }
    const MbResult answer = m_boxes.show(this,
        QStringLiteral("All parameters have been applied. Do you want to restart the Tavox Server?"),
        QStringLiteral("Question"),
        MbIcon::Question,
        MbButtons::YesNo);
    if (answer == MbResult::Yes) {
        runOperation(ServiceOperation::Restart);
    } else {
        m_boxes.show(this,
            QStringLiteral("Don't forget to restart Tavox Server."),
            QStringLiteral("Information"),
            MbIcon::Information);
    }
    m_restartPending = false;
    if (m_okPressed) {
        ToggleVisible();
        m_okPressed = false;
    }
}

void CPsTavox::OnServiceStateChanged() { RefreshStatusAndEndpoints(); }

void CPsTavox::UpdateTrayIcon(TrayOperation operation)
{
    switch (operation) {
    case TrayOperation::Add:
        if (!m_tray) {
            m_tray = new QSystemTrayIcon(tavox_icons::appIcon(), this);
            connect(m_tray, &QSystemTrayIcon::activated, this, &CPsTavox::OnTrayActivated);
        }
        m_tray->setToolTip(m_trayTitle);
        m_tray->setContextMenu(m_trayMenu);
        m_tray->show();
        break;
    case TrayOperation::Modify:
        if (m_tray)
            m_tray->showMessage(m_trayTitle, kRunningHere, QSystemTrayIcon::NoIcon, kBalloonMs);
        break;
    case TrayOperation::Delete:
        delete m_tray;
        m_tray = nullptr;
        break;
    }
}

void CPsTavox::ShowTrayMessage(const QString& text)
{
    if (m_tray)
        m_tray->showMessage(m_trayTitle, text, QSystemTrayIcon::Information, kBalloonMs);
}

void CPsTavox::OnTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    // The menu of the right button is the icon's own context menu.
    if (reason == QSystemTrayIcon::Trigger)
        ToggleVisible();
}

void CPsTavox::OnAbout()
{
    CDlgAbout about;
    about.exec();
}

void CPsTavox::OnExit() { done(QDialog::Rejected); }

bool CPsTavox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress)
        handleNavigationKey(watched, *static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool CPsTavox::handleNavigationKey(QObject* receiver, const QKeyEvent& event)
{
    const int key = event.key();
    if (key != Qt::Key_PageUp && key != Qt::Key_PageDown)
        return false;
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return false;
    // A key press travels up from the focus widget through its parents; it is taken once,
    // at the first of them.
    const bool travelling = &event == m_lastKeyEvent && event.timestamp() == m_lastKeyTime && m_lastKeyReceiver
        && widget == m_lastKeyReceiver->parentWidget();
    m_lastKeyEvent = &event;
    m_lastKeyTime = event.timestamp();
    m_lastKeyReceiver = widget;
    if (travelling)
        return false;
    const int count = GetPageCount();
    if (count <= 1)
        return false;
    const int current = GetActiveIndex();
    if (key == Qt::Key_PageUp)
        SetActivePage(current + 1 < count ? current + 1 : 0);
    else if (m_pageDown)
        SetActivePage(current > 0 ? current - 1 : count - 1);
    else
        return false;
    UpdateHeader();
    return true;
}
