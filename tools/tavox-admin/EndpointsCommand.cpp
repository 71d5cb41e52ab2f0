#include "CommandFamilies.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"
#include "JsonOutput.h"

#include "config/EndpointSettings.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"

#include <algorithm>
#include <ostream>

namespace admin {
namespace {

constexpr std::string_view kFamily = "endpoints";

std::string onOff(bool on) { return on ? "on" : "off"; }

/// A message of the page as one line: its line breaks become blanks.
std::string oneLine(std::string_view text)
{
    std::string line(text);
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

int show(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const EndpointSettings::Shown shown = EndpointSettings(context.stores.machine).load();
    using support::utf16ToUtf8;
    if (parsed.has("--json")) {
        printJson(io,
            { { "uaTcp", { { "url", utf16ToUtf8(shown.uaTcpUrl) }, { "port", shown.uaTcpPort } } },
                { "securityNone", shown.securityNone },
                { "https",
                    { { "enabled", shown.https },
                        { "url", utf16ToUtf8(shown.httpsUrl) },
                        { "port", shown.httpsPort } } },
                { "computerName", utf16ToUtf8(shown.computerName) } });
        return kExitSuccess;
    }
    io.out << "UA TCP:         " << utf16ToUtf8(shown.uaTcpUrl) << "\n"
           << "UA TCP Port:    " << shown.uaTcpPort << "\n"
           << "Security None:  " << onOff(shown.securityNone) << "\n"
           << "HTTPS:          " << onOff(shown.https) << "\n"
           << "HTTPS URL:      " << utf16ToUtf8(shown.httpsUrl) << "\n"
           << "HTTPS Port:     " << shown.httpsPort << "\n"
           << "Server Name:    " << utf16ToUtf8(shown.computerName) << "\n";
    return kExitSuccess;
}

// The page's fields as they stand after a fill, changed by the options given.
support::Result<EndpointSettings::Edited> edited(const ParsedArguments& parsed, const EndpointSettings::Shown& shown)
{
    EndpointSettings::Edited fields { shown.https,
        shown.securityNone,
        support::utf8ToUtf16(std::to_string(shown.uaTcpPort)),
        support::utf8ToUtf16(std::to_string(shown.httpsPort)) };
    if (const auto text = parsed.value("--port")) {
        const auto digits = parseDigits("--port", *text);
        if (!digits)
            return digits.error();
        fields.uaTcpPortText = support::utf8ToUtf16(*digits);
    }
    if (const auto text = parsed.value("--https-port")) {
        const auto digits = parseDigits("--https-port", *text);
        if (!digits)
            return digits.error();
        fields.httpsPortText = support::utf8ToUtf16(*digits);
    }
    if (const auto read = parsed.readOnOff("--https", fields.https); !read)
        return read.error();
    if (const auto read = parsed.readOnOff("--security-none", fields.securityNone); !read)
        return read.error();
    return fields;
}

constexpr FormOption kSetOptions[] = {
    { "--port", "N", "The UA TCP port." },
    { "--https", "on|off", "Whether the HTTPS endpoint is enabled." },
    { "--https-port", "N", "The HTTPS port." },
    { "--security-none", "on|off", "Whether the security mode None is offered." },
};

int set(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    if (int rc = requireServerKey(context, io, platform::RegAccess::Write))
        return rc;
    const EndpointSettings settings(context.stores.machine);
    const auto fields = edited(parsed, settings.load());
    if (!fields)
        return usageError(io, kFamily, fields.error().message);
    const EndpointSettings::Check check = EndpointSettings::validate(fields->https,
        EndpointSettings::portFromText(fields->uaTcpPortText),
        EndpointSettings::portFromText(fields->httpsPortText));
    if (check != EndpointSettings::Check::Ok)
        return io.fail(oneLine(EndpointSettings::message(check)));

    if (int rc = snapshotBeforeChange(context, io, commandOrigin("endpoints set", args)))
        return rc;
    // A command must not report a write that did not happen.
    if (!settings.apply(*fields))
        return io.fail("Cannot write the endpoints to the settings store " + context.stores.machine.path().string()
            + "; what was written is in the newest snapshot.");
    return reportChange(io, "The endpoints have been stored.");
}

constexpr CommandForm kForms[] = {
    { "show",
        "",
        kJsonForText,
        "Shows the UA TCP port and URL, the security mode None, the HTTPS switch, port and URL, and the "
        "computer name the URLs carry.",
        show },
    { "set",
        "",
        kSetOptions,
        "Changes what is given and keeps the rest, with the checks of the Endpoints page: with HTTPS on the two "
        "ports must differ, and both must be below 65535 (the HTTPS port even with HTTPS off).",
        set,
        {},
        FormParsing::AtLeastOneOption },
};

} // namespace

const CommandFamily kEndpointsFamily {
    "show or change the ports of the UA TCP and HTTPS endpoints",
    kForms,
    "A port is given in decimal digits, as the Endpoints page takes it.",
};

} // namespace admin
