#pragma once

#include "support/Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace admin {

using Bytes = std::vector<std::uint8_t>;

/// "REG_SZ", "REG_DWORD", ... for the registry's type numbers; "REG_TYPE_<n>" for others.
std::string regTypeName(std::uint32_t type);

/// The types `reg add` takes: REG_SZ, REG_DWORD and REG_BINARY, in any case.
support::Result<std::uint32_t> parseAddType(std::string_view name);

/// The stored bytes of `reg add ... /d DATA`: REG_SZ from UTF-8 text, REG_DWORD from decimal or
/// 0x-hexadecimal (0 to 0xffffffff), REG_BINARY from an even number of hexadecimal digits.
support::Result<Bytes> parseAddData(std::uint32_t type, std::string_view data);

/// The data column of `reg query`: text, "0x" and lowercase hexadecimal for numbers,
/// uppercase hexadecimal digits for everything else.
std::string formatQueryData(std::uint32_t type, const Bytes& data);

/// A `reg query` line: four blanks, name ("(Default)" when empty), type and data, four blanks apart.
std::string formatQueryLine(std::string_view name, std::uint32_t type, const Bytes& data);

/// True when the bytes are valid UTF-8 (what every text on the command line must be).
bool isUtf8(std::string_view text);

} // namespace admin
