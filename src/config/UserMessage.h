#pragma once

#include <string>

/// Icons of a message box, after MB_ICONERROR, MB_ICONWARNING, MB_ICONQUESTION, MB_ICONINFORMATION.
enum class MbIcon { None, Error, Warning, Question, Information };
/// Button sets, after MB_OK, MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL.
enum class MbButtons { Ok, OkCancel, YesNo, YesNoCancel };

/// What the logic asks the user interface to show in a message box: the exact text and caption
/// (UTF-8), the icon and the buttons. The user interface shows it with showMessage (uikit).
struct UserMessage {
    std::string text;
    std::string caption;
    MbIcon icon = MbIcon::None;
    MbButtons buttons = MbButtons::Ok;

    /// No message: nothing is shown.
    bool isEmpty() const { return text.empty(); }
};
