// Shared main for the benchmarks: a QApplication exists (QImage text, fonts and
// QScreen need one), on the platform given by QT_QPA_PLATFORM; unless set, offscreen, or xcb
// for the benchmarks of windows on an X server (built with KX_BENCH_ON_X) where a display is
// set, as in scripts/desktop-session.sh.
#include <benchmark/benchmark.h>
#include <QApplication>

int main(int argc, char** argv)
{
#ifdef KX_BENCH_ON_X
    const bool onX = !qEnvironmentVariableIsEmpty("DISPLAY");
#else
    const bool onX = false;
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", onX ? "xcb" : "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
