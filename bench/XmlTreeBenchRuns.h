#pragma once

// What the Alarms & Historical Data benchmarks share: the standard nodeset used as the node
// configuration file, the reader's read of it, the page loaded from it as "Configure" finds it,
// the dialog's tree built over that page, and the ratios of the medians.

#include "nodeconfig/AlarmHistoryTree.h"
#include "nodeconfig/NodeConfiguration.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/NodeMap.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uaxml/UaXmlDocument.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace xmltreebench {

inline const std::string kStandardNodeset = std::string(TAVOX_NODESETS_DIR) + "/Opc.Ua.NodeSet2.xml";

inline void settleFreedMemory() { std::free(std::malloc(64 * 1024)); }

class SilentHost final : public nodeconfig::NodeConfigHost {
public:
    void tell(const UserMessage& message, bool) override
    {
        std::fprintf(stderr, "unexpected message: %.*s\n", static_cast<int>(message.text.size()), message.text.data());
    }
    bool ask(std::string_view, std::string_view) override { return false; }
    std::optional<std::filesystem::path> chooseFile(const nodeconfig::FileChoice&) override { return std::nullopt; }
    void setPageModified(bool) override {}
};

/// The tree's host: the lists and prompts of a dialog that is not shown.
class SilentTreeHost final : public nodeconfig::XmlTreeHost {
public:
    void tellFailure(std::string_view) override {}
    bool editAlarmLimits(nodeconfig::AlarmDataType, nodeconfig::AlarmLimits&) override { return false; }
    void showAttributes(const std::vector<nodeconfig::AttributeRow>&,
        const std::vector<nodeconfig::AttributeRow>&) override
    {
    }
    void enableConditionList(bool) override {}
};

/// The page's logic with the standard nodeset loaded, as "Configure" finds it.
struct LoadedPage {
    SilentHost host;
    nodeconfig::NodeConfiguration config { host };

    LoadedPage()
    {
        config.setPaths(
            nodeconfig::NodeConfigPaths { kStandardNodeset, u"Opc.Ua.NodeSet2.xml", kStandardNodeset + ".bak" });
        config.ReloadNodeConfig();
    }
    nodeconfig::ConfigureRequest request()
    {
        return { *config.document(), config.nodes(), config.entryPointers(), config.reader() };
    }
};

inline LoadedPage& loadedPage()
{
    static LoadedPage page;
    return page;
}

inline void BM_ReaderLoad(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto factory = std::make_unique<CTavoxBaseNodeFactory>();
        auto reader = std::make_unique<UaBase::UaNodesetXmlParser>();
        auto nodes = std::make_unique<UaBase::NodeMap>();
        reader->setNodeFactory(factory.get());
        state.ResumeTiming();
        UaString errorText;
        if (!reader->loadNodeset(UaString(kStandardNodeset.c_str()), errorText).isGood()
            || !reader->parseNodes(*nodes, errorText).isGood()) {
            state.SkipWithError("the reader does not read the standard nodeset");
            break;
        }
        state.PauseTiming();
        nodes.reset();
        reader.reset();
        settleFreedMemory();
        state.ResumeTiming();
    }
}

inline std::size_t itemsBelow(const nodeconfig::NodeTreeItem& item)
{
    std::size_t count = item.childCount();
    for (std::size_t row = 0; row < item.childCount(); ++row)
        count += itemsBelow(*item.child(row));
    return count;
}

inline void BM_TreeModel(benchmark::State& state)
{
    LoadedPage& page = loadedPage();
    if (!page.config.isLoaded()) {
        state.SkipWithError("the page does not load the standard nodeset");
        return;
    }
    SilentTreeHost host;
    std::size_t shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        nodeconfig::ConfigureRequest request = page.request();
        auto tree = std::make_unique<nodeconfig::AlarmHistoryTree>(request, host);
        state.ResumeTiming();
        tree->Initialise();
        state.PauseTiming();
        shown = itemsBelow(*tree->objectsRoot());
        tree.reset();
        settleFreedMemory();
        state.ResumeTiming();
    }
    state.counters["items"] = static_cast<double>(shown);
}

class MedianCollector : public benchmark::ConsoleReporter {
public:
    MedianCollector()
        : ConsoleReporter(OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median")
                m_medians[run.run_name.function_name] = { run.GetAdjustedRealTime(), run.GetAdjustedCPUTime() };
        }
        ConsoleReporter::ReportRuns(runs);
    }

    struct Median {
        double real = 0.0;
        double cpu = 0.0;
    };

    Median median(const std::string& name) const
    {
        const auto found = m_medians.find(name);
        return found == m_medians.end() ? Median {} : found->second;
    }

private:
    std::map<std::string, Median> m_medians;
};

inline void printRatio(const char* label, MedianCollector::Median part, MedianCollector::Median base)
{
    if (part.real > 0.0 && base.real > 0.0 && base.cpu > 0.0)
        std::printf("medians %s: real %.2f, cpu %.2f\n", label, part.real / base.real, part.cpu / base.cpu);
}

} // namespace xmltreebench
