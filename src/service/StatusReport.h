#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class SettingsStore;
}

/// What the Status page shows for a service state: its text and which operations it offers.
struct ServiceStateView {
    std::string_view text;
    bool start = false;
    bool restartAndStop = false;
};

/// The view of `state` (a state of ServiceController, kQueryFailed included): "Running",
/// "Stopped" or the text of a failed query. None for a pending or paused state, for which the
/// page keeps what it showed before.
std::optional<ServiceStateView> serviceStateView(std::uint32_t state);

/// Shown in place of a value of one character or none.
inline constexpr std::string_view kNotSupported = "Not Supported.";

/// `value` as the Status page shows it: unchanged, or kNotSupported when it has one character
/// or none.
std::u16string shownStatusValue(std::u16string value);

/// The four values of the Status page, each as shown, read anew from the machine store.
struct StatusValues {
    std::u16string uaTcp;
    std::u16string https;
    std::u16string serverConfig;
    std::u16string nodeConfig;
};

StatusValues readStatusValues(const platform::SettingsStore& machine);
