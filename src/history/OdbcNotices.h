#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace history {

/// The icon of a message of the ODBC Database page.
enum class NoticeIcon { Error, Warning, Question };

/// A message of the ODBC Database page: its exact text, caption and icon. Questions are asked
/// with Yes and No, the others with OK.
struct Notice {
    std::u16string text;
    std::u16string caption;
    NoticeIcon icon = NoticeIcon::Error;

    bool isEmpty() const { return text.empty(); }
};

namespace notices {

/// A type is stored but no driver for it is installed.
Notice noDriverFound();
/// The server browse without a driver.
Notice selectDriver();
/// The database browse with an empty field.
Notice checkAllSettings();
/// The node configuration file cannot be opened for reading and writing.
Notice fileNotOpened(std::u16string_view path);
/// The node configuration file opened, but the history section could not be written to it.
Notice fileNotWritten(std::u16string_view path);
/// The value of the field `label` cannot be stored in the file (it holds a line break).
Notice valueNotWritable(std::u16string_view label, std::u16string_view path);
/// A required field is blank at apply.
Notice blankField();
/// The question asked when the server is "127.0.0.1".
Notice localhost();

} // namespace notices
} // namespace history
