#include "BareWindow.h"
#include "Paint.h"

#include "app/band/LineFitter.h"
#include "app/log/RollLogView.h"
#include "app/odds/StepOddsHook.h"
#include "app/session/Session.h"
#include "app/store/Database.h"
#include "app/store/Keeper.h"
#include "app/talents/TalentsView.h"
#include "app/window/DesignLayout.h"
#include "app/window/MainWindow.h"
#include "app/window/Twips.h"
#include "dice/Clock.h"
#include "dice/DiceEngine.h"
#include "dice/MixingGenerator.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace velmora::bench {
namespace {

// Hands a result to DoNotOptimize as a writable value: Benchmark 1.8
// deprecates the const& overload that a temporary would bind to.
template <class T>
void consume(T value)
{
    benchmark::DoNotOptimize(value);
}

void BM_Rand(benchmark::State& state)
{
    MixingGenerator generator(1);
    SystemClock clock;
    DiceEngine dice(generator, clock);
    for (auto _ : state) {
        consume(dice.rand(1, 20));
    }
}
BENCHMARK(BM_Rand);

void BM_Wuerfel(benchmark::State& state)
{
    MixingGenerator generator(1);
    SystemClock clock;
    DiceEngine dice(generator, clock);
    const std::int16_t sides = 20;
    for (auto _ : state) {
        consume(dice.wuerfel(sides));
    }
}
BENCHMARK(BM_Wuerfel);

// The fonts the first roll is timed in: the desktop's, and the worst that
// style sheets and bitmap fonts have brought.
QFont firstRollFont(std::int64_t which)
{
    QFont font = QApplication::font();
    switch (which) {
    case 1:
        font.setPointSizeF(40);
        break;
    case 2:
        font.setLetterSpacing(QFont::AbsoluteSpacing, 5);
        break;
    case 3:
        font.setPointSizeF(0.1);
        break;
    case 4:
        font = QFont(QStringLiteral("Terminus"), 9);
        break;
    default:
        break;
    }
    return font;
}

// What the first roll pays once per font: fitting the die column and a few
// other lines on painted pixels. Arguments: default, 40 pt, letter spacing
// 5 px, 0.1 pt, Terminus.
void BM_FirstRollLayout(benchmark::State& state)
{
    const QFont font = firstRollFont(state.range(0));
    for (auto _ : state) {
        LineFitter layout(font, twipsToPixels(kTranscriptBandTwips), 1.0);
        consume(layout.dieFit().inkRight);
        for (const char* line : {"Karma +10!", "Neuer Wurf!", "Die Summe lautet: 53"}) {
            consume(layout.fit(QString::fromUtf8(line)).inkRight);
        }
    }
}
BENCHMARK(BM_FirstRollLayout)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// Argument 1: with the roll log open beside the window, following every roll.
void BM_ClickStep40Karma4(benchmark::State& state)
{
    MixingGenerator generator;
    SystemClock clock;
    Session session(generator, clock);
    MainWindow window(session);
    window.show();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&window);
    auto* karma = window.findChild<QPushButton*>(QStringLiteral("karmabutton4"));
    auto* step = window.findChild<QPushButton*>(QStringLiteral("Command40"));
    QTest::mouseClick(karma, Qt::LeftButton);
    if (state.range(0) == 1) {
        window.showLog();
        [[maybe_unused]] const bool shown = QTest::qWaitForWindowExposed(static_cast<QWidget*>(window.logView()));
    }
    QWidget* view = window.findChild<QWidget*>(QStringLiteral("transcript"));
    for (auto _ : state) {
        PaintWatch watch(view);
        QTest::mouseClick(step, Qt::LeftButton);
        waitForPaint(watch);
    }
}
BENCHMARK(BM_ClickStep40Karma4)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A character's talents, as the talents dock opens on them; kept in memory.
void addTwentyTalents(Keeper& keeper)
{
    [[maybe_unused]] const Refusal made = keeper.changeTalents([](Roster& roster) {
        [[maybe_unused]] const Refusal character = roster.addCharacter("Arven");
        for (int step = 1; step <= 20; ++step) {
            [[maybe_unused]] const Refusal added = roster.addTalent(0, "Talent " + std::to_string(step), step * 2);
        }
        return Refusal();
    });
}

