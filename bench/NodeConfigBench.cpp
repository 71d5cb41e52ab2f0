// Benchmark of the Node Config page's logic on the standard nodeset used as the node
// configuration file (a large tree, empty lists), side by side with what it is built on:
//  (a) the nodeset reader alone: loadNodeset + parseNodes with the utility's node factory,
//  (b) the page's load: ReloadNodeConfig (the reader, the lists from the settings block and
//      the "StartLogging" flag),
//  (c) libxml2 alone saving the loaded document to a file (xmlSaveFormatFile, indented),
//  (d) WriteNodeConfig: the saved document and the block composed in memory and written in
//      place of the file (temporary file, flush to disk, rename),
// and the ratios (b)/(a) and (d)/(c) of the medians. The files are written into a temporary
// folder beside the others of the system (TMPDIR).

#include "nodeconfig/NodeConfiguration.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/NodeMap.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uaxml/UaXmlDocument.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kStandardNodeset = std::string(TAVOX_NODESETS_DIR) + "/Opc.Ua.NodeSet2.xml";

/// Frees are kept out of the measurement; the allocator merges freed blocks at the next large
/// allocation, which is made here rather than in the next measured run.
void settleFreedMemory() { std::free(std::malloc(64 * 1024)); }

/// A host that answers nothing: the benchmark raises no prompt.
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

/// The page's logic over the standard nodeset.
struct PageRun {
    SilentHost host;
    nodeconfig::NodeConfiguration config { host };

    explicit PageRun(const std::string& path)
    {
        config.setPaths(nodeconfig::NodeConfigPaths { path, u"Opc.Ua.NodeSet2.xml", path + ".bak" });
    }
};

struct ReaderRun {
    CTavoxBaseNodeFactory factory;
    UaBase::UaNodesetXmlParser reader;
    UaBase::NodeMap nodes;

    bool read(const std::string& path)
    {
        reader.setNodeFactory(&factory);
        UaString errorText;
        return reader.loadNodeset(UaString(path.c_str()), errorText).isGood()
            && reader.parseNodes(nodes, errorText).isGood();
    }
};

/// A folder of the benchmark's own, removed at the end.
class Scratch {
public:
    Scratch()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavox-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        m_path = pattern;
    }
    ~Scratch() { std::filesystem::remove_all(m_path); }
    std::string file(const char* name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

Scratch& scratch()
{
    static Scratch folder;
    return folder;
}

void BM_ReaderLoad(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto run = std::make_unique<ReaderRun>();
        state.ResumeTiming();
        if (!run->read(kStandardNodeset)) {
            state.SkipWithError("the reader does not read the standard nodeset");
            break;
        }
        state.PauseTiming();
        run.reset();
        settleFreedMemory();
        state.ResumeTiming();
    }
}

void BM_PageLoad(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto run = std::make_unique<PageRun>(kStandardNodeset);
        state.ResumeTiming();
        run->config.ReloadNodeConfig();
        if (!run->config.isLoaded()) {
            state.SkipWithError("the page does not load the standard nodeset");
            break;
        }
        state.PauseTiming();
        run.reset();
        settleFreedMemory();
        state.ResumeTiming();
    }
}

void BM_Libxml2Save(benchmark::State& state)
{
    xmlDocPtr document = xmlReadFile(kStandardNodeset.c_str(), nullptr, XML_PARSE_NOBLANKS | XML_PARSE_NONET);
    const std::string target = scratch().file("libxml2.xml");
    for (auto _ : state) {
        if (xmlSaveFormatFile(target.c_str(), document, 1) < 0) {
            state.SkipWithError("libxml2 does not save the document");
            break;
        }
    }
    xmlFreeDoc(document);
}

void BM_WriteNodeConfig(benchmark::State& state)
{
    PageRun run(kStandardNodeset);
    run.config.ReloadNodeConfig();
    const std::string target = scratch().file("NodeConfig.xml");
    for (auto _ : state) {
        if (!run.config.WriteNodeConfig(target)) {
            state.SkipWithError("the page does not write the standard nodeset");
            break;
        }
    }
}

BENCHMARK(BM_ReaderLoad)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_PageLoad)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Libxml2Save)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteNodeConfig)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

/// Console output as usual, and the medians kept for the ratios.
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

void printRatio(const char* label, MedianCollector::Median part, MedianCollector::Median base)
{
    if (base.real > 0.0 && base.cpu > 0.0)
        std::printf("medians %s: real %.2f, cpu %.2f\n", label, part.real / base.real, part.cpu / base.cpu);
}

} // namespace

int main(int argc, char** argv)
{
    UaXmlDocument::initXmlLibrary();
    benchmark::Initialize(&argc, argv);
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printRatio("page load (b)/(a)", reporter.median("BM_PageLoad"), reporter.median("BM_ReaderLoad"));
    printRatio("write (d)/(c)", reporter.median("BM_WriteNodeConfig"), reporter.median("BM_Libxml2Save"));
    UaXmlDocument::cleanupXmlLibrary();
    return 0;
}
