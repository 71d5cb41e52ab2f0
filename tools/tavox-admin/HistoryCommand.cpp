#include "CommandFamilies.h"
#include "CommandLine.h"
#include "NodeConfigEdit.h"

#include <string>

namespace admin {
namespace {

int setHistory(const FormCall& call, LoadedConfiguration& loaded)
{
    const auto& [parsed, args, word, io, context] = call;
    const std::string& id = parsed.operands()[0];
    const std::string state(word);
    const nodeconfig::EditResult edited = loaded.editor().setHistory(id, word == "on");
    return finishEdit(loaded,
        edited,
        commandOrigin("history " + state, args),
        "Historical logging of " + id + " is " + state + ".",
        "Historical logging of " + id + " is " + state + " already.",
        io,
        context);
}

constexpr CommandForm kForms[] = {
    { "on|off",
        "NODEID",
        {},
        "Switches historical logging of the variable NODEID on or off (\"Add Historical Data\" and \"Remove "
        "Historical\"): its access levels become 7 or 3.",
        onConfiguration<setHistory>,
        "give the NODEID of one variable" },
};

} // namespace

const CommandFamily kHistoryFamily {
    "switch historical logging of a variable on or off",
    kForms,
    "NODEID is a node identifier as \"tavox-nodeset dump\" prints it.",
};

} // namespace admin
