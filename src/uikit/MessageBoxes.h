#pragma once

#include "config/UserMessage.h"

#include <QString>

class QWidget;

/// The button that closed the box (IDOK, IDCANCEL, IDYES, IDNO).
enum class MbResult { Ok, Cancel, Yes, No };

/// Every message box of the program goes through this interface, so that tests answer them.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    /// Shows a modal box with the exact text and caption (the window title) and returns the
    /// button pressed; closing the box counts as Cancel, or No for Yes/No boxes.
    virtual MbResult show(QWidget* owner,
        const QString& text,
        const QString& caption,
        MbIcon icon = MbIcon::None,
        MbButtons buttons = MbButtons::Ok)
        = 0;
};

/// The real message boxes: QMessageBox with the caption as window title.
class QtMessageBoxes final : public MessageBoxes {
public:
    MbResult show(QWidget* owner, const QString& text, const QString& caption, MbIcon icon, MbButtons buttons) override;
};

/// Shows what the logic asks to show, owned by `owner` (null for a box without an owner window),
/// and returns the button pressed.
MbResult showMessage(MessageBoxes& boxes, QWidget* owner, const UserMessage& message);
