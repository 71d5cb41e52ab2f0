#pragma once

#include "config/UserMessage.h"

#include <string_view>

/// What the user dialog is opened for; each mode fixes the caption, the editable fields and
/// the checks of OK.
enum class UserOptMode { RootPassword, Add, ChangePassword, ChangeAccessRight };

/// The first check of the user dialog that its input fails, in the order they are made.
enum class UserOptProblem {
    None,
    NameIsRoot,
    PasswordEmpty,
    NameTooLong,
    PasswordTooLong,
    PasswordsDiffer,
    NameNotStorable, ///< a character of the name does not fit one byte
    PasswordNotStorable, ///< a character of the password does not fit one byte
};

/// The checks of the dialog's OK for `mode`. Lengths count UTF-16 units, as the stored name and
/// digest input are limited by them (31 characters and a NUL).
UserOptProblem checkUserOpt(UserOptMode mode,
    std::u16string_view name,
    std::u16string_view password,
    std::u16string_view confirmation);

/// What the dialog says of `problem`: its text with caption "Warning" and no icon; empty for None.
UserMessage userOptMessage(UserOptProblem problem);
