#include "RegKeyName.h"

#include "support/TextCodec.h"

namespace admin {

std::string RegKeyName::fullName() const
{
    const char* root = hive == platform::RegHive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    return std::string(root) + "\\" + subKey;
}

RegKeyName RegKeyName::child(std::string_view name) const
{
    return {hive, subKey + "\\" + std::string(name)};
}

support::Result<RegKeyName> parseRegKeyName(std::string_view text)
{
    const auto invalid = [&](std::string_view why) {
        return support::Error::invalidInput("invalid key name \"" + std::string(text) + "\": " + std::string(why));
    };
    const std::size_t slash = text.find('\\');
    const std::string_view root = text.substr(0, slash);
    RegKeyName key;
    if (support::equalsNoCase(root, "HKLM") || support::equalsNoCase(root, "HKEY_LOCAL_MACHINE"))
        key.hive = platform::RegHive::LocalMachine;
    else if (support::equalsNoCase(root, "HKCU") || support::equalsNoCase(root, "HKEY_CURRENT_USER"))
        key.hive = platform::RegHive::CurrentUser;
    else
        return invalid("the root must be HKLM, HKEY_LOCAL_MACHINE, HKCU or HKEY_CURRENT_USER");
    std::string_view path = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    if (path.empty())
        return invalid("a subkey is needed after the root");
    if (path.find("\\\\") != std::string_view::npos || path.front() == '\\')
        return invalid("a path component is empty");
    key.subKey = std::string(path);
    return key;
}

} // namespace admin
