#pragma once

#include "AdminTool.h"
#include "CommandTable.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace admin {

/// The arguments of one command form: its options and, in order, its operands.
class ParsedArguments {
public:
    bool has(std::string_view option) const { return m_options.contains(std::string(option)); }
    /// The value of an option that takes one; none when it was not given.
    std::optional<std::string> value(std::string_view option) const;
    const std::vector<std::string>& operands() const { return m_operands; }
    /// Sets `choice` from the "on" or "off" given to `option`; keeps it when the option was not given.
    support::Result<void> readOnOff(std::string_view option, bool& choice) const;

private:
    friend support::Result<ParsedArguments> parseArguments(Arguments, std::span<const FormOption>);
    std::map<std::string, std::string, std::less<>> m_options;
    std::vector<std::string> m_operands;
};

/// Splits `args` by `options` (those with a value take one). Refused: an option that is not one
/// of them, one given twice, one without its value. "--" ends the options.
support::Result<ParsedArguments> parseArguments(Arguments args, std::span<const FormOption> options);

/// "on" or "off" as given to `option`.
support::Result<bool> parseOnOff(std::string_view option, std::string_view text);
/// A decimal number of `option` from `min` to `max`.
support::Result<std::uint32_t>
parseNumber(std::string_view option, std::string_view text, std::uint32_t min, std::uint32_t max);
/// Decimal digits only, as a number field accepts them; the number itself is the caller's to check.
support::Result<std::string> parseDigits(std::string_view option, std::string_view text);

/// Runs a command line of `command` after its name: the form named by the first argument (the
/// one form of a family without form words at once), its arguments parsed by its options and
/// its operands counted unless it reads them itself.
int runForm(const Subcommand& command, Arguments args, const Streams& io, const AdminContext& context);

/// A command line that was not understood: "ERROR: Invalid syntax: <why>; run "tavox-admin
/// <family> --help"." and the usage exit code.
int usageError(const Streams& io, std::string_view family, std::string_view why);

/// "tavox-admin <family> <args...>", what a snapshot records as its origin. Passwords are never
/// arguments, so the command line may be kept.
std::string commandOrigin(std::string_view family, Arguments args);

} // namespace admin
