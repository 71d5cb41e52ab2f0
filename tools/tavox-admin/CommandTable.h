#pragma once

#include "AdminTool.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace admin {

class ParsedArguments;

/// An option of a command form, as it is parsed, shown in the synopsis and the help, and
/// completed.
struct FormOption {
    std::string_view name; ///< "--port"
    /// What the option takes as the help names it ("N", "on|off", "DIR"); empty for a switch.
    /// Choices joined by '|' complete as those words, a value ending in FILE or DIR as a file name.
    std::string_view value;
    std::string_view text; ///< its help; empty for one that its form's text explains
    bool required = false; ///< shown without brackets
};

/// The --json option of the forms that show or list, by what it replaces: one JSON document
/// instead of the text, the table or the list.
inline constexpr FormOption kJsonForText[]
    = { { "--json", "", "One JSON document on standard output instead of the text." } };
inline constexpr FormOption kJsonForTable[]
    = { { "--json", "", "One JSON document on standard output instead of the table." } };
inline constexpr FormOption kJsonForList[]
    = { { "--json", "", "One JSON document on standard output instead of the list." } };

/// What a form's run function gets: its arguments, checked against its entry, and where it writes.
struct FormCall {
    const ParsedArguments& parsed; ///< empty for a form that reads its own arguments
    Arguments args; ///< the arguments after the form's word, as given (a snapshot's origin)
    std::string_view word; ///< the form's word as given: "on" of "on|off"; empty for a form without one
    const Streams& io;
    const AdminContext& context;
};

/// How a form's arguments are checked before its run function gets them.
enum class FormParsing {
    Options, ///< parsed by the form's options, its operands counted
    AtLeastOneOption, ///< the same, and one of the options at least must be given
    /// Unparsed, for the forms whose messages for a command line they do not understand are their
    /// own (service, init, reg, set-login-password).
    Own,
};

/// One form of a command family ("endpoints set"): the one entry that the parser, the count of
/// operands, --help, the manual page and the bash completion read.
struct CommandForm {
    /// "set"; alternatives that share the entry joined by '|' ("on|off"); empty for the one form
    /// of a family that takes no form word (status, init).
    std::string_view name;
    /// The operands as the synopsis shows them ("NAME RIGHTS"), one word each unless the form
    /// reads its own arguments; a word ending in FILE or DIR completes as a file name.
    std::string_view operands;
    std::span<const FormOption> options;
    std::string_view text;
    int (*run)(const FormCall& call);
    /// The usage error for another number of operands; needed where the form takes operands, for
    /// one that takes none it defaults to "<family> <form> takes no operand".
    std::string_view wrongOperands = {};
    FormParsing parsing = FormParsing::Options;
};

/// One command family: its line in the list of commands, its forms and the notes after them.
struct CommandFamily {
    std::string_view summary;
    std::span<const CommandForm> forms;
    std::string_view notes; ///< paragraphs after the options, separated by "\n\n"; may be empty
    /// Runs the family's command lines where they do not go through runForm (CommandLine.h).
    int (*dispatch)(const Subcommand& command, Arguments args, const Streams& io, const AdminContext& context)
        = nullptr;
};

/// "endpoints set [--port N] [--https on|off]": the form's synopsis without the program name.
std::string synopsis(std::string_view family, const CommandForm& form);

/// The words that name the form: "on" and "off" of "on|off"; none for a form without a name.
std::vector<std::string_view> formWords(const CommandForm& form);

/// "--port N": the option as the help lists it.
std::string optionWithValue(const FormOption& option);

} // namespace admin
