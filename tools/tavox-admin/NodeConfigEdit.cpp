#include "NodeConfigEdit.h"

#include "ConfigurationChange.h"

#include "nodeconfig/NodeConfigPaths.h"
#include "platform/SettingsStore.h"

#include <ostream>

namespace admin {

std::string withLoadFailure(std::string message, const nodeconfig::NodeConfigEditor& editor)
{
    const std::string& complaint = editor.configuration().reader().loadFailure();
    if (complaint.empty())
        return message;
    const bool stop = !message.empty() && message.back() == '.';
    if (stop)
        message.pop_back();
    message += " (";
    message += complaint;
    message += stop ? ")." : ")";
    return message;
}

LoadedConfiguration::LoadedConfiguration(const AdminContext& context)
    : m_editor(nodeconfig::nodeConfigPathsFromSettings(context.stores.machine))
    , m_loaded(m_editor.Load())
{
}

std::optional<int> LoadedConfiguration::failure(const Streams& io) const
{
    if (m_loaded)
        return std::nullopt;
    return io.fail(withLoadFailure(m_loaded.error().message, m_editor));
}

int finishEdit(LoadedConfiguration& loaded,
    const nodeconfig::EditResult& edited,
    std::string_view origin,
    std::string_view done,
    std::string_view unchanged,
    const Streams& io,
    const AdminContext& context)
{
    if (!edited)
        return io.fail(edited.error().message);
    if (*edited == nodeconfig::EditEffect::Unchanged) {
        io.out << unchanged << " Nothing was changed.\n";
        return kExitSuccess;
    }
    if (const int code = snapshotBeforeChange(context, io, origin); code != kExitSuccess)
        return code;
    if (const auto written = loaded.editor().Write(); !written)
        return io.fail(written.error().message);
    return reportChange(io, done);
}

} // namespace admin
