#pragma once
// `--self-test` and `--render-demo`: checks of the stitcher, colour texts, file naming,
// palettes, upload embed codes and the upload queue, printed one line per check; and a demo
// image with one annotation of nearly every tool.
#include <QImage>
#include <QString>
#include <QtGlobal>

namespace kx {

class SelfTest {
public:
    // Prints the report to standard output; 0 when every check held, else 1.
    static int run();

    // The framed demo PNG at `path` (folder not created); 0 when written, else 1.
    static int renderDemo(const QString& path);

    // A deterministic page of dark tinted blocks laid out like lines of text.
    static QImage makePage(int width, int height);

    // Differing bytes of two images drawn in one pixel format; the largest qint64 when
    // their sizes differ.
    static qint64 differs(const QImage& a, const QImage& b);

    // Failed checks so far in this process.
    static int failures();

private:
    static void check(bool ok, const QString& text);
    static void stitcher();
    static void colors();
    static void naming();
    static void palettesAndEmbeds();
    static void uploadQueue();
};

}  // namespace kx
