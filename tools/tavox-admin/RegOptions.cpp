#include "RegOptions.h"

#include "support/TextCodec.h"

#include <algorithm>

namespace admin {
namespace {

constexpr std::string_view kKnownSwitches = "v ve t d f y";

bool isAllowed(std::string_view allowed, std::string_view option)
{
    std::size_t pos = 0;
    while (pos < allowed.size()) {
        const std::size_t end = std::min(allowed.find(' ', pos), allowed.size());
        if (support::equalsNoCase(allowed.substr(pos, end - pos), option))
            return true;
        pos = end + 1;
    }
    return false;
}

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

support::Result<RegOptions> parseRegOptions(Arguments args, std::string_view allowed)
{
    RegOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // Only the known switches are switches, so that a path such as /tmp/key.reg is an argument.
        const std::string option = arg.size() >= 2 ? lower(std::string_view(arg).substr(1)) : std::string();
        if ((arg[0] != '/' && arg[0] != '-') || !isAllowed(kKnownSwitches, option)) {
            options.positional.push_back(arg);
            continue;
        }
        if (!isAllowed(allowed, option))
            return support::Error::invalidInput("invalid syntax: the switch " + arg + " is not known here");
        const auto takeArgument = [&](std::optional<std::string>& target) -> bool {
            if (target || i + 1 >= args.size())
                return false;
            target = args[++i];
            return true;
        };
        if (option == "f") {
            options.force = true;
        } else if (option == "y") {
            options.overwrite = true;
        } else if (option == "ve") {
            if (options.valueName)
                return support::Error::invalidInput("invalid syntax: give one value name, with /v NAME or /ve");
            options.valueName = std::string();
        } else {
            std::optional<std::string>& target = option == "v" ? options.valueName
                : option == "t"                                ? options.type
                                                               : options.data;
            if (!takeArgument(target))
                return support::Error::invalidInput("invalid syntax: " + arg + " takes one argument, once");
        }
    }
    return options;
}

} // namespace admin
