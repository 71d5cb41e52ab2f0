#include "history/ui/CPgODBCSQL.h"

#include "config/CTavoxEnvmnt.h"
#include "history/SqlStatus.h"
#include "platform/Odbc.h"
#include "support/TextCodec.h"
#include "uikit/CheckBoxes.h"
#include "uikit/Labels.h"
#include "uikit/MessageBoxes.h"
#include "uikit/PagePointers.h"
#include "uikit/SheetServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int kBrowseIconSize = 24;

QString text(std::u16string_view value)
{
    return QString::fromUtf16(value.data(), static_cast<qsizetype>(value.size()));
}

std::u16string text(const QString& value) { return value.toStdU16String(); }

QComboBox* list(const QString& objectName, bool editable)
{
    auto* box = new QComboBox;
    box->setObjectName(objectName);
    box->setEditable(editable);
    if (editable)
        box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumContentsLength(24);
    return box;
}

QPushButton* browseButton(const QString& objectName, const QString& accessibleName)
{
    auto* button = new QPushButton;
    button->setObjectName(objectName);
    // The button shows only its icon; assistive technologies and tooltips read the name.
    button->setAccessibleName(accessibleName);
    button->setToolTip(accessibleName);
    button->setIconSize(QSize(kBrowseIconSize, kBrowseIconSize));
    return button;
}

} // namespace

CPgODBCSQL::CPgODBCSQL(MessageBoxes& boxes,
    std::unique_ptr<platform::OdbcDriverManager> odbc,
    history::EnsureHistorySectionFn ensureHistorySection,
    const platform::SettingsStore& machine,
    QWidget* parent)
    : CTavoxPage(QStringLiteral("ODBC Database"), boxes, parent)
    , m_odbc(std::move(odbc))
    , m_settings(*m_odbc, std::move(ensureHistorySection))
    , m_machine(machine)
{
    buildView();
}

CPgODBCSQL::~CPgODBCSQL() { clearPagePointer(g_pPgODBCSQL, this); }

void CPgODBCSQL::buildView()
{
    m_active = new QCheckBox(QStringLiteral("Active SQL"));
    m_statusText = new QLabel(QStringLiteral("Disconnect"));
    m_statusText->setObjectName(QStringLiteral("sqlStatus"));
    m_statusText->setTextFormat(Qt::PlainText);
    m_type = list(QStringLiteral("sqlType"), false);
    m_type->addItems(
        { text(history::sqlTypeName(history::SqlType::MySql)), text(history::sqlTypeName(history::SqlType::MsSql)) });
    m_type->setCurrentIndex(-1);
    m_driver = list(QStringLiteral("sqlDriver"), false);
    m_server = list(QStringLiteral("server"), true);
    m_browseServers = browseButton(QStringLiteral("browseServers"), QStringLiteral("Browse Servers"));
    m_port = new QLineEdit;
    m_port->setObjectName(QStringLiteral("port"));
    m_user = new QLineEdit;
    m_user->setObjectName(QStringLiteral("user"));
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_database = list(QStringLiteral("database"), true);
    m_browseDatabases = browseButton(QStringLiteral("browseDatabases"), QStringLiteral("Browse Databases"));

    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    grid->addWidget(m_active, 0, 0, 1, 3);
    grid->addWidget(labelFor(QStringLiteral("SQL Server:"), m_statusText), 1, 0);
    grid->addWidget(m_statusText, 1, 1, 1, 2);
    addLabelledRow(grid, 2, QStringLiteral("SQL Type:"), m_type);
    addLabelledRow(grid, 3, QStringLiteral("SQL Driver:"), m_driver);
    addLabelledRow(grid, 4, QStringLiteral("Server:"), m_server);
    grid->addWidget(m_browseServers, 4, 2);
    addLabelledRow(grid, 5, QStringLiteral("Port:"), m_port);
    addLabelledRow(grid, 6, QStringLiteral("User:"), m_user);
    addLabelledRow(grid, 7, QStringLiteral("Password:"), m_password);
    addLabelledRow(grid, 8, QStringLiteral("Database:"), m_database);
    grid->addWidget(m_browseDatabases, 8, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();

    // Until the settings are loaded only the switch itself can be used.
    m_type->setEnabled(false);
    enableDependents(false);
    m_browseServers->setVisible(false);

    connect(m_active, &QCheckBox::toggled, this, &CPgODBCSQL::OnActiveClicked);
    connect(m_type, &QComboBox::activated, this, &CPgODBCSQL::OnTypeSelected);
    connect(m_driver, &QComboBox::activated, this, &CPgODBCSQL::OnDriverSelected);
    connect(m_server, &QComboBox::activated, this, &CPgODBCSQL::OnServerSelected);
    connect(m_browseServers, &QPushButton::clicked, this, &CPgODBCSQL::BrowseServers);
    connect(m_browseDatabases, &QPushButton::clicked, this, &CPgODBCSQL::BrowseDatabases);
    // Only the user's typing and choosing count as changes, not the page's own filling.
    connect(m_server->lineEdit(), &QLineEdit::textEdited, this, &CPgODBCSQL::markModified);
    connect(m_database->lineEdit(), &QLineEdit::textEdited, this, &CPgODBCSQL::markModified);
    connect(m_database, &QComboBox::activated, this, &CPgODBCSQL::markModified);
    for (QLineEdit* edit : { m_port, m_user, m_password })
        connect(edit, &QLineEdit::textEdited, this, &CPgODBCSQL::markModified);
}

void CPgODBCSQL::OnInitDialog()
{
    g_pPgODBCSQL = this;
    const QIcon browse = style()->standardIcon(QStyle::SP_FileDialogContentsView);
    m_browseServers->setIcon(browse);
    m_browseDatabases->setIcon(browse);
    m_status.clear();
    m_statusText->setText(m_status);
    LoadSettings();
}

void CPgODBCSQL::Refresh() { LoadSettings(); }

void CPgODBCSQL::UpdateSqlStatus(std::uint32_t status)
{
    const std::string_view text = history::sqlStatusText(history::sqlConnected(true, status));
    m_status = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    m_statusText->setText(m_status);
}

std::filesystem::path CPgODBCSQL::nodeCfgPath() const
{
    return support::utf16ToUtf8(CTavoxEnvmnt(m_machine).GetNodeCfgPath());
}

void CPgODBCSQL::LoadSettings()
{
    const history::LoadedSettings loaded = m_settings.LoadSettings(nodeCfgPath());
    m_driver->clear();
    if (loaded.noDriver) {
        m_active->setEnabled(false);
        showMessage(messageBoxes(), this, history::notices::noDriverFound());
        return;
    }
    const history::HistorySettings& stored = loaded.settings;
    // A switch disabled for want of drivers is usable again once there are some.
    m_active->setEnabled(true);
    checkboxes::showChecked(m_active, stored.active);
    m_type->setEnabled(stored.active);
    enableDependents(stored.active);
    fillList(m_driver, loaded.drivers);
    m_driver->setCurrentIndex(loaded.selectedDriver);
    m_server->setEditText(text(stored.server));
    m_port->setText(text(stored.port));
    m_user->setText(text(stored.user));
    m_password->setText(text(stored.password));
    m_database->setEditText(text(stored.database));
    m_type->setCurrentIndex(static_cast<int>(stored.type) - 1);
    m_browseServers->setVisible(stored.type == history::SqlType::MsSql);
    SetModified(false);
}

history::SqlType CPgODBCSQL::selectedType() const
{
    switch (m_type->currentIndex()) {
    case 0:
        return history::SqlType::MySql;
    case 1:
        return history::SqlType::MsSql;
    default:
        return history::SqlType::None;
    }
}

history::HistorySettings CPgODBCSQL::shown() const
{
    history::HistorySettings settings;
    settings.active = m_active->isChecked();
    settings.type = selectedType();
    settings.driver = text(m_driver->currentText());
    settings.server = text(m_server->currentText());
    settings.port = text(m_port->text());
    settings.user = text(m_user->text());
    settings.password = text(m_password->text());
    settings.database = text(m_database->currentText());
    return settings;
}

void CPgODBCSQL::enableDependents(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*> {
             m_driver, m_server, m_browseServers, m_port, m_user, m_password, m_database, m_browseDatabases })
        control->setEnabled(enabled);
}

