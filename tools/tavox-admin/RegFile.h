#pragma once

#include "RegKeyName.h"
#include "RegValueText.h"
#include "support/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace admin {

/// One value line of a registry file; `remove` for a "name"=- line.
struct RegFileValue {
    std::string name; ///< empty for the default value, written "@"
    bool remove = false;
    std::uint32_t type = 0;
    Bytes data;
};

/// One [key] section of a registry file with its value lines.
struct RegFileKey {
    RegKeyName key;
    std::vector<RegFileValue> values;
};

/// The header line of the registry file format.
inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";

/// The text of a registry file as the registry editor writes it: UTF-16LE with a byte-order
/// mark and CRLF line ends. Strings are written as "text" where that keeps every byte, as
/// dword: words of four bytes, everything else as hex: or hex(type): bytes. Fails for a
/// value name that a line cannot hold.
support::Result<Bytes> formatRegFile(const std::vector<RegFileKey>& keys);

/// Reads a registry file in UTF-16LE (with its byte-order mark) or UTF-8, with CRLF or LF line
/// ends: "string", dword:, hex:, hex(type): and - (remove) values. The message of a failure
/// names the line.
support::Result<std::vector<RegFileKey>> parseRegFile(const Bytes& content);

} // namespace admin
