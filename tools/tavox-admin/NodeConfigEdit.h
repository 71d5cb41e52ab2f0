#pragma once

#include "AdminTool.h"
#include "CommandTable.h"

#include "nodeconfig/NodeConfigEditor.h"

#include <optional>
#include <string>
#include <string_view>

namespace admin {

/// `message` with the reader's first complaint about the file in brackets before its full stop,
/// when there was one.
std::string withLoadFailure(std::string message, const nodeconfig::NodeConfigEditor& editor);

/// The server's node configuration, loaded as the Node Config page loads it, for the commands
/// of the nodeconfig, alarms, history and logging families.
class LoadedConfiguration {
public:
    explicit LoadedConfiguration(const AdminContext& context);
    nodeconfig::NodeConfigEditor& editor() { return m_editor; }
    /// Nothing, or the failure reported on `io`, with the XML library's first complaint.
    std::optional<int> failure(const Streams& io) const;

private:
    nodeconfig::NodeConfigEditor m_editor;
    support::Result<void> m_loaded;
};

/// A form's run function on the loaded node configuration, `Run`, after a failure to load it
/// has been reported instead.
template <int (*Run)(const FormCall& call, LoadedConfiguration& loaded)> int onConfiguration(const FormCall& call)
{
    LoadedConfiguration loaded(call.context);
    if (const auto failed = loaded.failure(call.io))
        return *failed;
    return Run(call, loaded);
}

/// The end of every edit: nothing to do, or a snapshot, the page's apply and the restart note.
int finishEdit(LoadedConfiguration& loaded,
    const nodeconfig::EditResult& edited,
    std::string_view origin,
    std::string_view done,
    std::string_view unchanged,
    const Streams& io,
    const AdminContext& context);

} // namespace admin