// Ctrl+T the first time: the view built and shown, until its table has
// painted. The talents were read after the first frame.
void BM_OpenTalentsView(benchmark::State& state)
{
    QTemporaryDir dir;
    MixingGenerator generator;
    SystemClock clock;
    Session session(generator, clock, {dir.filePath(QStringLiteral("velmora.sqlite")), {}, {}, {}});
    addTwentyTalents(session.keeper());
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TalentsView view(session);
        PaintWatch watch(view.findChild<QTableWidget*>()->viewport());
        view.show();
        view.open();
        waitForPaint(watch);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
    }
}
BENCHMARK(BM_OpenTalentsView)->UseManualTime()->Unit(benchmark::kMillisecond);

// Return on a talent (step 40, karma +10) in its dock until the band has painted.
void BM_RollTalent(benchmark::State& state)
{
    QTemporaryDir dir;
    MixingGenerator generator;
    SystemClock clock;
    Session session(generator, clock, {dir.filePath(QStringLiteral("velmora.sqlite")), {}, {}, {}});
    MainWindow window(session);
    window.show();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&window);
    session.clickKarma(4);
    addTwentyTalents(session.keeper());
    window.showTalents();
    auto* table = window.talentsView()->findChild<QTableWidget*>();
    table->selectRow(19);
    QWidget* view = window.findChild<QWidget*>(QStringLiteral("transcript"));
    for (auto _ : state) {
        PaintWatch watch(view);
        QTest::keyClick(table, Qt::Key_Return);
        waitForPaint(watch);
    }
}
BENCHMARK(BM_RollTalent)->Unit(benchmark::kMicrosecond);

// The handler alone, without the click's event delivery or the repaint.
void BM_RollStep40Karma4(benchmark::State& state)
{
    MixingGenerator generator;
    SystemClock clock;
    Session session(generator, clock);
    MainWindow window(session);
    session.clickKarma(4);
    for (auto _ : state) {
        session.rollStep(40);
    }
}
BENCHMARK(BM_RollStep40Karma4)->Unit(benchmark::kMicrosecond);

enum class Kind { Bare, Main };

// Constructs the window and returns it once it has painted for the first time.
std::unique_ptr<QWidget> showPainted(Kind kind, RandomSource& source, Clock& clock)
{
    std::unique_ptr<QWidget> window;
    if (kind == Kind::Main) {
        // The session goes with the window, after its views.
        auto* session = new Session(source, clock);
        window = std::make_unique<MainWindow>(*session);
        session->setParent(window.get());
    } else {
        window = std::make_unique<BareWindow>();
    }
    PaintWatch watch(window.get());
    window->show();
    waitForPaint(watch);
    return window;
}

double showToFirstPaint(Kind kind, RandomSource& source, Clock& clock)
{
    const auto start = std::chrono::steady_clock::now();
    auto window = showPainted(kind, source, clock);
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    window.reset();
    QApplication::processEvents();
    return elapsed.count();
}

// Both windows in turns, so that a busy machine weighs on both alike.
void BM_ShowSideBySide(benchmark::State& state)
{
    MixingGenerator generator(1);
    SystemClock clock;
    std::vector<double> bare;
    std::vector<double> main;
    for (auto _ : state) {
        bare.push_back(showToFirstPaint(Kind::Bare, generator, clock));
        main.push_back(showToFirstPaint(Kind::Main, generator, clock));
    }
    const auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    const double bareMedian = median(bare);
    const double mainMedian = median(main);
    state.counters["bare_us"] = bareMedian;
    state.counters["main_us"] = mainMedian;
    state.counters["ratio"] = mainMedian / bareMedian;
}
BENCHMARK(BM_ShowSideBySide)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

long kibibytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::string(field).size()));
        }
    }
    return -1;
}

