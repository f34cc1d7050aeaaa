// Help figures: one keystroke's search (all fifteen topics built and matched) and a help
// window from creation to its first painted frame.
#include "core/Localisation.h"
#include "help/HelpNav.h"
#include "help/HelpView.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QVBoxLayout>

using namespace kx;

static void BM_SearchKeystroke(benchmark::State& state)
{
    Lang::overrideForTests(state.range(0) == 0 ? "en" : "hu");
    const QStringList queries = {"c", "cr", "cro", "crop", "ctrl+alt+1", "szinpaletta", "zzqq"};
    int i = 0;
    for (auto _ : state) {
        const QList<HelpTopic> shown = HelpView::shownTopics(queries[i++ % queries.size()]);
        benchmark::DoNotOptimize(shown.size());
    }
    Lang::overrideForTests("en");
}
BENCHMARK(BM_SearchKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_BuildAllTopics(benchmark::State& state)
{
    for (auto _ : state) {
        const QList<HelpTopic> all = HelpContent::allTopics();
        benchmark::DoNotOptimize(all.size());
    }
}
BENCHMARK(BM_BuildAllTopics)->Unit(benchmark::kMillisecond);

// A new window each time (the real one is made once per process): create, show, paint.
static void BM_FirstShowToPainted(benchmark::State& state)
{
    HelpNav::shared().setTopic(state.range(0) == 0 ? "start" : "editor");
    for (auto _ : state) {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new HelpView(HelpNav::shared(), &window));
        window.resize(940, 680);
        window.show();
        const QPixmap painted = window.grab();
        benchmark::DoNotOptimize(painted.cacheKey());
        state.PauseTiming();
        window.close();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstShowToPainted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
