#include "CommandHelp.h"

#include "config/ProductVersion.h"

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
    {"TAVOX_REGISTRY", "the machine settings store (default /var/lib/tavox/registry.db)."},
    {"TAVOX_USER_REGISTRY",
        "the per-user settings store (default $XDG_CONFIG_HOME/tavox/user-registry.db, ~/.config when unset)."},
    {"DBUS_SYSTEM_BUS_ADDRESS", "the bus of the service manager (default the system bus)."},
};

constexpr std::string_view kFiles[][2] = {
    {"snapshots/ beside the machine store", "one folder per snapshot, the newest 20 kept."},
};

// Splits `text` into lines of at most `width` columns after `indent` blanks.
void printWrapped(std::ostream& os, std::string_view text, std::size_t indent, std::size_t width = kWidth)
{
    std::istringstream words {std::string(text)};
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

// --- completion -----------------------------------------------------------------------------

/// What the completion knows of one form of a command.
struct FormSyntax {
    std::vector<std::string> names; ///< the form's word(s); empty for a command without forms
    std::vector<std::string> options;
    std::map<std::string, std::string> values; ///< option -> "on off" or "@file"
    bool fileOperand = false;
};

std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

std::string stripBrackets(std::string_view word)
{
    std::string out;
    for (char c : word) {
        if (c != '[' && c != ']')
            out += c;
    }
    return out;
}

bool isFormWord(std::string_view word)
{
    if (word.empty() || word[0] == '-' || word[0] == '/')
        return false;
    for (char c : word) {
        if (!((c >= 'a' && c <= 'z') || c == '-' || c == '|'))
            return false;
    }
    return true;
}

bool namesFile(std::string_view word)
{
    return word.ends_with("FILE") || word.ends_with("DIR");
}

std::string valueWords(std::string_view value)
{
    if (namesFile(value))
        return "@file";
    if (value.find('|') == std::string_view::npos)
        return {};
    std::string words;
    for (const std::string& choice : split(value, '|'))
        words += (words.empty() ? "" : " ") + choice;
    return words;
}

FormSyntax parseSynopsis(std::string_view synopsis)
{
    std::vector<std::string> words = split(synopsis, ' ');
    FormSyntax form;
    std::size_t i = 1;
    if (words.size() > 1 && isFormWord(words[1])) {
        form.names = split(words[1], '|');
        i = 2;
    }
    for (; i < words.size(); ++i) {
        const std::string& raw = words[i];
        const std::string word = stripBrackets(raw);
        if (!word.starts_with("--")) {
            if (namesFile(word))
                form.fileOperand = true;
            continue;
        }
        form.options.push_back(word);
        const bool closes = raw.ends_with("]");
        const bool opensGroup = raw.starts_with("[");
        if (closes || i + 1 >= words.size())
            continue;
        const std::string& next = words[i + 1];
        if (!opensGroup && (next.starts_with("-") || next.starts_with("[")))
            continue;
        const std::string value = valueWords(stripBrackets(next));
        if (!value.empty())
            form.values[word] = value;
        ++i;
    }
    return form;
}

std::string joined(const std::set<std::string>& words)
{
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

} // namespace

void printOverview(std::ostream& os, std::span<const Subcommand> commands)
{
    os << "Usage: tavox-admin COMMAND [ARGUMENTS]\n\n";
    printWrapped(os, kDescription, 0);
    os << "\nCommands:\n";
    std::size_t nameWidth = 0;
    for (const Subcommand& command : commands)
        nameWidth = std::max(nameWidth, command.name.size());
    for (const Subcommand& command : commands) {
        const std::string name = "  " + std::string(command.name) + std::string(nameWidth - command.name.size() + 2, ' ');
        os << name;
        std::ostringstream text;
        printWrapped(text, command.help->summary, name.size());
        os << text.str().substr(name.size());
    }
    os << "\n";
    printWrapped(os,
        "Run \"tavox-admin COMMAND --help\" for the forms and options of a command, \"tavox-admin --version\" "
        "for the version.",
        0);
}

void printUsageLines(std::ostream& os, const CommandHelp& help)
{
    os << "Usage:\n";
    for (const UsageHelp& usage : help.usages)
        os << "  tavox-admin " << usage.synopsis << "\n";
}

void printCommandHelp(std::ostream& os, const Subcommand& command)
{
    const CommandHelp& help = *command.help;
    printUsageLines(os, help);
    os << "\n";
    for (const UsageHelp& usage : help.usages) {
        os << "  " << usage.synopsis << "\n";
        printWrapped(os, usage.text, 6);
    }
    if (!help.options.empty()) {
        os << "\nOptions:\n";
        for (const OptionHelp& option : help.options) {
            os << "  " << option.option << "\n";
            printWrapped(os, option.text, 6);
        }
    }
    if (!help.notes.empty()) {
        os << "\n";
        printParagraphs(os, help.notes, 2);
    }
}

void printManPage(std::ostream& os, std::span<const Subcommand> commands)
{
    os << ".\\\" The manual page of tavox-admin, generated from its help texts.\n"
       << ".TH TAVOX-ADMIN 8 \"\" \"" << roff(kProductVersionText) << "\" \"System Administration\"\n"
       << ".SH NAME\ntavox\\-admin \\- configure the Tavox Server from the command line\n"
       << ".SH SYNOPSIS\n";
    for (const Subcommand& command : commands) {
        for (const UsageHelp& usage : command.help->usages)
            os << ".B tavox\\-admin\n" << roff(usage.synopsis) << "\n.br\n";
    }
    os << ".SH DESCRIPTION\n" << roff(kDescription) << "\n.SH COMMANDS\n";
    for (const Subcommand& command : commands) {
        const CommandHelp& help = *command.help;
        os << ".SS " << roff(command.name) << "\n" << roff(help.summary) << "\n";
        for (const UsageHelp& usage : help.usages)
            os << ".TP\n.B tavox\\-admin " << roff(usage.synopsis) << "\n" << roff(usage.text) << "\n";
        for (const OptionHelp& option : help.options)
            os << ".TP\n.B " << roff(option.option) << "\n" << roff(option.text) << "\n";
        if (!help.notes.empty()) {
            os << ".PP\n";
            printRoffParagraphs(os, help.notes);
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
    std::set<std::string> names {"--help", "--version"};
    std::map<std::string, std::set<std::string>> forms; // command -> its form words
    std::map<std::string, std::set<std::string>> options; // "command form" or "command" -> options
    std::map<std::string, std::string> values; // "command form option" -> words
    std::set<std::string> fileOperands; // "command form"
    for (const Subcommand& command : commands) {
        const std::string name(command.name);
        names.insert(name);
        for (const UsageHelp& usage : command.help->usages) {
            const FormSyntax syntax = parseSynopsis(usage.synopsis);
            std::vector<std::string> keys;
            if (syntax.names.empty())
                keys.push_back(name);
            for (const std::string& form : syntax.names) {
                forms[name].insert(form);
                keys.push_back(name + " " + form);
            }
            for (const std::string& key : keys) {
                options[key].insert("--help");
                options[key].insert(syntax.options.begin(), syntax.options.end());
                for (const auto& [option, words] : syntax.values)
                    values[key + " " + option] = words;
                if (syntax.fileOperand)
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
          "        COMPREPLY=($(compgen -W \"" << joined(names) << "\" -- \"$cur\"))\n"
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
