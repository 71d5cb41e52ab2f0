#include "nodeconfig/ui/CPgXmlConfigure.h"

#include "nodeconfig/AlarmHistoryEntries.h"
#include "nodeconfig/ui/CDlgXmlTree.h"
#include "nodeconfig/ui/ReportList.h"
#include "uatypes/UaString.h"
#include "uikit/CheckBoxes.h"
#include "uikit/FileDialogs.h"
#include "uikit/MessageBoxes.h"
#include "uikit/PagePointers.h"
#include "uikit/SheetServices.h"
#include "uikit/TavoxIcons.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum EntryColumn { IconColumn, NumberColumn, NameColumn };
enum AttributeColumn { AttributeNameColumn, AttributeValueColumn };

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

CPgXmlConfigure::CPgXmlConfigure(MessageBoxes& boxes,
    FileDialogs& fileDialogs,
    const platform::SettingsStore& machine,
    QWidget* parent)
    : CTavoxPage(QStringLiteral("Node Config"), boxes, parent)
    , m_fileDialogs(fileDialogs)
    , m_machine(machine)
{
    buildView();
    setConfigureDialog([this](nodeconfig::ConfigureRequest& request) {
        CDlgXmlTree dialog(request, messageBoxes(), this);
        return dialog.exec() == QDialog::Accepted;
    });
}

CPgXmlConfigure::~CPgXmlConfigure() { clearPagePointer(g_pPgXmlConfigure, this); }

void CPgXmlConfigure::buildView()
{
    auto* nameLabel = new QLabel(QStringLiteral("Config File Name:"));
    m_fileName = new QLabel;
    m_fileName->setObjectName(QStringLiteral("nodeCfgName"));
    m_fileName->setTextFormat(Qt::PlainText);
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    nameLabel->setBuddy(m_fileName);
    auto* current = new QGroupBox(QStringLiteral("Current Configuration"));
    auto* currentLayout = new QHBoxLayout(current);
    currentLayout->addWidget(nameLabel);
    currentLayout->addWidget(m_fileName, 1);

    m_entries = reportList({ QStringLiteral(" "), QStringLiteral("#"), QStringLiteral("Node Name") },
        { 25, 30, 200 },
        QStringLiteral("Alarm & HA List"));
    m_entries->setObjectName(QStringLiteral("entryList"));
    m_attributes = reportList(
        { QStringLiteral("Attribute"), QStringLiteral("Value") }, { 100, 300 }, QStringLiteral("Attributes"));
    m_attributes->setObjectName(QStringLiteral("attributeList"));
    auto* lists = new QGroupBox(QStringLiteral("Alarm && HA List"));
    auto* listsLayout = new QHBoxLayout(lists);
    listsLayout->addWidget(m_entries, 1);
    listsLayout->addWidget(m_attributes, 1);

    m_startLogging = new QCheckBox(QStringLiteral("Start Logging"));
    m_configure = new QPushButton(QStringLiteral("Configure"));
    m_import = new QPushButton(QStringLiteral("Import"));
    m_export = new QPushButton(QStringLiteral("Export"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_startLogging);
    buttons->addStretch(1);
    buttons->addWidget(m_configure);
    buttons->addWidget(m_import);
    buttons->addWidget(m_export);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(current);
    layout->addWidget(lists, 1);
    layout->addLayout(buttons);

    connect(m_configure, &QPushButton::clicked, this, &CPgXmlConfigure::ConfigureNodes);
    connect(m_import, &QPushButton::clicked, this, &CPgXmlConfigure::ImportNodeConfig);
    connect(m_export, &QPushButton::clicked, this, &CPgXmlConfigure::ExportNodeConfig);
    connect(m_startLogging, &QCheckBox::toggled, this, &CPgXmlConfigure::OnStartLogging);
    connect(m_entries, &QTableWidget::cellClicked, this, [this](int row, int) { ShowEntryDetails(row); });
    // From the keyboard, the row that becomes current shows its details as a click would.
    connect(m_entries, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        if (row != previousRow)
            ShowEntryDetails(row);
    });
}

void CPgXmlConfigure::OnInitDialog()
{
    g_pPgXmlConfigure = this;
    m_config.setPaths(nodeconfig::nodeConfigPathsFromSettings(m_machine));
    m_fileName->setText(QString::fromStdU16String(m_config.paths().nodeCfgName));
    if (!m_config.paths().nodeCfgPath.empty())
        ReloadNodeConfig();
}

