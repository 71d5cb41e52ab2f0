#include "pages/CPgStatus.h"

#include "platform/ServiceManager.h"
#include "service/ServiceController.h"
#include "service/StatusReport.h"
#include "uikit/PagePointers.h"
#include "uikit/SheetServices.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* addRow(QFormLayout* form, QWidget* parent, const QString& caption)
{
    auto* value = new QLabel(QStringLiteral("---"), parent);
    // Stored texts are shown as they are, never read as markup.
    value->setTextFormat(Qt::PlainText);
    value->setMinimumWidth(240);
    // The caption names the value for assistive technologies.
    auto* label = new QLabel(caption, parent);
    label->setBuddy(value);
    form->addRow(label, value);
    return value;
}

} // namespace

CPgStatus::CPgStatus(MessageBoxes& boxes, const platform::SettingsStore& machine, QWidget* parent)
    : CTavoxPage(QStringLiteral("Status"), boxes, parent)
    , m_machine(machine)
    , m_copyMenu(new QMenu(QStringLiteral("CopyURI"), this))
{
    auto* statusGroup = new QGroupBox(QStringLiteral("Tavox Server Status"), this);
    auto* statusForm = new QFormLayout(statusGroup);
    m_status = addRow(statusForm, statusGroup, QStringLiteral("Status:"));
    m_uaTcp = addRow(statusForm, statusGroup, QStringLiteral("UA TCP: "));
    m_https = addRow(statusForm, statusGroup, QStringLiteral("HTTPS:"));

    auto* infoGroup = new QGroupBox(QStringLiteral("Information"), this);
    auto* infoForm = new QFormLayout(infoGroup);
    m_serverCfg = addRow(infoForm, infoGroup, QStringLiteral("Server Config:"));
    m_nodeCfg = addRow(infoForm, infoGroup, QStringLiteral("Node Config:"));

    m_restart = new QPushButton(QStringLiteral("Restart"), this);
    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    connect(m_restart, &QPushButton::clicked, this, [this] {
        if (sheet())
            sheet()->RequestRestart();
    });
    connect(m_start, &QPushButton::clicked, this, [this] {
        if (sheet())
            sheet()->RequestStart();
    });
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (sheet())
            sheet()->RequestStop();
    });
    auto* operations = new QHBoxLayout;
    operations->addWidget(new QLabel(QStringLiteral("Server Operation:"), this));
    operations->addStretch(1);
    operations->addWidget(m_restart);
    operations->addWidget(m_start);
    operations->addWidget(m_stop);

    m_copyMenu->addAction(QStringLiteral("Copy"), this, &CPgStatus::OnCopy);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusGroup);
    layout->addWidget(infoGroup);
    layout->addStretch(1);
    layout->addLayout(operations);
}

CPgStatus::~CPgStatus() { clearPagePointer(g_pPgStatus, this); }

void CPgStatus::OnInitDialog()
{
    g_pPgStatus = this;
    RefreshStatus();
    SetModified(false);
}

void CPgStatus::enableOperations(bool start, bool restartAndStop)
{
    m_start->setEnabled(start);
    m_restart->setEnabled(restartAndStop);
    m_stop->setEnabled(restartAndStop);
}

bool CPgStatus::RefreshStatus()
{
    if (!sheet())
        return false;
    int shown = 0;
    ServiceController* service = sheet()->Service();
    if (service && service->isOpen()) {
        std::uint32_t state = 0;
        service->QueryState(&state);
        shown = static_cast<int>(state);
        if (const std::optional<ServiceStateView> view = serviceStateView(state)) {
            m_status->setText(QString::fromUtf8(view->text.data(), static_cast<qsizetype>(view->text.size())));
            enableOperations(view->start, view->restartAndStop);
        }
        // Pending and paused states keep what was shown before.
    }
    m_lastState = shown;

    const StatusValues values = readStatusValues(m_machine);
    m_uaTcp->setText(QString::fromStdU16String(values.uaTcp));
    m_https->setText(QString::fromStdU16String(values.https));
    m_serverCfg->setText(QString::fromStdU16String(values.serverConfig));
    m_nodeCfg->setText(QString::fromStdU16String(values.nodeConfig));
    SetModified(false);
    return true;
}

bool CPgStatus::OnApply()
{
    if (sheet())
        sheet()->CompletePendingWrites();
    return true;
}

bool CPgStatus::PrepareCopy(const QPoint& globalPos)
{
    if (m_lastState != static_cast<int>(platform::kServiceRunning))
        return false;
    const auto contains = [&globalPos](const QLabel* label) {
        return QRect(label->mapToGlobal(QPoint(0, 0)), label->size()).contains(globalPos);
    };
    if (contains(m_uaTcp))
        m_copied = m_uaTcp->text();
    else if (contains(m_https))
        m_copied = m_https->text();
    else
        return false;
    return m_copied != QString::fromUtf8(kNotSupported.data(), static_cast<qsizetype>(kNotSupported.size()));
}

void CPgStatus::contextMenuEvent(QContextMenuEvent* event)
{
    // A menu asked for from the keyboard points at neither value.
    if (event->reason() == QContextMenuEvent::Keyboard)
        return;
    if (PrepareCopy(event->globalPos()))
        m_copyMenu->exec(event->globalPos());
}

void CPgStatus::OnCopy()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(m_copied);
}
