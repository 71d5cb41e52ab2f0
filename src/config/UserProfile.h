#pragma once

#include <string>
#include <string_view>

namespace platform {
class SettingsStore;
} // namespace platform

/// The utility's per-user profile: string entries by section under
/// Software\<company>\<application> of the per-user settings store it is handed, with the
/// framework's profile-string semantics (a missing or unreadable entry gives the caller's default).
class UserProfile {
public:
    /// The store must outlive the object.
    UserProfile(const platform::SettingsStore& user, std::string company, std::string application);

    /// The registered product profile: company "MORVANE", application "Tavox Utility".
    static UserProfile utility(const platform::SettingsStore& user);

    std::u16string getString(std::string_view section, std::string_view entry, std::u16string_view fallback) const;
    /// Writes an entry; the section's key is created when missing, as the framework's
    /// profile write does. False when the store cannot be written.
    bool writeString(std::string_view section, std::string_view entry, std::u16string_view value) const;

    /// The store key of a section, e.g. "Software\MORVANE\Tavox Utility\Setting".
    std::string sectionKey(std::string_view section) const;

private:
    const platform::SettingsStore* m_user;
    std::string m_company;
    std::string m_application;
};
