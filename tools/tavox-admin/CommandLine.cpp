#include "CommandLine.h"

#include <algorithm>
#include <ostream>

namespace admin {

std::optional<std::string> ParsedArguments::value(std::string_view option) const
{
    const auto found = m_options.find(option);
    if (found == m_options.end())
        return std::nullopt;
    return found->second;
}

support::Result<void> ParsedArguments::readOnOff(std::string_view option, bool& choice) const
{
    if (const auto text = value(option)) {
        const auto on = parseOnOff(option, *text);
        if (!on)
            return on.error();
        choice = *on;
    }
    return {};
}

support::Result<ParsedArguments> parseArguments(Arguments args, std::span<const FormOption> options)
{
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.m_operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const auto known
            = std::find_if(options.begin(), options.end(), [&](const FormOption& o) { return o.name == name; });
        if (known == options.end())
            return support::Error::invalidInput("the option " + name + " is not known here");
        if (parsed.has(name))
            return support::Error::invalidInput("the option " + name + " is given twice");
        std::string value;
        if (known->value.empty()) {
            if (equals != std::string::npos)
                return support::Error::invalidInput("the option " + name + " takes no value");
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return support::Error::invalidInput("the option " + name + " needs a value");
        }
        parsed.m_options.emplace(name, std::move(value));
    }
    return parsed;
}

support::Result<bool> parseOnOff(std::string_view option, std::string_view text)
{
    if (text == "on")
        return true;
    if (text == "off")
        return false;
    return support::Error::invalidInput(std::string(option) + " takes on or off, not \"" + std::string(text) + "\"");
}

support::Result<std::string> parseDigits(std::string_view option, std::string_view text)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return support::Error::invalidInput(
            std::string(option) + " takes a decimal number, not \"" + std::string(text) + "\"");
    return std::string(text);
}

support::Result<std::uint32_t>
parseNumber(std::string_view option, std::string_view text, std::uint32_t min, std::uint32_t max)
{
    const auto digits = parseDigits(option, text);
    std::uint64_t value = 0;
    if (digits) {
        for (char c : *digits) {
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
            if (value > max)
                break;
        }
    }
    if (!digits || value < min || value > max)
        return support::Error::invalidInput(std::string(option) + " takes a number from " + std::to_string(min) + " to "
            + std::to_string(max) + ", not \"" + std::string(text) + "\"");
    return static_cast<std::uint32_t>(value);
}

int usageError(const Streams& io, std::string_view family, std::string_view why)
{
    return io.fail("Invalid syntax: " + std::string(why) + "; run \"tavox-admin " + std::string(family) + " --help\".",
        kExitUsage);
}

namespace {

int runParsed(std::string_view family,
    const CommandForm& form,
    std::string_view word,
    Arguments args,
    const Streams& io,
    const AdminContext& context)
{
    if (form.parsing == FormParsing::Own)
        return form.run({ ParsedArguments {}, args, word, io, context });
    const auto parsed = parseArguments(args, form.options);
    if (!parsed)
        return usageError(io, family, parsed.error().message);
    const std::size_t operands = form.operands.empty() ? 0 : 1 + std::ranges::count(form.operands, ' ');
    if (parsed->operands().size() != operands) {
        if (!form.wrongOperands.empty())
            return usageError(io, family, form.wrongOperands);
        std::string named(family);
        if (!form.name.empty())
            named.append(" ").append(form.name);
        return usageError(io, family, named + " takes no operand");
    }
    const auto given = [&](const FormOption& option) { return parsed->has(option.name); };
    if (form.parsing == FormParsing::AtLeastOneOption && std::ranges::none_of(form.options, given)) {
        std::string names;
        for (const FormOption& option : form.options)
            names.append(names.empty() ? "" : ", ").append(option.name);
        return usageError(io, family, "give at least one of " + names);
    }
    return form.run({ *parsed, args, word, io, context });
}

} // namespace

int runForm(const Subcommand& command, Arguments args, const Streams& io, const AdminContext& context)
{
    const std::span<const CommandForm> forms = command.family->forms;
    if (forms.size() == 1 && forms[0].name.empty())
        return runParsed(command.name, forms[0], {}, args, io, context);
    std::vector<std::pair<std::string_view, const CommandForm*>> words;
    for (const CommandForm& form : forms) {
        for (std::string_view word : formWords(form))
            words.emplace_back(word, &form);
    }
    std::string names;
    for (std::size_t i = 0; i < words.size(); ++i)
        names += std::string(i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + std::string(words[i].first);
    if (args.empty())
        return usageError(io, command.name, "give " + names);
    for (const auto& [word, form] : words) {
        if (args[0] == word)
            return runParsed(command.name, *form, word, args.subspan(1), io, context);
    }
    return usageError(io, command.name, "\"" + args[0] + "\" is none of " + names);
}

std::string commandOrigin(std::string_view family, Arguments args)
{
    std::string origin = "tavox-admin " + std::string(family);
    for (const std::string& arg : args)
        origin += " " + arg;
    return origin;
}

} // namespace admin