void CPgODBCSQL::OnTypeSelected(int index)
{
    (void)index;
    const history::SqlType type = selectedType();
    enableDependents(m_active->isChecked() && type != history::SqlType::None);
    m_driver->clear();
    fillList(m_driver, m_settings.FillDriverList(type));
    m_browseServers->setVisible(type == history::SqlType::MsSql);
    m_server->clear();
    m_database->clear();
    m_driver->showPopup();
    SetModified(true);
}

void CPgODBCSQL::OnDriverSelected()
{
    m_server->clear();
    m_database->clear();
}

void CPgODBCSQL::OnServerSelected() { m_database->clear(); }

void CPgODBCSQL::OnActiveClicked(bool checked)
{
    m_type->setEnabled(checked);
    enableDependents(checked && selectedType() != history::SqlType::None);
    SetModified(true);
}

void CPgODBCSQL::markModified() { SetModified(true); }

void CPgODBCSQL::BrowseServers() { showBrowseResult(m_settings.BrowseServers(shown()), m_server); }

void CPgODBCSQL::BrowseDatabases() { showBrowseResult(m_settings.BrowseDatabases(shown()), m_database); }

void CPgODBCSQL::showBrowseResult(const history::BrowseResult& result, QComboBox* list)
{
    if (!result.refusal.isEmpty()) {
        showMessage(messageBoxes(), this, result.refusal);
        return;
    }
    list->clear();
    fillList(list, result.choices);
    if (result.dropDown)
        list->showPopup();
}

bool CPgODBCSQL::OnApply()
{
    const history::ApplyOutcome outcome = m_settings.Apply(shown(), nodeCfgPath(), [this] {
        return showMessage(messageBoxes(), this, history::notices::localhost()) == MbResult::Yes;
    });
    if (outcome.restartRequested && sheet())
        sheet()->RequestRestart();
    if (outcome.serverCleared) {
        m_server->setEditText(QString());
        m_server->setFocus();
    }
    if (!outcome.passed) {
        // The restart question of this apply is not for settings that were refused.
        if (sheet())
            sheet()->DeclineRestart();
        if (!outcome.failure.isEmpty())
            showMessage(messageBoxes(), this, outcome.failure);
        return false;
    }
    SetModified(false);
    return true;
}

void CPgODBCSQL::fillList(QComboBox* list, const std::vector<std::u16string>& items)
{
    // Filling a list chooses nothing: the edit text stays as it was.
    const QString edited = list->currentText();
    for (const std::u16string& item : items)
        list->addItem(text(item));
    list->setCurrentIndex(-1);
    if (list->isEditable())
        list->setEditText(edited);
}
