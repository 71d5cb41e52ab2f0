#include "uikit/DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* okCancelRow(QDialog* dialog, OkDefault okDefault, const QString& okCaption, const QString& cancelCaption)
{
    auto* ok = new QPushButton(okCaption);
    ok->setDefault(okDefault == OkDefault::Yes);
    auto* cancel = new QPushButton(cancelCaption);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
