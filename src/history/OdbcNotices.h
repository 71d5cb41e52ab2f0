#pragma once

#include "config/UserMessage.h"

#include <filesystem>
#include <string_view>

/// The messages of the ODBC Database page, with their exact texts, captions and icons.
/// Questions are asked with Yes and No, the others with OK.
namespace history::notices {

/// A type is stored but no driver for it is installed.
UserMessage noDriverFound();
/// The server browse without a driver.
UserMessage selectDriver();
/// The database browse with an empty field.
UserMessage checkAllSettings();
/// The node configuration file cannot be opened for reading and writing.
UserMessage fileNotOpened(const std::filesystem::path& path);
/// The node configuration file opened, but the history section could not be written to it.
UserMessage fileNotWritten(const std::filesystem::path& path);
/// The value of the field `label` cannot be stored in the file (it holds a line break).
UserMessage valueNotWritable(std::u16string_view label, const std::filesystem::path& path);
/// A required field is blank at apply.
UserMessage blankField();
/// The question asked when the server is "127.0.0.1".
UserMessage localhost();

} // namespace history::notices
