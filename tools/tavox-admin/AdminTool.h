#pragma once

#include "support/Result.h"

namespace platform {
class SettingsStore;
struct SettingsStores;
} // namespace platform

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace admin {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1; ///< the command was understood but failed
inline constexpr int kExitUsage = 2;   ///< the command line was not understood

/// Where a command writes: results to `out`, one "ERROR: ..." line per failure to `err`.
struct Streams {
    std::ostream& out;
    std::ostream& err;

    /// Writes "ERROR: <message>" and gives the failure exit code.
    int fail(std::string_view message, int code = kExitFailure) const;
    /// Writes the error's message as a sentence: "ERROR: Cannot read FILE: REASON."
    int fail(const support::Error& error, int code = kExitFailure) const;
};

using Arguments = std::span<const std::string>;

/// One subcommand of tavox-admin: its name, its synopsis for the usage text, and what runs it
/// (with the arguments after the name, on the stores the program was given).
struct Subcommand {
    std::string_view name;
    std::string_view synopsis;
    int (*run)(Arguments args, const Streams& io, const platform::SettingsStores& stores);
};

/// Every subcommand, in the order the usage text lists them.
std::span<const Subcommand> subcommands();

/// Runs one command line (without the program name) on `stores`; returns the exit code.
int runAdmin(Arguments args, const Streams& io, const platform::SettingsStores& stores);

} // namespace admin
