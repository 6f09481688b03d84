#include "app/odds/OddsChart.h"
#include "app/odds/OddsWindow.h"
#include "app/session/Session.h"
#include "dice/Clock.h"
#include "dice/MixingGenerator.h"
#include "odds/Evening.h"
#include "odds/Odds.h"
#include "steps/StepTable.h"

#include <QDateTime>

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

// A full log's evening, as each roll recomputes it: 1000 rolls of fair dice,
// steps 1 to 40 in turn, at each karma level in turn. The bands say how
// flat the luck of fair dice comes out (100 each where it is).
void BM_Tonight1000(benchmark::State& state)
{
    MixingGenerator generator;
    SystemClock clock;
    Session session(generator, clock);
    for (int roll = 0; roll < 1000; ++roll) {
        const int level = roll % 5;
        if (level != session.karmaLevel()) {
            session.clickKarma(level == 0 ? kResetButton : level);
        }
        session.rollStep(kFirstStep + roll % kLastStep);
    }
    OddsCache odds;
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    std::vector<EveningGroup> evening;
    for (auto _ : state) {
        evening = tonight(session.log(), now, odds);
        benchmark::DoNotOptimize(evening.data());
    }
    if (!evening.empty()) {
        const std::array<int, 10>& bands = evening[0].bands;
        state.counters["rolls"] = evening[0].odds.rolls;
        state.counters["fewest_in_a_band"] = *std::min_element(bands.begin(), bands.end());
        state.counters["most_in_a_band"] = *std::max_element(bands.begin(), bands.end());
        state.counters["mean_luck_pct"] = evening[0].meanLuck * 100.0;
    }
}
BENCHMARK(BM_Tonight1000)->Unit(benchmark::kMillisecond);

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
