// Benchmark of opening the Qt "Alarms & Historical Data" dialog, offscreen, on the standard
// nodeset used as the node configuration file, side by side with reading that file:
//  (a) the nodeset reader alone: loadNodeset + parseNodes with the utility's node factory,
//  (b) the dialog's tree alone, as in bench/XmlTreeBench,
//  (c) the dialog constructed (its tree built) and shown, with its first layout and paint,
// and the ratios (b)/(a) and (c)/(a) of the medians. Opening may take at most twice (a).

#include "../XmlTreeBenchRuns.h"
#include "nodeconfig/ui/CDlgXmlTree.h"
#include "testing/UiArguments.h"
#include "uikit/MessageBoxes.h"

#include <QApplication>

using namespace xmltreebench;

namespace {

/// Answers nothing: opening the dialog raises no prompt.
class NoMessageBoxes final : public MessageBoxes {
public:
    MbResult show(QWidget*, const QString&, const QString&, MbIcon, MbButtons) override { return MbResult::Cancel; }
};

void BM_DialogOpen(benchmark::State& state)
{
    LoadedPage& page = loadedPage();
    if (!page.config.isLoaded()) {
        state.SkipWithError("the page does not load the standard nodeset");
        return;
    }
    NoMessageBoxes boxes;
    for (auto _ : state) {
        state.PauseTiming();
        nodeconfig::ConfigureRequest request = page.request();
        state.ResumeTiming();
        auto dialog = std::make_unique<CDlgXmlTree>(request, boxes);
        dialog->show();
        QCoreApplication::processEvents();
        dialog->repaint();
        state.PauseTiming();
        dialog.reset();
        QCoreApplication::processEvents();
        settleFreedMemory();
        state.ResumeTiming();
    }
}

} // namespace

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
BENCHMARK(BM_DialogOpen)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    UiArguments arguments(argc, argv);
    QApplication application(arguments.count(), arguments.values());
    UaXmlDocument::initXmlLibrary();
    benchmark::Initialize(&argc, argv);
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printRatio("tree (b)/(a)", reporter.median("BM_TreeModel"), reporter.median("BM_ReaderLoad"));
    printRatio("dialog (c)/(a)", reporter.median("BM_DialogOpen"), reporter.median("BM_ReaderLoad"));
    UaXmlDocument::cleanupXmlLibrary();
    return 0;
}
