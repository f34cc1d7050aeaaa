#pragma once
// The EditorHost program (KX_EDITOR_HOST) driven from a desktop test, and the pictures it opens.
#include "TestSupport.h"

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

namespace kx::test {

// A plain picture of `size` at 72 dpi times `scale`, written into `dir`; empty on failure.
inline QString writePicture(const QTemporaryDir& dir, QSize size, double scale, QImage* image = nullptr,
                            const QString& name = QStringLiteral("picture.png"))
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(QColor(225, 235, 245));
    img.setDotsPerMeterX(int(2834.6 * scale + 0.5));
    img.setDotsPerMeterY(int(2834.6 * scale + 0.5));
    if (image)
        *image = img;
    const QString path = dir.filePath(name);
    return img.save(path) ? path : QString();
}

// Starts the EditorHost program (KX_EDITOR_HOST), asks it questions on its stdin and reads
// the answers; stops it by its PID.
struct EditorHostClient {
    QProcess process;
    QString out;

    explicit EditorHostClient(const QStringList& args,
                              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(env);
        // Its warnings belong in the test's log.
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(KX_EDITOR_HOST), args);
    }
    ~EditorHostClient()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    // Waits for a whole line starting with `prefix`; the line without the prefix in `rest`.
    bool waitLine(const QString& prefix, QString* rest = nullptr)
    {
        return waitFor(
            [&] {
                out += QString::fromUtf8(process.readAllStandardOutput());
                qsizetype start = 0;
                for (qsizetype end; (end = out.indexOf(QLatin1Char('\n'), start)) >= 0; start = end + 1) {
                    if (!out.mid(start, end - start).startsWith(prefix))
                        continue;
                    if (rest)
                        *rest = out.mid(start + prefix.size(), end - start - prefix.size());
                    out.remove(0, end + 1);
                    return true;
                }
                return false;
            },
            20000);
    }
    QString ask(const QString& question, const QString& prefix)
    {
        process.write((question + QLatin1Char('\n')).toUtf8());
        QString rest;
        waitLine(prefix, &rest);
        return rest;
    }
    QRect where(const QString& name)
    {
        const QStringList v =
            ask(QStringLiteral("where ") + name, QStringLiteral("where ")).split(QLatin1Char(' '));
        return v.size() == 4 ? QRect(v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt()) : QRect();
    }
    // Backdrop on, padding, background, undo steps, image width and height, tool number, objects.
    QStringList doc() { return ask(QStringLiteral("doc"), QStringLiteral("doc ")).split(QLatin1Char(' ')); }
};

}  // namespace kx::test
