#include "CommandFamilies.h"
#include "CommandHelp.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"
#include "RegFile.h"
#include "RegKeyName.h"
#include "RegOptions.h"
#include "RegValueText.h"
#include "StoreMessages.h"

#include "platform/SettingsStore.h"
#include "support/AtomicFile.h"
#include "support/TextCodec.h"
#include "support/WholeFile.h"

#include <algorithm>
#include <ostream>

using platform::RegAccess;
using platform::RegistryKey;
using platform::RegStatus;

namespace admin {
namespace {

constexpr const char* kDone = "The operation completed successfully.\n";

/// What a reg operation works on, and the snapshot a change takes before it writes.
struct RegCall {
    const AdminContext& context;
    std::string origin;

    int beforeChange(const Streams& io) const { return snapshotBeforeChange(context, io, origin); }
    /// The snapshot before a change of `hive`: the configuration lives in the machine store only.
    int beforeChangeOf(platform::RegHive hive, const Streams& io) const
    {
        return hive == platform::RegHive::LocalMachine ? beforeChange(io) : kExitSuccess;
    }
};

/// The form of `verb`, matched as the reg program matches it, in any case.
const CommandForm* regForm(std::string_view verb);

/// Runs `run` on the form's switches of `allowed` (e.g. "v ve t d f") and its `positionals`
/// arguments besides them (KEY and FILE).
int withSwitches(const FormCall& call,
    std::string_view allowed,
    std::size_t positionals,
    int (*run)(const RegOptions& options, const Streams& io, const RegCall& call))
{
    const auto options = parseRegOptions(call.args, allowed);
    if (!options)
        return call.io.fail(options.error(), kExitUsage);
    if (options->positional.size() != positionals)
        return call.io.fail("Invalid syntax: tavox-admin " + synopsis("reg", *regForm(call.word)), kExitUsage);
    return run(*options, call.io, RegCall { call.context, commandOrigin("reg " + std::string(call.word), call.args) });
}

int openKey(const RegKeyName& key,
    RegAccess access,
    RegistryKey& opened,
    const Streams& io,
    const platform::SettingsStores& stores)
{
    const platform::SettingsStore& store = stores.of(key.hive);
    const RegStatus status = store.open(opened, key.subKey, access);
    return status == RegStatus::Success ? kExitSuccess : io.fail(storeFailureMessage(status, store.path()));
}

/// A form on a KEY, `Run`, after its name has been read.
template <int (*Run)(const RegKeyName& key, const RegOptions& options, const Streams& io, const RegCall& call)>
int onKey(const RegOptions& options, const Streams& io, const RegCall& call)
{
    const auto key = parseRegKeyName(options.positional[0]);
    if (!key)
        return io.fail(key.error());
    return Run(*key, options, io, call);
}

int query(const RegKeyName& key, const RegOptions& options, const Streams& io, const RegCall& call)
{
    const platform::SettingsStores& stores = call.context.stores;
    RegistryKey opened;
    if (int rc = openKey(key, RegAccess::Read, opened, io, stores))
        return rc;
    std::vector<RegistryKey::Value> values;
    std::vector<std::string> subKeys;
    RegStatus status = opened.enumValues(values);
    if (status == RegStatus::Success && !options.valueName)
        status = opened.enumSubKeys(subKeys);
    if (status != RegStatus::Success)
        return io.fail(storeFailureMessage(status, stores.of(key.hive).path()));
    // Appended piece by piece: GCC 12 reports a false -Wrestrict for "\n" + std::string(...).
    std::string text = "\n";
    text.append(key.fullName()).append("\n");
    bool found = !options.valueName;
    for (const RegistryKey::Value& value : values) {
        if (options.valueName && !support::equalsNoCase(value.name, *options.valueName))
            continue;
        text += formatQueryLine(value.name, value.type, value.data) + "\n";
        found = true;
    }
    if (!found)
        return io.fail(storeFailureMessage(RegStatus::NotFound, stores.of(key.hive).path()));
    text += "\n";
    for (const std::string& name : subKeys)
        text += key.child(name).fullName() + "\n";
    io.out << text;
    return kExitSuccess;
}

int add(const RegKeyName& key, const RegOptions& options, const Streams& io, const RegCall& call)
{
    const platform::SettingsStores& stores = call.context.stores;
    RegistryKey::Change change;
    change.key = key.subKey;
    if (!options.valueName) {
        if (options.type || options.data)
            return io.fail("Invalid syntax: /t and /d need a value name, /v NAME or /ve.", kExitUsage);
        change.kind = RegistryKey::Change::Kind::CreateKey;
    } else {
        const auto type = parseAddType(options.type.value_or("REG_SZ"));
        if (!type)
            return io.fail(type.error());
        auto data = parseAddData(*type, options.data.value_or(""));
        if (!data)
            return io.fail(data.error());
        if (!isUtf8(*options.valueName))
            return io.fail("Invalid value name: the name is not UTF-8.");
        change.name = *options.valueName;
        change.type = *type;
        change.data = std::move(*data);
        // Without /f an existing value is kept, as the reg program keeps it unless told.
        if (!options.force) {
            RegistryKey existing;
            std::uint32_t size = 0;
            if (stores.of(key.hive).open(existing, key.subKey, RegAccess::Read) == RegStatus::Success
                && existing.queryValue(change.name, nullptr, nullptr, &size) == RegStatus::Success)
                return io.fail("The value \"" + change.name + "\" exists; add /f to overwrite it.");
        }
    }
    if (int rc = call.beforeChangeOf(key.hive, io))
        return rc;
    const RegStatus status = stores.of(key.hive).writeAll({ change });
    if (status != RegStatus::Success)
        return io.fail(storeFailureMessage(status, stores.of(key.hive).path()));
    io.out << kDone;
    return kExitSuccess;
}

int remove(const RegKeyName& key, const RegOptions& options, const Streams& io, const RegCall& call)
{
    const platform::SettingsStores& stores = call.context.stores;
    if (!options.valueName)
        return io.fail(
            "Invalid syntax: name the value to delete with /v NAME or /ve; whole keys are not deleted.", kExitUsage);
    if (!options.force)
        return io.fail("Add /f to delete the value \"" + *options.valueName + "\" without a question.", kExitUsage);
    if (int rc = call.beforeChangeOf(key.hive, io))
        return rc;
    RegistryKey opened;
    if (int rc = openKey(key, RegAccess::Write, opened, io, stores))
        return rc;
    const RegStatus status = opened.deleteValue(*options.valueName);
    if (status != RegStatus::Success)
        return io.fail(storeFailureMessage(status, stores.of(key.hive).path()));
    io.out << kDone;
    return kExitSuccess;
}

// A key and its subkeys, depth first, as the registry editor exports them. Each subkey is
// opened below its parent, so the walk costs one lookup per key however deep the tree.
RegStatus collect(const RegistryKey& opened, const RegKeyName& name, std::vector<RegFileKey>& keys)
{
    std::vector<RegistryKey::Value> values;
    std::vector<std::string> subKeys;
    RegStatus status = opened.enumValues(values);
    if (status == RegStatus::Success)
        status = opened.enumSubKeys(subKeys);
    if (status != RegStatus::Success)
        return status;
    RegFileKey section { name, {} };
    for (RegistryKey::Value& value : values)
        section.values.push_back({ std::move(value.name), false, value.type, std::move(value.data) });
    keys.push_back(std::move(section));
    for (const std::string& child : subKeys) {
        RegistryKey childKey;
        if ((status = childKey.open(opened, child, RegAccess::Read)) != RegStatus::Success)
            return status;
        if ((status = collect(childKey, name.child(child), keys)) != RegStatus::Success)
            return status;
    }
    return RegStatus::Success;
}

int exportKey(const RegKeyName& key, const RegOptions& options, const Streams& io, const RegCall& call)
{
    const platform::SettingsStores& stores = call.context.stores;
    const std::filesystem::path file = options.positional[1];
    std::error_code ec;
    if (!options.overwrite && std::filesystem::exists(file, ec))
        return io.fail("The file " + file.string() + " exists; add /y to overwrite it.");
    RegistryKey opened;
    if (int rc = openKey(key, RegAccess::Read, opened, io, stores))
        return rc;
    std::vector<RegFileKey> keys;
    if (const RegStatus status = collect(opened, key, keys); status != RegStatus::Success)
        return io.fail(storeFailureMessage(status, stores.of(key.hive).path()));
    const auto content = formatRegFile(keys);
    if (!content)
        return io.fail(content.error());
    const std::string_view text(reinterpret_cast<const char*>(content->data()), content->size());
    if (const auto written = support::writeFileAtomically(file, text); !written)
        return io.fail(written.error());
    io.out << kDone;
    return kExitSuccess;
}

int importFile(const RegOptions& options, const Streams& io, const RegCall& call)
{
    const platform::SettingsStores& stores = call.context.stores;
    const std::filesystem::path file = options.positional[0];
    const auto content = support::readWholeFile(file);
    if (!content)
        return io.fail(content.error());
    const auto keys = parseRegFile(Bytes(content->begin(), content->end()));
    if (!keys) {
        const std::string& why = keys.error().message;
        return io.fail(file.string() + (why.starts_with("line ") ? ", " : ": ") + why + ".");
    }

    // One batch per store, in the order the file names them; every store is checked (and
    // created when missing) before anything is written, and all of them are written in one
    // transaction, so a failure in either leaves both as they were.
    std::vector<RegistryKey::StoreChanges> batches;
    for (const RegFileKey& section : *keys) {
        auto batch = batches.begin();
        while (batch != batches.end() && batch->hive != section.key.hive)
            ++batch;
        if (batch == batches.end())
            batch = batches.insert(batches.end(), stores.of(section.key.hive).changes({}));
        auto& changes = batch->changes;
        changes.push_back({ RegistryKey::Change::Kind::CreateKey, section.key.subKey, {}, 0, {} });
        for (const RegFileValue& value : section.values) {
            const auto kind = value.remove ? RegistryKey::Change::Kind::Delete : RegistryKey::Change::Kind::Set;
            changes.push_back({ kind, section.key.subKey, value.name, value.type, value.data });
        }
    }
    const bool machine = std::any_of(keys->begin(), keys->end(), [](const RegFileKey& section) {
        return section.key.hive == platform::RegHive::LocalMachine;
    });
    if (machine) {
        if (int rc = call.beforeChange(io))
            return rc;
    }
    std::filesystem::path failed;
    if (const RegStatus status = RegistryKey::writeAll(batches, &failed); status != RegStatus::Success)
        return io.fail(storeFailureMessage(status, failed));
    io.out << kDone;
    return kExitSuccess;
}

// The forms read their own switches, /x or -x in any case, as the reg program does.
constexpr CommandForm kForms[] = {
    { "query",
        "KEY [/v NAME | /ve]",
        {},
        "Lists the values and subkeys of KEY, or the value NAME (/ve: the default value).",
        [](const FormCall& call) { return withSwitches(call, "v ve", 1, onKey<query>); },
        {},
        FormParsing::Own },
    { "add",
        "KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]",
        {},
        "Creates KEY, or stores a value in it (REG_SZ when /t is not given); an existing value is overwritten "
        "only with /f.",
        [](const FormCall& call) { return withSwitches(call, "v ve t d f", 1, onKey<add>); },
        {},
        FormParsing::Own },
    { "delete",
        "KEY /v NAME | /ve /f",
        {},
        "Deletes one value of KEY; whole keys are not deleted.",
        [](const FormCall& call) { return withSwitches(call, "v ve f", 1, onKey<remove>); },
        {},
        FormParsing::Own },
    { "export",
        "KEY FILE [/y]",
        {},
        "Writes KEY and its subkeys to FILE; an existing FILE is overwritten only with /y.",
        [](const FormCall& call) { return withSwitches(call, "y", 2, onKey<exportKey>); },
        {},
        FormParsing::Own },
    { "import",
        "FILE",
        {},
        "Stores the keys and values of FILE, all of them or none.",
        [](const FormCall& call) { return withSwitches(call, "", 1, importFile); },
        {},
        FormParsing::Own },
};

const CommandForm* regForm(std::string_view verb)
{
    for (const CommandForm& form : kForms) {
        if (support::equalsNoCase(verb, form.name))
            return &form;
    }
    return nullptr;
}

int runReg(const Subcommand& command, Arguments args, const Streams& io, const AdminContext& context)
{
    if (args.empty()) {
        printUsageLines(io.err, command);
        return kExitUsage;
    }
    if (args[0] == "/?") {
        printUsageLines(io.out, command);
        return kExitSuccess;
    }
    if (const CommandForm* form = regForm(args[0]))
        return form->run({ ParsedArguments {}, args.subspan(1), args[0], io, context });
    return io.fail("Unknown reg operation \"" + args[0] + "\": use query, add, delete, export or import.", kExitUsage);
}

} // namespace

const CommandFamily kRegFamily {
    "the settings stores as the reg program edits them: query, add, delete, export, import",
    kForms,
    "KEY: HKLM\\SUBKEY or HKCU\\SUBKEY (also HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER); the server key is "
    "HKLM\\SOFTWARE\\MORVANE\\Tavox Server. REG_DWORD data is decimal or 0x-hexadecimal; REG_BINARY data is "
    "hexadecimal digits. Files are in the \"Windows Registry Editor Version 5.00\" format.\n\n"
    "A change of the machine store is preceded by a snapshot of the configuration.",
    runReg,
};

} // namespace admin
