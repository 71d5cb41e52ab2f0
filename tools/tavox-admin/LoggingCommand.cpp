#include "CommandFamilies.h"
#include "CommandLine.h"
#include "NodeConfigEdit.h"

#include <string>

namespace admin {
namespace {

int setLogging(const FormCall& call, LoadedConfiguration& loaded)
{
    const auto& [parsed, args, word, io, context] = call;
    const std::string state(word);
    return finishEdit(loaded,
        loaded.editor().setLogging(word == "on"),
        commandOrigin("logging " + state, args),
        "Logging is " + state + ".",
        "Logging is " + state + " already.",
        io,
        context);
}

constexpr CommandForm kForms[] = {
    { "on|off",
        "",
        {},
        "The Node Config page's \"Start Logging\" box: whether the server logs historical data.",
        onConfiguration<setLogging> },
};

} // namespace

const CommandFamily kLoggingFamily { "switch the logging of historical data on or off", kForms, {} };

} // namespace admin
