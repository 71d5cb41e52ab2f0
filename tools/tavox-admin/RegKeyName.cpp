#include "RegKeyName.h"

#include "support/TextCodec.h"

#include <optional>

namespace admin {

std::string RegKeyName::fullName() const
{
    const char* root = hive == platform::RegHive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    return std::string(root) + "\\" + subKey;
}

RegKeyName RegKeyName::child(std::string_view name) const { return { hive, subKey + "\\" + std::string(name) }; }

namespace {

constexpr std::size_t kShownNameLength = 80;

// The key name as a message shows it: a NUL written \0, a long name cut (never inside a
// character) and marked with "...".
std::string shownName(std::string_view text)
{
    std::string shown;
    for (char c : text) {
        if (shown.size() >= kShownNameLength && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            shown += "...";
            break;
        }
        if (c == '\0')
            shown += "\\0";
        else
            shown.push_back(c);
    }
    return shown;
}

// Why a path breaks the registry's limits, or nothing.
std::optional<std::string> limitBroken(std::string_view path)
{
    if (path.find('\0') != std::string_view::npos)
        return "a key name must not hold a NUL character";
    std::size_t levels = 0;
    for (std::string_view rest = path;;) {
        const std::size_t slash = rest.find('\\');
        if (support::utf8ToUtf16(rest.substr(0, slash)).size() > platform::kMaxKeyNameLength)
            return "a key name has at most " + std::to_string(platform::kMaxKeyNameLength) + " characters";
        if (++levels > platform::kMaxKeyDepth)
            return "a key path has at most " + std::to_string(platform::kMaxKeyDepth) + " levels";
        if (slash == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(slash + 1);
    }
}

} // namespace

support::Result<RegKeyName> parseRegKeyName(std::string_view text)
{
    const auto invalid = [&](std::string_view why) {
        return support::Error::invalidInput("invalid key name \"" + shownName(text) + "\": " + std::string(why));
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
    if (const auto broken = limitBroken(path))
        return invalid(*broken);
    key.subKey = std::string(path);
    return key;
}

} // namespace admin
