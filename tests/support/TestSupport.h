#pragma once
// Helpers shared by the tests: private folders, waiting for conditions, image
// comparison with golden files, and running small desktop programs.

#include <QImage>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

namespace kx::test {

// Points HOME and the XDG folders at `root` (created as needed).
void isolateUserFolders(const QString& root);

// The environment for the real application kept inside `home`: its settings under
// home/config, its runtime folder home/runtime (created, mode 0700), its history under
// home/history, notices logged to stderr, the X11 platform.
QProcessEnvironment appEnvironment(const QString& home);

// Spins the event loop until `condition` holds or `timeoutMs` passes; true when it held.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// Sends `sig` to one child; refuses a pid that is not one (0 or -1 would signal the whole
// process group, the test and its X server with it). True when the signal was sent.
bool signalChild(qint64 pid, int sig);

// Folder for test artefacts (KX_ARTIFACT_DIR or a temp folder), created on demand.
QString artifactDir(const QString& sub = QString());

// The built Kaptorix program (KX_BINARY_DIR/app/kaptorix).
QString kaptorixProgram();

// Absolute path of a file in the source tree (KX_SOURCE_DIR).
QString sourcePath(const QString& relative);

// Writes a small PNG whose header says 20000 × 20000 (400 megapixels, one bit each, all 0).
bool writeOversizedPng(const QString& path);

// A PNG of one bit per pixel whose palette makes every pixel `colour` (the other entry white).
QByteArray monoPng(QSize size, QColor colour);

// Largest distance of any channel of any pixel from `colour` (compared unpremultiplied).
int maxDistanceFrom(const QImage& image, QColor colour);

// Opaque pixels of random colours, the same for the same seed.
QImage noiseImage(QSize size, unsigned seed);

// Every product source (*.h, *.cpp) outside tests, benches, builds and scripts, relative to
// the source tree.
QStringList productSources();

// Largest per-channel difference between two images of equal size; -1 when sizes differ.
int maxChannelDifference(const QImage& a, const QImage& b);

// Compares `actual` with the committed golden PNG. With KX_UPDATE_GOLDENS=1 the golden
// is (re)written and the check passes. On a mismatch the actual image is written beside
// the golden as <name>.actual.png and `why` says by how much.
bool matchesGolden(const QImage& actual, const QString& goldenPath, int tolerance, QString* why = nullptr,
                   double maxBadFraction = 0.0);

// Runs a program to completion; returns its exit code (-1 if it could not run).
int run(const QString& program, const QStringList& args, QByteArray* out = nullptr, int timeoutMs = 30000);

// True when DISPLAY is set and the X server answers (desktop tests skip otherwise).
bool haveDisplay();

// Kaptorix's tray icon window as `xwininfo -tree` lists it (absolute, at most 64 px wide);
// empty while it is not embedded.
QRect kaptorixTrayIcon();

}  // namespace kx::test
