// The settings window: first show (cold), show again after closing (warm) and every tab
// switch, each measured up to the first painted frame of the window.
#include "core/Prefs.h"
#include "platform/Keychain.h"
#include "settings/SettingsTab.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>

namespace kx {
namespace {

class NoKeyring : public SecretStore {
public:
    std::optional<QString> get(const QString&) override { return std::nullopt; }
    bool set(const QString&, const QString&) override { return true; }
};

// Counts paint events of the window and of everything inside it.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

PaintCounter& setUp()
{
    static NoKeyring keyring;
    static PaintCounter* counter = [] {
        auto* c = new PaintCounter;
        qApp->installEventFilter(c);
        return c;
    }();
    Keychain::setStore(&keyring);
    Prefs::registerDefaults();
    return *counter;
}

// Spins the event loop until something inside `w` was painted.
void untilPainted(QWidget* w, PaintCounter& counter)
{
    counter.paints = 0;
    QElapsedTimer t;
    t.start();
    while (counter.paints == 0 && t.elapsed() < 2000) {
        QApplication::processEvents();
        if (counter.paints == 0)
            w->repaint();  // the offscreen platform exposes without painting on its own
    }
}

void BM_ShowCold(benchmark::State& state)
{
    PaintCounter& counter = setUp();
    for (auto _ : state) {
        SettingsWindowController::shared().show(0);
        untilPainted(SettingsWindowController::shared().window(), counter);
    }
}
BENCHMARK(BM_ShowCold)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ShowWarm(benchmark::State& state)
{
    PaintCounter& counter = setUp();
    SettingsWindowController::shared().show(0);
    QWidget* w = SettingsWindowController::shared().window();
    untilPainted(w, counter);
    for (auto _ : state) {
        state.PauseTiming();
        w->close();
        QApplication::processEvents();
        state.ResumeTiming();
        SettingsWindowController::shared().show();
        untilPainted(w, counter);
    }
}
BENCHMARK(BM_ShowWarm)->Unit(benchmark::kMillisecond);

void BM_SwitchTab(benchmark::State& state)
{
    PaintCounter& counter = setUp();
    SettingsWindowController::shared().show(0);
    QWidget* w = SettingsWindowController::shared().window();
    untilPainted(w, counter);
    const auto target = SettingsTabs::all[size_t(state.range(0))];
    for (auto _ : state) {
        state.PauseTiming();
        SettingsNav::shared().setTab(target == SettingsTab::general ? SettingsTab::ai : SettingsTab::general);
        untilPainted(w, counter);
        state.ResumeTiming();
        SettingsNav::shared().setTab(target);
        untilPainted(w, counter);
    }
    state.SetLabel(SettingsTabs::title(target).toStdString());
}
BENCHMARK(BM_SwitchTab)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kx
