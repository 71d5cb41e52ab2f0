#pragma once

#include "certificates/CertificateLists.h"

#include <QDialog>

class MessageBoxes;
class QLabel;
class QPushButton;
class QTreeWidget;

/// The "Certificates" dialog of the Endpoints page: the server's own certificates and the
/// clients' certificates it trusts and has rejected, with Trust, Reject, Remove and Renew. Every
/// action is asked for first; expired certificates and those that expire soon are marked.
class CDlgCertificates : public QDialog {
    Q_OBJECT

public:
    CDlgCertificates(MessageBoxes& boxes,
        certificates::StoreLayout layout,
        certificates::ServerIdentity identity,
        QWidget* parent = nullptr);

    /// The list of `folder`, for tests.
    QTreeWidget* list(certificates::Folder folder) const;

private:
    void fill();
    void updateButtons();
    void selectOnly(certificates::Folder folder);
    void run(certificates::CertificateAction action);
    /// The list with the chosen line, and the line; -1 when none is chosen.
    std::pair<certificates::Folder, int> chosen() const;

    MessageBoxes& m_boxes;
    certificates::CertificateLists m_lists;
    QTreeWidget* m_views[3] = {};
    QLabel* m_note = nullptr;
    QPushButton* m_trust = nullptr;
    QPushButton* m_reject = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_renew = nullptr;
};