void CPgXmlConfigure::Refresh() { ReloadNodeConfig(); }

bool CPgXmlConfigure::CompletePendingWrite()
{
    m_writeFailed = !m_config.CompletePendingWrite();
    return !m_writeFailed;
}

bool CPgXmlConfigure::OnApply()
{
    if (!m_writeFailed)
        return true;
    // The file still holds the old configuration: a restart would not take the edits, and
    // hiding the sheet would leave them to be lost at the next reload.
    if (sheet())
        sheet()->DeclineRestart();
    return false;
}

void CPgXmlConfigure::ReloadNodeConfig()
{
    m_config.ReloadNodeConfig();
    showStartLogging();
}

void CPgXmlConfigure::ImportNodeConfig() { m_config.ImportNodeConfig(); }

void CPgXmlConfigure::ExportNodeConfig() { m_config.ExportNodeConfig(); }

void CPgXmlConfigure::ConfigureNodes() { m_config.ConfigureNodes(m_configureDialog); }

void CPgXmlConfigure::OnStartLogging() { m_config.OnStartLogging(m_startLogging->isChecked()); }

void CPgXmlConfigure::showStartLogging() { checkboxes::showChecked(m_startLogging, m_config.startLogging() == 1); }

void CPgXmlConfigure::ShowEntryDetails(int row)
{
    if (row < 0)
        return;
    const auto details = m_config.ShowEntryDetails(static_cast<std::size_t>(row));
    if (!details)
        return;
    m_attributes->setRowCount(0);
    m_attributes->setRowCount(static_cast<int>(details->size()));
    for (int i = 0; i < static_cast<int>(details->size()); ++i) {
        const nodeconfig::EntryDetail& detail = (*details)[static_cast<std::size_t>(i)];
        m_attributes->setItem(i, AttributeNameColumn, cell(fromUtf8(detail.attribute)));
        m_attributes->setItem(i, AttributeValueColumn, cell(fromUtf8(detail.value)));
    }
}

void CPgXmlConfigure::tell(const UserMessage& message, bool ownedByPage)
{
    showMessage(messageBoxes(), ownedByPage ? this : nullptr, message);
}

bool CPgXmlConfigure::ask(std::string_view text, std::string_view caption)
{
    return messageBoxes().show(this, fromUtf8(text), fromUtf8(caption), MbIcon::Question, MbButtons::YesNo)
        == MbResult::Yes;
}

std::optional<std::filesystem::path> CPgXmlConfigure::chooseFile(const nodeconfig::FileChoice& choice)
{
    FileDialogRequest request;
    request.title = fromUtf8(choice.title);
    request.filter = fromUtf8(choice.filterName);
    request.defaultSuffix = fromUtf8(choice.defaultSuffix);
    request.initialDirectory = QString::fromStdString(choice.initialDirectory.string());
    const QString file = choice.kind == nodeconfig::FileChoice::Kind::Open
        ? m_fileDialogs.getOpenFileName(this, request)
        : m_fileDialogs.getSaveFileName(this, request);
    if (file.isEmpty())
        return std::nullopt;
    return std::filesystem::path(file.toStdString());
}

void CPgXmlConfigure::listsCleared()
{
    m_attributes->setRowCount(0);
    m_entries->setRowCount(0);
}

void CPgXmlConfigure::rowAppended(const nodeconfig::AlarmHistoryEntry& entry, std::size_t row)
{
    const int index = static_cast<int>(row);
    m_entries->insertRow(index);
    auto* icon = cell(QString());
    icon->setIcon(tavox_icons::nodeIcon(static_cast<int>(nodeconfig::rowIcon(entry))));
    // The icon column has no text; assistive technologies read what the icon stands for.
    icon->setData(Qt::AccessibleTextRole, entry.isAlarm() ? QStringLiteral("Alarm") : QStringLiteral("History"));
    m_entries->setItem(index, IconColumn, icon);
    m_entries->setItem(index, NumberColumn, cell(fromUtf8(nodeconfig::rowNumberText(row))));
    m_entries->setItem(index, NameColumn, cell(fromUtf8(entry.node->nodeId().identifierString().toStdString())));
}
