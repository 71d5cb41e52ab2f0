#pragma once

#include "config/UserMessage.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

namespace nodeconfig {

struct AlarmHistoryEntry;

/// A file dialog of the page: an open dialog takes only existing files, a save dialog asks
/// before it names an existing file.
struct FileChoice {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    std::string_view title;
    std::string_view filterName; ///< "XML File (*.xml)"
    std::string_view filterPattern; ///< "*.xml"
    std::string_view defaultSuffix; ///< "xml", added to a name typed without one
    std::filesystem::path initialDirectory;
};

/// What the node configuration logic needs of the page that shows it: its prompts, its
/// modified mark (which enables the sheet's Apply) and its two lists.
class NodeConfigHost {
public:
    virtual ~NodeConfigHost() = default;
    /// A message box, owned by the page or without an owner window.
    virtual void tell(const UserMessage& message, bool ownedByPage) = 0;
    /// A Yes/No question with the question icon, owned by the page; true for Yes.
    virtual bool ask(std::string_view text, std::string_view caption) = 0;
    /// The chosen file; empty when the dialog was cancelled.
    virtual std::optional<std::filesystem::path> chooseFile(const FileChoice& choice) = 0;
    virtual void setPageModified(bool modified) = 0;
    /// The attribute list and then the entry list were emptied.
    virtual void listsCleared() {}
    /// An entry was appended as row `row` (0-based) of the entry list.
    virtual void rowAppended(const AlarmHistoryEntry& entry, std::size_t row)
    {
        (void)entry;
        (void)row;
    }
};

} // namespace nodeconfig
