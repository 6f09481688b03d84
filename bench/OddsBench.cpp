#include "app/odds/OddsChart.h"
#include "app/odds/OddsWindow.h"
#include "odds/Odds.h"
#include "steps/StepTable.h"

#include <QApplication>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <chrono>

namespace velmora::bench {
namespace {

// All 200 distributions, 40 steps at five karma levels, from an empty cache.
void BM_AllOdds(benchmark::State& state)
{
    for (auto _ : state) {
        OddsCache cache;
        for (int step = kFirstStep; step <= kLastStep; ++step) {
            for (int level = kNoKarma; level <= kHighestKarmaLevel; ++level) {
                benchmark::DoNotOptimize(cache.odds(step, level).mean());
            }
        }
    }
}
BENCHMARK(BM_AllOdds)->Unit(benchmark::kMillisecond);

class ChartPainted : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

// What the context menu's entry costs the first time: step 40's five
// distributions, the window built and shown, until its chart has painted.
void BM_OpenOddsWindow(benchmark::State& state)
{
    for (auto _ : state) {
        OddsCache cache;
        ChartPainted watch;
        const auto start = std::chrono::steady_clock::now();
        OddsWindow window(nullptr, cache);
        window.chart()->installEventFilter(&watch);
        window.setChosenKarma(4);
        window.showStep(40);
        window.show();
        while (!watch.painted) {
            QApplication::processEvents(QEventLoop::AllEvents);
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
    }
}
BENCHMARK(BM_OpenOddsWindow)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velmora::bench
