#include "certificates/ui/CDlgCertificates.h"

#include "uikit/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using certificates::CertificateAction;
using certificates::CertificateRow;
using certificates::Folder;
using certificates::Validity;

constexpr Folder kFolders[] = { Folder::Own, Folder::Trusted, Folder::Rejected };
// Long subjects and URIs give way, so that the thumbprint and the expiry stay in sight.
constexpr int kWidestTextColumn = 260;

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString captionOf(Folder folder)
{
    // In the order of Folder.
    const char* const kCaptions[] = { "&Own certificates:", "T&rusted certificates:", "Re&jected certificates:" };
    return QString::fromLatin1(kCaptions[static_cast<int>(folder)]);
}

QTreeWidget* newList(Folder folder)
{
    auto* view = new QTreeWidget;
    view->setObjectName(QString::fromLatin1(certificates::folderName(folder).data()));
    view->setHeaderLabels({ QStringLiteral("Subject"),
        QStringLiteral("Application URI"),
        QStringLiteral("Thumbprint"),
        QStringLiteral("Expiry") });
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->header()->setStretchLastSection(true);
    return view;
}

QTreeWidgetItem* itemOf(const CertificateRow& row)
{
    QString expiry = fromUtf8(row.expiry);
    if (row.inUse)
        expiry += QStringLiteral("; in use");
    auto* item = new QTreeWidgetItem(
        { fromUtf8(row.subject), fromUtf8(row.applicationUri), fromUtf8(row.thumbprint), expiry });
    // Certificates that clients refuse, or soon will, stand out.
    const bool alarming = !row.readable || row.validity == Validity::Expired || row.validity == Validity::NotYetValid;
    if (alarming || row.validity == Validity::ExpiresSoon) {
        QFont bold = item->font(3);
        bold.setBold(true);
        for (int column = 0; column < item->columnCount(); ++column) {
            item->setForeground(column, alarming ? QColor(0xb0, 0x00, 0x20) : QColor(0xa0, 0x50, 0x00));
            item->setFont(column, bold);
        }
    }
    return item;
}

} // namespace

CDlgCertificates::CDlgCertificates(MessageBoxes& boxes,
    certificates::StoreLayout layout,
    certificates::ServerIdentity identity,
    QWidget* parent)
    : QDialog(parent)
    , m_boxes(boxes)
    , m_lists(std::move(layout), std::move(identity))
{
    setWindowTitle(QStringLiteral("Certificates"));
    auto* layoutBox = new QVBoxLayout(this);
    for (const Folder folder : kFolders) {
        QTreeWidget* view = newList(folder);
        auto* label = new QLabel(captionOf(folder));
        label->setBuddy(view);
        layoutBox->addWidget(label);
        layoutBox->addWidget(view);
        m_views[static_cast<int>(folder)] = view;
        connect(view, &QTreeWidget::itemSelectionChanged, this, [this, folder] {
            selectOnly(folder);
            updateButtons();
        });
    }
    m_note = new QLabel;
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setWordWrap(true);
    layoutBox->addWidget(m_note);

    m_trust = new QPushButton(QStringLiteral("Trust"));
    m_reject = new QPushButton(QStringLiteral("Reject"));
    m_remove = new QPushButton(QStringLiteral("Remove"));
    m_renew = new QPushButton(QStringLiteral("Renew"));
    auto* close = new QPushButton(QStringLiteral("Close"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : { m_trust, m_reject, m_remove, m_renew })
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(close);
    layoutBox->addLayout(buttons);
    connect(m_trust, &QPushButton::clicked, this, [this] { run(CertificateAction::Trust); });
    connect(m_reject, &QPushButton::clicked, this, [this] { run(CertificateAction::Reject); });
    connect(m_remove, &QPushButton::clicked, this, [this] { run(CertificateAction::Remove); });
    connect(m_renew, &QPushButton::clicked, this, [this] { run(CertificateAction::Renew); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(980, 560);
    m_lists.reload();
    fill();
}

QTreeWidget* CDlgCertificates::list(Folder folder) const { return m_views[static_cast<int>(folder)]; }

void CDlgCertificates::fill()
{
    for (const Folder folder : kFolders) {
        QTreeWidget* view = list(folder);
        const QSignalBlocker quiet(view);
        view->clear();
        for (const CertificateRow& row : m_lists.rows(folder))
            view->addTopLevelItem(itemOf(row));
        for (int column = 0; column < 3; ++column) {
            view->resizeColumnToContents(column);
            if (column < 2)
                view->setColumnWidth(column, std::min(view->columnWidth(column), kWidestTextColumn));
        }
    }
    if (!m_lists.storeExists())
        m_note->setText(QStringLiteral(
            "The Tavox Server makes its certificate store, with its own certificate, at its first start."));
    else if (m_lists.renewalRequested())
        m_note->setText(QStringLiteral("A new certificate is made at the next start of the Tavox Server."));
    else
        m_note->setText(QStringLiteral("Trusting or rejecting a client takes effect at its next attempt; a new "
                                       "certificate of the server at its next start."));
    updateButtons();
}

void CDlgCertificates::selectOnly(Folder folder)
{
    if (list(folder)->selectedItems().isEmpty())
        return;
    for (const Folder other : kFolders) {
        if (other != folder) {
            const QSignalBlocker quiet(list(other));
            list(other)->clearSelection();
        }
    }
}

std::pair<Folder, int> CDlgCertificates::chosen() const
{
    for (const Folder folder : kFolders) {
        const QList<QTreeWidgetItem*> selected = list(folder)->selectedItems();
        if (!selected.isEmpty())
            return { folder, list(folder)->indexOfTopLevelItem(selected.front()) };
    }
    return { Folder::Own, -1 };
}

void CDlgCertificates::updateButtons()
{
    const auto [folder, row] = chosen();
    m_trust->setEnabled(m_lists.canRun(CertificateAction::Trust, folder, row));
    m_reject->setEnabled(m_lists.canRun(CertificateAction::Reject, folder, row));
    m_remove->setEnabled(m_lists.canRun(CertificateAction::Remove, folder, row));
    m_renew->setEnabled(m_lists.canRun(CertificateAction::Renew, folder, row));
}

void CDlgCertificates::run(CertificateAction action)
{
    const auto [folder, row] = chosen();
    if (!m_lists.canRun(action, folder, row))
        return;
    const QString question = fromUtf8(m_lists.question(action, folder, row));
    if (m_boxes.show(this, question, QStringLiteral("Question"), MbIcon::Question, MbButtons::YesNo) != MbResult::Yes)
        return;
    const auto outcome = m_lists.run(action, folder, row);
    fill();
    if (!outcome) {
        m_boxes.show(this, fromUtf8(outcome.error().sentence()), QStringLiteral("Error!"), MbIcon::Error);
    } else if (!outcome->empty()) {
        m_boxes.show(this, fromUtf8(*outcome), QStringLiteral("Information"), MbIcon::Information);
    }
}
