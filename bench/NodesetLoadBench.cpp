// Load benchmark of the nodeset reader on the standard nodeset:
//  (a) libxml2 alone reading the file with the reader's parse options,
//  (b) libxml2 reading plus visiting every element and attribute,
//  (c) the reader's loadNodeset + parseNodes into a node map,
// and the ratio (c)/(a) of the medians.
//
// `NodesetLoadBench --keep=document|nodes [FILE]` instead reads the file once, keeps what it read
// and prints the peak resident set size, for the memory comparison of the two cases.

#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/NodeMap.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uaxml/UaXmlDocument.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kStandardNodeset = std::string(TAVOX_NODESETS_DIR) + "/Opc.Ua.NodeSet2.xml";

// The options the document layer parses with: blanks dropped, no network, no entity substitution.
constexpr int kParseOptions = XML_PARSE_NOBLANKS | XML_PARSE_NONET;

/// Frees are outside the measurement, but the allocator merges freed blocks lazily, at the next
/// large allocation. Doing it here keeps the previous run's frees out of the next measurement.
void settleFreedMemory() { std::free(std::malloc(64 * 1024)); }

xmlDocPtr readWithLibxml2(const std::string& path) { return xmlReadFile(path.c_str(), nullptr, kParseOptions); }

std::size_t visitElement(const xmlNode* element)
{
    std::size_t touched = std::strlen(reinterpret_cast<const char*>(element->name));
    for (const xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        touched += std::strlen(reinterpret_cast<const char*>(attribute->name));
        for (const xmlNode* text = attribute->children; text != nullptr; text = text->next) {
            if (text->content != nullptr) {
                touched += std::strlen(reinterpret_cast<const char*>(text->content));
            }
        }
    }
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            touched += visitElement(child);
        } else if (child->content != nullptr) {
            touched += std::strlen(reinterpret_cast<const char*>(child->content));
        }
    }
    return touched;
}

void BM_Libxml2Read(benchmark::State& state)
{
    for (auto _ : state) {
        xmlDocPtr document = readWithLibxml2(kStandardNodeset);
        if (document == nullptr) {
            state.SkipWithError("the standard nodeset does not read");
            break;
        }
        state.PauseTiming();
        xmlFreeDoc(document);
        settleFreedMemory();
        state.ResumeTiming();
    }
}

void BM_Libxml2ReadAndVisit(benchmark::State& state)
{
    for (auto _ : state) {
        xmlDocPtr document = readWithLibxml2(kStandardNodeset);
        if (document == nullptr) {
            state.SkipWithError("the standard nodeset does not read");
            break;
        }
        benchmark::DoNotOptimize(visitElement(xmlDocGetRootElement(document)));
        state.PauseTiming();
        xmlFreeDoc(document);
        settleFreedMemory();
        state.ResumeTiming();
    }
}

/// The reader as the Node Config page uses it, with the page's node factory.
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

void BM_ReaderLoadAndParse(benchmark::State& state)
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

BENCHMARK(BM_Libxml2Read)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Libxml2ReadAndVisit)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ReaderLoadAndParse)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

/// Console output as usual, and the medians kept for the ratio.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    MedianCollector()
        : ConsoleReporter(OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") {
                m_medians[run.run_name.function_name] = { run.GetAdjustedRealTime(), run.GetAdjustedCPUTime() };
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    struct Median {
        double real = 0.0;
        double cpu = 0.0;
    };

    Median median(const std::string& name) const
    {
        auto found = m_medians.find(name);
        return found == m_medians.end() ? Median {} : found->second;
    }

private:
    std::map<std::string, Median> m_medians;
};

long peakResidentKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int keepAndReportMemory(const std::string& what, const std::string& path)
{
    if (what == "document") {
        xmlDocPtr document = readWithLibxml2(path);
        if (document == nullptr) {
            std::fprintf(stderr, "%s does not read\n", path.c_str());
            return 1;
        }
        std::printf("kept the libxml2 document: peak resident set %ld kB\n", peakResidentKilobytes());
        xmlFreeDoc(document);
        return 0;
    }
    if (what == "nodes") {
        auto run = std::make_unique<ReaderRun>();
        if (!run->read(path)) {
            std::fprintf(stderr, "%s does not read\n", path.c_str());
            return 1;
        }
        std::printf(
            "kept the document and %zu nodes: peak resident set %ld kB\n", run->nodes.size(), peakResidentKilobytes());
        return 0;
    }
    std::fprintf(stderr, "unknown --keep=%s (document or nodes)\n", what.c_str());
    return 2;
}

void printRatio(const char* label, MedianCollector::Median part, MedianCollector::Median base)
{
    if (base.real > 0.0 && base.cpu > 0.0) {
        std::printf("medians %s: real %.2f, cpu %.2f\n", label, part.real / base.real, part.cpu / base.cpu);
    }
}

} // namespace

int main(int argc, char** argv)
{
    UaXmlDocument::initXmlLibrary();
    if (argc >= 2 && std::strncmp(argv[1], "--keep=", 7) == 0) {
        return keepAndReportMemory(argv[1] + 7, argc >= 3 ? argv[2] : kStandardNodeset);
    }
    benchmark::Initialize(&argc, argv);
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printRatio("(b)/(a)", reporter.median("BM_Libxml2ReadAndVisit"), reporter.median("BM_Libxml2Read"));
    printRatio("(c)/(a)", reporter.median("BM_ReaderLoadAndParse"), reporter.median("BM_Libxml2Read"));
    UaXmlDocument::cleanupXmlLibrary();
    return 0;
}
