#pragma once

#include <QString>

class QWidget;

/// What a file dialog shows: its title, the filter ("XML File (*.xml)"), the suffix added to a
/// name typed without one, and the folder it opens in.
struct FileDialogRequest {
    QString title;
    QString filter;
    QString defaultSuffix;
    QString initialDirectory;
    /// Save dialogs only: asks before an existing file is chosen.
    bool overwritePrompt = true;
};

/// Every file dialog of the program goes through this interface, so that tests answer them.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    /// An existing file chosen by the user; empty when the dialog was cancelled.
    virtual QString getOpenFileName(QWidget* owner, const FileDialogRequest& request) = 0;
    /// The file to save to; empty when the dialog was cancelled.
    virtual QString getSaveFileName(QWidget* owner, const FileDialogRequest& request) = 0;
};

/// The real file dialogs: QFileDialog, modal over the owner.
class QtFileDialogs final : public FileDialogs {
public:
    QString getOpenFileName(QWidget* owner, const FileDialogRequest& request) override;
    QString getSaveFileName(QWidget* owner, const FileDialogRequest& request) override;
};