void clickRandomly(MainWindow& window, int clicks, std::uint32_t& seed)
{
    for (int i = 0; i < clicks; ++i) {
        seed = seed * 1664525U + 1013904223U;
        const int button = static_cast<int>((seed >> 8) % 45U) + 1;
        const QString name =
            button <= 40 ? QStringLiteral("Command%1").arg(button) : QStringLiteral("karmabutton%1").arg(button - 40);
        QTest::mouseClick(window.findChild<QPushButton*>(name), Qt::LeftButton);
        if (i % 64 == 0) {
            QApplication::processEvents();
        }
    }
}

// Separate modes, one per process, so that peak memory is the window's own.
int measureMemory(const std::string& mode)
{
    MixingGenerator generator(7);
    SystemClock clock;
    if (mode == "bare" || mode == "main") {
        const auto window = showPainted(mode == "main" ? Kind::Main : Kind::Bare, generator, clock);
        if (auto* main = dynamic_cast<MainWindow*>(window.get())) {
            std::uint32_t seed = 1;
            clickRandomly(*main, 1000, seed);
            QApplication::processEvents();
        }
        std::printf("%s peak_kib=%ld\n", mode.c_str(), kibibytes("VmHWM:"));
        return 0;
    }
    if (mode == "soak") {
        Session session(generator, clock);
        MainWindow window(session);
        window.show();
        QApplication::processEvents();
        std::uint32_t seed = 1;
        clickRandomly(window, 1000, seed);
        QApplication::processEvents();
        const long after1000 = kibibytes("VmRSS:");
        clickRandomly(window, 99000, seed);
        QApplication::processEvents();
        const long after100000 = kibibytes("VmRSS:");
        std::printf("soak rss_after_1000_kib=%ld rss_after_100000_kib=%ld growth_kib=%ld\n", after1000, after100000,
            after100000 - after1000);
        return 0;
    }
    if (mode == "steps" || mode == "steps-log") {
        // Every step in turn at karma +10, as a long evening's play: what the
        // first roll holds against what 20,000 rolls hold.
        const auto window = showPainted(Kind::Main, generator, clock);
        const auto click = [&window](const QString& name) {
            QTest::mouseClick(window->findChild<QPushButton*>(name), Qt::LeftButton);
        };
        click(QStringLiteral("karmabutton4"));
        if (mode == "steps-log") {
            static_cast<MainWindow*>(window.get())->showLog();
        }
        click(QStringLiteral("Command1"));
        QApplication::processEvents();
        const long first = kibibytes("VmRSS:");
        for (int i = 1; i < 20000; ++i) {
            click(QStringLiteral("Command%1").arg(i % 40 + 1));
            if (i % 64 == 0) {
                QApplication::processEvents();
            }
        }
        QApplication::processEvents();
        const long after = kibibytes("VmRSS:");
        std::printf("%s rss_after_first_roll_kib=%ld rss_after_20000_kib=%ld ratio=%.3f\n", mode.c_str(), first, after,
            static_cast<double>(after) / static_cast<double>(first));
        return 0;
    }
    if (mode == "odds") {
        // What the odds window costs: at its first opening, and over every
        // step and karma level shown in it afterwards.
        const auto window = showPainted(Kind::Main, generator, clock);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command40")), Qt::LeftButton);
        QApplication::processEvents();
        const long before = kibibytes("VmRSS:");
        auto* odds = window->findChild<StepOddsHook*>();
        odds->openOdds(40);
        QApplication::processEvents();
        const long opened = kibibytes("VmRSS:");
        for (int round = 0; round < 5; ++round) {
            QTest::mouseClick(
                window->findChild<QPushButton*>(QStringLiteral("karmabutton%1").arg(round + 1)), Qt::LeftButton);
            for (int step = 1; step <= 40; ++step) {
                odds->openOdds(step);
                QApplication::processEvents();
            }
        }
        const long after = kibibytes("VmRSS:");
        std::printf("odds rss_before_kib=%ld rss_opened_kib=%ld rss_after_200_shown_kib=%ld\n", before, opened, after);
        return 0;
    }
    std::fprintf(stderr, "unknown memory mode '%s'\n", mode.c_str());
    return 2;
}

} // namespace
} // namespace velmora::bench

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    velmora::Store::makeWith(&velmora::Database::makeHere);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--memory=", 0) == 0) {
            return velmora::bench::measureMemory(arg.substr(9));
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
