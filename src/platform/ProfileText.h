#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// Sections and keys in 8-bit text, with the matching rules of the Windows profile calls.
///
/// Lines end at LF; a CR before the LF belongs to the line end. A line whose first non-blank
/// character is '[' and that has a ']' is the header of the section named between them; a
/// line with a '=' is a key line, its key before the first '=' and its value after it. Names
/// compare without regard to ASCII case, and blanks (space, tab) around names and values do
/// not count. A line "-->" closes an embedded settings block: the lines after it belong to no
/// section until the next header. Lines before the first header, lines starting with ';' and
/// lines without '=' are not key lines.
namespace profile_text {

/// The value of the first line of `key` in the first section `section` that holds it.
std::optional<std::string> findValue(std::string_view content, std::string_view section, std::string_view key);

/// Whether a section, key or value may be written: no line breaks, no '=' in a key, no ']'
/// in a section name, neither name blank, and no key that starts with ';' or '['. Such text
/// would add or split lines, or write a key that reads as a comment or a header.
bool isWritable(std::string_view section, std::string_view key, std::string_view value);

/// `content` with the key set to `value`. An existing key line keeps its text up to the '='
/// and its line end, and gets the new value. A new "key=value" line goes right after the
/// section's last key line (or its header when it has none). A missing section is added as
/// its header and the key line, at the end of the text, or in front of a closing "-->" that
/// ends the text so that the section stays inside the block. Every other line stays byte for
/// byte; new lines end with CR LF, and a last line without a line end gets one when a line
/// follows it. The arguments must be writable (isWritable).
std::string withValue(std::string_view content, std::string_view section, std::string_view key, std::string_view value);

} // namespace profile_text
} // namespace platform
