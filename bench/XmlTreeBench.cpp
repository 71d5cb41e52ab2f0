// Benchmark of opening the Alarms & Historical Data dialog on the standard nodeset used as the
// node configuration file (5,476 nodes), side by side with reading that file:
//  (a) the nodeset reader alone: loadNodeset + parseNodes with the utility's node factory,
//  (b) the dialog's tree: ResetTree, BuildNodeTree and MarkConfiguredNodes over the page's
//      loaded nodes and entries, as the dialog builds it when it opens,
// and the ratio (b)/(a) of the medians. Opening may take at most twice (a); the Qt dialog itself
// is measured the same way by bench/ui/XmlTreeDialogBench.

#include "XmlTreeBenchRuns.h"

using namespace xmltreebench;

BENCHMARK(BM_ReaderLoad)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_TreeModel)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    UaXmlDocument::initXmlLibrary();
    benchmark::Initialize(&argc, argv);
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printRatio("tree (b)/(a)", reporter.median("BM_TreeModel"), reporter.median("BM_ReaderLoad"));
    UaXmlDocument::cleanupXmlLibrary();
    return 0;
}
