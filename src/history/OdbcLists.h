#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace history {

/// The installed drivers offered for a type, in the driver manager's order: those whose
/// name contains `keyword` and "ODBC" and does not contain "MySQL ODBC 8.0" (case-sensitive).
std::vector<std::u16string> filterDrivers(const std::vector<std::u16string>& installed, std::u16string_view keyword);

/// The choices that a browse output offers for `attribute` ("SERVER", "DATABASE"): the text
/// between the output's first "{" and the "}" after it, split at ",". Nothing when the output
/// does not mention the attribute, has no such braces, or the braces are empty; empty pieces
/// are left out.
std::vector<std::u16string> browseChoices(std::u16string_view output, std::u16string_view attribute);

} // namespace history
