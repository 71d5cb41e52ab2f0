#include "CommandHelp.h"

#include "config/ProductVersion.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace admin {
namespace {

constexpr std::size_t kWidth = 79;

constexpr std::string_view kDescription
    = "tavox-admin changes everything the Tavox Server Utility configures, with the same checks, messages "
      "and stored bytes as the utility's pages, for scripts and for administration over SSH. Commands that "
      "change the configuration first keep a snapshot of it (see the snapshot command), say so when the "
      "service must be restarted to apply the change, and change nothing when they fail.";

constexpr std::string_view kExitStatus
    = "0 when the command succeeded; 1 when it failed, with one line on standard error that says why; 2 when "
      "the command line was not understood.";

constexpr std::string_view kEnvironment[][2] = {
    { "TAVOX_REGISTRY", "the machine settings store (default /var/lib/tavox/registry.db)." },
    { "TAVOX_USER_REGISTRY",
        "the per-user settings store (default $XDG_CONFIG_HOME/tavox/user-registry.db, ~/.config when unset)." },
    { "DBUS_SYSTEM_BUS_ADDRESS", "the bus of the service manager (default the system bus)." },
};

constexpr std::string_view kFiles[][2] = {
    { "snapshots/ beside the machine store", "one folder per snapshot, the newest 20 kept." },
};

// Splits `text` into lines of at most `width` columns after `indent` blanks.
void printWrapped(std::ostream& os, std::string_view text, std::size_t indent, std::size_t width = kWidth)
{
    std::istringstream words { std::string(text) };
    std::string word;
    std::size_t column = 0;
    while (words >> word) {
        if (column > 0 && column + 1 + word.size() > width) {
            os << "\n";
            column = 0;
        }
        if (column == 0) {
            os << std::string(indent, ' ') << word;
            column = indent + word.size();
        } else {
            os << ' ' << word;
            column += 1 + word.size();
        }
    }
    if (column > 0)
        os << "\n";
}

void printParagraphs(std::ostream& os, std::string_view text, std::size_t indent)
{
    while (!text.empty()) {
        const std::size_t end = text.find("\n\n");
        printWrapped(os, text.substr(0, end), indent);
        if (end == std::string_view::npos)
            break;
        os << "\n";
        text.remove_prefix(end + 2);
    }
}

// Text for roff: backslashes written out, a leading dot or quote made harmless, minus signs
// of options kept as such.
std::string roff(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

void printRoffParagraphs(std::ostream& os, std::string_view text)
{
    while (!text.empty()) {
        const std::size_t end = text.find("\n\n");
        os << roff(text.substr(0, end)) << "\n";
        if (end == std::string_view::npos)
            break;
        os << ".PP\n";
        text.remove_prefix(end + 2);
    }
}

/// The options that the help of `family` lists: those with a text, each once, in the order
/// of its forms.
std::vector<const FormOption*> listedOptions(const CommandFamily& family)
{
    std::vector<const FormOption*> listed;
    for (const CommandForm& form : family.forms) {
        for (const FormOption& option : form.options) {
            const bool seen = std::any_of(
                listed.begin(), listed.end(), [&](const FormOption* o) { return o->name == option.name; });
            if (!option.text.empty() && !seen)
                listed.push_back(&option);
        }
    }
    return listed;
}

// --- completion -----------------------------------------------------------------------------

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

bool namesFile(std::string_view word) { return word.ends_with("FILE") || word.ends_with("DIR"); }

/// The words an option's value completes as: "on off", "@file" for a file name, or none.
std::string valueWords(std::string_view value)
{
    if (namesFile(value))
        return "@file";
    if (value.find('|') == std::string_view::npos)
        return {};
    std::string words;
    for (std::string_view choice : split(value, '|'))
        words.append(words.empty() ? "" : " ").append(choice);
    return words;
}

bool takesFileOperand(std::string_view operands)
{
    for (std::string_view part : split(operands, ' ')) {
        std::string word(part);
        std::erase(word, '[');
        std::erase(word, ']');
        if (namesFile(word))
            return true;
    }
    return false;
}

std::string joined(const std::set<std::string>& words)
{
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

} // namespace

std::string synopsis(std::string_view family, const CommandForm& form)
{
    std::string text(family);
    for (std::string_view part : { form.name, form.operands }) {
        if (!part.empty())
            text.append(" ").append(part);
    }
    for (const FormOption& option : form.options) {
        text += option.required ? " " : " [";
        text += optionWithValue(option);
        text += option.required ? "" : "]";
    }
    return text;
}

std::vector<std::string_view> formWords(const CommandForm& form)
{
    if (form.name.empty())
        return {};
    return split(form.name, '|');
}

std::string optionWithValue(const FormOption& option)
{
    std::string text(option.name);
    if (!option.value.empty())
        text.append(" ").append(option.value);
    return text;
}

void printOverview(std::ostream& os, std::span<const Subcommand> commands)
{
    os << "Usage: tavox-admin COMMAND [ARGUMENTS]\n\n";
    printWrapped(os, kDescription, 0);
    os << "\nCommands:\n";
    std::size_t nameWidth = 0;
    for (const Subcommand& command : commands)
        nameWidth = std::max(nameWidth, command.name.size());
    for (const Subcommand& command : commands) {
        const std::string name
            = "  " + std::string(command.name) + std::string(nameWidth - command.name.size() + 2, ' ');
        os << name;
        std::ostringstream text;
        printWrapped(text, command.family->summary, name.size());
        os << text.str().substr(name.size());
    }
    os << "\n";
    printWrapped(os,
        "Run \"tavox-admin COMMAND --help\" for the forms and options of a command, \"tavox-admin --version\" "
        "for the version.",
        0);
}

void printUsageLines(std::ostream& os, const Subcommand& command)
{
    os << "Usage:\n";
    for (const CommandForm& form : command.family->forms)
        os << "  tavox-admin " << synopsis(command.name, form) << "\n";
}

void printCommandHelp(std::ostream& os, const Subcommand& command)
{
    const CommandFamily& family = *command.family;
    printUsageLines(os, command);
    os << "\n";
    for (const CommandForm& form : family.forms) {
        os << "  " << synopsis(command.name, form) << "\n";
        printWrapped(os, form.text, 6);
    }
    const std::vector<const FormOption*> options = listedOptions(family);
    if (!options.empty()) {
        os << "\nOptions:\n";
        for (const FormOption* option : options) {
            os << "  " << optionWithValue(*option) << "\n";
            printWrapped(os, option->text, 6);
        }
    }
    if (!family.notes.empty()) {
        os << "\n";
        printParagraphs(os, family.notes, 2);
    }
}

void printManPage(std::ostream& os, std::span<const Subcommand> commands)
{
    os << ".\\\" The manual page of tavox-admin, generated from its help texts.\n"
       << ".TH TAVOX-ADMIN 8 \"\" \"" << roff(kProductVersionText) << "\" \"System Administration\"\n"
       << ".SH NAME\ntavox\\-admin \\- configure the Tavox Server from the command line\n"
       << ".SH SYNOPSIS\n";
    for (const Subcommand& command : commands) {
        for (const CommandForm& form : command.family->forms)
            os << ".B tavox\\-admin\n" << roff(synopsis(command.name, form)) << "\n.br\n";
    }
    os << ".SH DESCRIPTION\n" << roff(kDescription) << "\n.SH COMMANDS\n";
    for (const Subcommand& command : commands) {
        const CommandFamily& family = *command.family;
        os << ".SS " << roff(command.name) << "\n" << roff(family.summary) << "\n";
        for (const CommandForm& form : family.forms)
            os << ".TP\n.B tavox\\-admin " << roff(synopsis(command.name, form)) << "\n" << roff(form.text) << "\n";
        for (const FormOption* option : listedOptions(family))
            os << ".TP\n.B " << roff(optionWithValue(*option)) << "\n" << roff(option->text) << "\n";
        if (!family.notes.empty()) {
            os << ".PP\n";
            printRoffParagraphs(os, family.notes);
        }
    }
    os << ".SH EXIT STATUS\n" << roff(kExitStatus) << "\n.SH ENVIRONMENT\n";
    for (const auto& [name, text] : kEnvironment)
        os << ".TP\n.B " << roff(name) << "\n" << roff(text) << "\n";
    os << ".SH FILES\n";
    for (const auto& [name, text] : kFiles)
        os << ".TP\n.I " << roff(name) << "\n" << roff(text) << "\n";
    os << ".SH SEE ALSO\n.BR tavox\\-utility (1),\n.BR tavox\\-nodeset (1),\n.BR systemctl (1)\n";
}

void printBashCompletion(std::ostream& os, std::span<const Subcommand> commands)
{
    std::set<std::string> names { "--help", "--version" };
    std::map<std::string, std::set<std::string>> forms; // command -> its form words
    std::map<std::string, std::set<std::string>> options; // "command form" or "command" -> options
    std::map<std::string, std::string> values; // "command form option" -> words
    std::set<std::string> fileOperands; // "command form"
    for (const Subcommand& command : commands) {
        const std::string name(command.name);
        names.insert(name);
        for (const CommandForm& form : command.family->forms) {
            std::vector<std::string> keys;
            if (form.name.empty())
                keys.push_back(name);
            for (std::string_view word : formWords(form)) {
                forms[name].emplace(word);
                keys.push_back(name + " " + std::string(word));
            }
            for (const std::string& key : keys) {
                options[key].insert("--help");
                for (const FormOption& option : form.options) {
                    options[key].insert(std::string(option.name));
                    if (const std::string words = valueWords(option.value); !words.empty())
                        values[key + " " + std::string(option.name)] = words;
                }
                if (takesFileOperand(form.operands))
                    fileOperands.insert(key);
            }
        }
    }
    os << "# bash completion for tavox-admin, generated from its help texts\n"
          "_tavox_admin()\n{\n"
          "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
          "    local command=${COMP_WORDS[1]}\n"
          "    local -A forms=(\n";
    for (const auto& [command, words] : forms)
        os << "        [\"" << command << "\"]=\"" << joined(words) << "\"\n";
    os << "    )\n    local -A options=(\n";
    for (const auto& [key, words] : options)
        os << "        [\"" << key << "\"]=\"" << joined(words) << "\"\n";
    os << "    )\n    local -A values=(\n";
    for (const auto& [key, words] : values)
        os << "        [\"" << key << "\"]=\"" << words << "\"\n";
    os << "    )\n    local -A files=(\n";
    for (const std::string& key : fileOperands)
        os << "        [\"" << key << "\"]=1\n";
    os << "    )\n"
          "    if (( COMP_CWORD == 1 )); then\n"
          "        COMPREPLY=($(compgen -W \""
       << joined(names)
       << "\" -- \"$cur\"))\n"
          "        return\n"
          "    fi\n"
          "    local form=$command\n"
          "    if [[ -n ${forms[$command]} ]]; then\n"
          "        if (( COMP_CWORD == 2 )); then\n"
          "            COMPREPLY=($(compgen -W \"${forms[$command]} --help\" -- \"$cur\"))\n"
          "            return\n"
          "        fi\n"
          "        form=\"$command ${COMP_WORDS[2]}\"\n"
          "    fi\n"
          "    local choice=${values[\"$form $prev\"]}\n"
          "    if [[ $choice == @file ]]; then\n"
          "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
          "    elif [[ -n $choice ]]; then\n"
          "        COMPREPLY=($(compgen -W \"$choice\" -- \"$cur\"))\n"
          "    elif [[ $cur == -* ]]; then\n"
          "        COMPREPLY=($(compgen -W \"${options[$form]}\" -- \"$cur\"))\n"
          "    elif [[ -n ${files[$form]} ]]; then\n"
          "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
          "    fi\n"
          "}\n"
          "complete -F _tavox_admin tavox-admin\n";
}

} // namespace admin
