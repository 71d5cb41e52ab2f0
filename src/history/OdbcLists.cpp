#include "history/OdbcLists.h"

namespace history {
namespace {

bool contains(std::u16string_view text, std::u16string_view part)
{
    return text.find(part) != std::u16string_view::npos;
}

} // namespace

std::vector<std::u16string> filterDrivers(const std::vector<std::u16string>& installed, std::u16string_view keyword)
{
    std::vector<std::u16string> offered;
    for (const std::u16string& name : installed) {
        if (contains(name, keyword) && contains(name, u"ODBC") && !contains(name, u"MySQL ODBC 8.0"))
            offered.push_back(name);
    }
    return offered;
}

std::vector<std::u16string> browseChoices(std::u16string_view output, std::u16string_view attribute)
{
    std::vector<std::u16string> choices;
    if (!contains(output, attribute))
        return choices;
    const auto open = output.find(u'{');
    if (open == std::u16string_view::npos)
        return choices;
    const auto close = output.find(u'}', open + 1);
    if (close == std::u16string_view::npos)
        return choices;
    std::u16string_view list = output.substr(open + 1, close - open - 1);
    for (;;) {
        const auto comma = list.find(u',');
        const std::u16string_view piece = list.substr(0, comma);
        if (!piece.empty())
            choices.emplace_back(piece);
        if (comma == std::u16string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    return choices;
}

} // namespace history
