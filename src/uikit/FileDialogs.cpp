#include "uikit/FileDialogs.h"

#include <QFileDialog>

namespace {

QString run(QWidget* owner, const FileDialogRequest& request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner, request.title, request.initialDirectory, request.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, mode == QFileDialog::AcceptSave && !request.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace

QString QtFileDialogs::getOpenFileName(QWidget* owner, const FileDialogRequest& request)
{
    return run(owner, request, QFileDialog::AcceptOpen);
}

QString QtFileDialogs::getSaveFileName(QWidget* owner, const FileDialogRequest& request)
{
    return run(owner, request, QFileDialog::AcceptSave);
}
