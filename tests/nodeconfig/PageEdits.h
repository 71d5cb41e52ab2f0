#pragma once

#include "nodeconfig/XmlTreeTesting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nodeconfig::testing {

/// What the administrator does in the Alarms & Historical Data dialog: the item chosen (under
/// the root of that name), the menu command and, for the alarm limit dialog, the limits typed.
struct DialogStep {
    const char* root; ///< "Objects", "Alarm" or "History"
    const char* idText;
    TreeCommand command;
    std::optional<AlarmLimits> typed;
};

/// The file the page writes after the dialog's steps, OK and the sheet's apply.
inline std::string writtenByThePage(const std::vector<DialogStep>& steps,
    std::optional<bool> startLogging = std::nullopt)
{
    LoadedPage page;
    if (!steps.empty()) {
        const bool rebuilt = page.config.ConfigureNodes([&](ConfigureRequest& request) {
            ScriptedTreeHost host;
            AlarmHistoryTree tree(request, host);
            tree.Initialise();
            for (const DialogStep& step : steps) {
                const std::string_view root = step.root;
                NodeTreeItem* under = root == "Objects" ? tree.objectsRoot()
                    : root == "Alarm"                   ? tree.alarmRoot()
                                                        : tree.historyRoot();
                if (step.typed)
                    host.answers.push_back(step.typed);
                tree.contextMenu(tree.FindTreeItem(under, step.idText));
                EXPECT_TRUE(tree.execute(step.command)) << step.idText;
            }
            tree.ApplyTreeChanges();
            return true;
        });
        EXPECT_TRUE(rebuilt);
    }
    if (startLogging)
        page.config.OnStartLogging(*startLogging);
    EXPECT_TRUE(page.config.CompletePendingWrite());
    return readFile(page.path());
}

} // namespace nodeconfig::testing
