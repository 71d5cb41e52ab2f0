// Benchmark of opening the Qt "Alarms & Historical Data" dialog, offscreen, on the standard
// nodeset used as the node configuration file, side by side with reading that file:
//  (a) the nodeset reader alone: loadNodeset + parseNodes with the utility's node factory,
//  (b) the dialog's tree alone, as in bench/XmlTreeBench,
//  (c) the dialog constructed (its tree built) and shown, with its first layout and paint,
// and the ratios (b)/(a) and (c)/(a) of the medians. Opening may take at most twice (a).

#include "../XmlTreeBenchRuns.h"
#include "nodeconfig/ui/CDlgXmlTree.h"
#include "uikit/MessageBoxes.h"

#include <QApplication>

#include <cstdlib>
#include <vector>

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
    // Offscreen unless the environment names a platform: an argument to the application, so that
    // the environment stays untouched.
    std::vector<char*> arguments(argv, argv + argc);
    char platformOption[] = "-platform";
    char offscreen[] = "offscreen";
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        arguments.push_back(platformOption);
        arguments.push_back(offscreen);
    }
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication application(count, arguments.data());
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
