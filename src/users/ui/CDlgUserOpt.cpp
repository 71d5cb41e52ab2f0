#include "users/ui/CDlgUserOpt.h"

#include "uikit/CheckBoxes.h"
#include "uikit/DialogButtons.h"
#include "uikit/Labels.h"
#include "uikit/MessageBoxes.h"
#include "uikit/Rows.h"
#include "users/Latin1Text.h"
#include "users/UsrAuthEntry.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QString captionFor(UserOptMode mode)
{
    switch (mode) {
    case UserOptMode::RootPassword:
        return QStringLiteral("Change 'root' Password");
    case UserOptMode::Add:
        return QStringLiteral("Add New User");
    case UserOptMode::ChangePassword:
        return QStringLiteral("Change User Password");
    case UserOptMode::ChangeAccessRight:
        return QStringLiteral("Change User Access Right");
    }
    return QStringLiteral("Add/Modify User Information");
}

} // namespace

CDlgUserOpt::CDlgUserOpt(UserOptMode mode, MessageBoxes& boxes, const UsrAuthEntry* entry, QWidget* parent)
    : QDialog(parent)
    , m_mode(mode)
    , m_boxes(boxes)
{
    setObjectName(QStringLiteral("CDlgUserOpt"));
    buildView();
    setUpMode(entry);
}

void CDlgUserOpt::buildView()
{
    setWindowTitle(QStringLiteral("Add/Modify User Information"));

    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("name"));
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_confirmation = new QLineEdit;
    m_confirmation->setObjectName(QStringLiteral("passwordConfirm"));
    m_confirmation->setEchoMode(QLineEdit::Password);
    m_read = new QCheckBox(QStringLiteral("Read"));
    m_write = new QCheckBox(QStringLiteral("Write"));
    m_executable = new QCheckBox(QStringLiteral("Executable"));

    QHBoxLayout* rights = leftAlignedRow({ m_read, m_write, m_executable });

    auto* group = new QGroupBox(QStringLiteral("User Information"));
    auto* grid = new QGridLayout(group);
    addLabelledRow(grid, 0, QStringLiteral("Name:"), m_name);
    addLabelledRow(grid, 1, QStringLiteral("Password:"), m_password);
    addLabelledRow(grid, 2, QStringLiteral("Password Confirm:"), m_confirmation);
    grid->addWidget(labelFor(QStringLiteral("Access Right:"), m_read), 3, 0);
    grid->addLayout(rights, 3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(okCancelRow(this, OkDefault::Yes, QStringLiteral("&OK"), QStringLiteral("&Cancel")));

    // Write contains the Executable bit, so the two boxes are kept equal.
    connect(m_write, &QCheckBox::toggled, m_executable, &QCheckBox::setChecked);
    connect(m_executable, &QCheckBox::toggled, m_write, &QCheckBox::setChecked);
}

void CDlgUserOpt::setUpMode(const UsrAuthEntry* entry)
{
    setWindowTitle(captionFor(m_mode));
    const bool takesUser = m_mode == UserOptMode::ChangePassword || m_mode == UserOptMode::ChangeAccessRight;
    if (takesUser && entry) {
        m_name->setText(QString::fromStdU16String(latin1::toUtf16(entryName(*entry))));
        checkboxes::showChecked(m_read, isReadGranted(entry->rights));
        checkboxes::showChecked(m_write, isWriteGranted(entry->rights));
        checkboxes::showChecked(m_executable, isExecutableGranted(entry->rights));
    } else {
        m_name->setText(m_mode == UserOptMode::RootPassword ? QStringLiteral("root") : QString());
        for (QCheckBox* right : { m_read, m_write, m_executable })
            checkboxes::showChecked(right, true);
    }
    m_name->setEnabled(m_mode == UserOptMode::Add);
    const bool passwordEditable = m_mode != UserOptMode::ChangeAccessRight;
    m_password->setEnabled(passwordEditable);
    m_confirmation->setEnabled(passwordEditable);
    const bool rightsEditable = m_mode == UserOptMode::Add || m_mode == UserOptMode::ChangeAccessRight;
    m_read->setEnabled(rightsEditable);
    m_write->setEnabled(rightsEditable);
    m_executable->setEnabled(rightsEditable);
}

QString CDlgUserOpt::name() const { return m_name->text(); }

QString CDlgUserOpt::password() const { return m_password->text(); }

std::uint32_t CDlgUserOpt::rights() const
{
    return rightsFrom(m_read->isChecked(), m_write->isChecked(), m_executable->isChecked());
}

bool CDlgUserOpt::validate()
{
    const UserOptProblem problem = checkUserOpt(m_mode,
        m_name->text().toStdU16String(),
        m_password->text().toStdU16String(),
        m_confirmation->text().toStdU16String());
    if (problem == UserOptProblem::None)
        return true;
    showMessage(m_boxes, this, userOptMessage(problem));
    return false;
}

void CDlgUserOpt::accept()
{
    if (validate())
        QDialog::accept();
}
