#include "RecordedCapture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>
#include <memory>

namespace kx::test {

QString encodeMask(const VerticalStitcher::RowMask& mask)
{
    if (mask.empty())
        return QStringLiteral("-");
    QStringList runs;
    for (std::size_t r = 0; r < mask.size();) {
        std::size_t n = 1;
        while (r + n < mask.size() && mask[r + n] == mask[r])
            ++n;
        runs << QStringLiteral("%1*%2").arg(int(mask[r])).arg(n);
        r += n;
    }
    return runs.join(QLatin1Char(','));
}

VerticalStitcher::RowMask decodeMask(const QString& text)
{
    VerticalStitcher::RowMask mask;
    if (text == QLatin1String("-"))
        return mask;
    for (const QString& run : text.split(QLatin1Char(','))) {
        const QStringList parts = run.split(QLatin1Char('*'));
        if (parts.size() == 2)
            mask.insert(mask.end(), std::size_t(parts[1].toInt()), char(parts[0].toInt()));
    }
    return mask;
}

bool writeCall(const QString& dir, const StitchCall& call, int index, std::map<QByteArray, QString>& written)
{
    QString png = QStringLiteral("%1.png").arg(index, 3, 10, QLatin1Char('0'));
    if (!call.frame.isNull()) {
        const QImage rgb = call.frame.convertToFormat(QImage::Format_RGB32);
        const QByteArray key = QCryptographicHash::hash(QByteArrayView(rgb.constBits(), rgb.sizeInBytes()),
                                                        QCryptographicHash::Sha1);
        if (auto it = written.find(key); it != written.end()) {
            png = it->second;
        } else {
            written[key] = png;
            const QImage kept = rgb.allGray() ? rgb.convertToFormat(QImage::Format_Grayscale8) : rgb;
            if (!kept.save(dir + QLatin1Char('/') + png))
                return false;
        }
    }
    QString line;
    using Kind = StitchCall::Kind;
    switch (call.kind) {
        case Kind::first:
            line = QStringLiteral("first %1 %2").arg(png, encodeMask(call.rows));
            break;
        case Kind::add:
            line = QStringLiteral("add %1 %2 %3").arg(png).arg(call.expectedDy).arg(encodeMask(call.rows));
            if (call.lookBack)
                line += QStringLiteral(" back");
            break;
        case Kind::maskAnimated:
            line = QStringLiteral("animated %1").arg(encodeMask(call.rows));
            break;
        case Kind::maskAnimationIn:
            line = QStringLiteral("animationIn %1").arg(png);
            break;
        case Kind::dropProvisional:
            line = QStringLiteral("drop");
            break;
    }
    QFile file(dir + QStringLiteral("/calls.txt"));
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return false;
    return file.write((line + QLatin1Char('\n')).toUtf8()) > 0 && file.flush();
}

std::vector<StitchCall> readCalls(const QString& dir)
{
    std::vector<StitchCall> calls;
    QFile file(dir + QStringLiteral("/calls.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    auto image = [&](const QString& name) {
        return QImage(dir + QLatin1Char('/') + name).convertToFormat(QImage::Format_RGB32);
    };
    using Kind = StitchCall::Kind;
    for (const QString& line :
         QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char(' '));
        StitchCall c;
        if (f[0] == QLatin1String("first") && f.size() == 3)
            c = {Kind::first, image(f[1]), 0, decodeMask(f[2])};
        else if (f[0] == QLatin1String("add") &&
                 (f.size() == 4 || (f.size() == 5 && f[4] == QLatin1String("back"))))
            c = {Kind::add, image(f[1]), f[2].toInt(), decodeMask(f[3]), f.size() == 5};
        else if (f[0] == QLatin1String("animated") && f.size() == 2)
            c = {Kind::maskAnimated, {}, 0, decodeMask(f[1])};
        else if (f[0] == QLatin1String("animationIn") && f.size() == 2)
            c = {Kind::maskAnimationIn, image(f[1]), 0, {}};
        else if (f[0] == QLatin1String("drop"))
            c = {Kind::dropProvisional, {}, 0, {}};
        else
            return {};
        if ((c.kind == Kind::first || c.kind == Kind::add || c.kind == Kind::maskAnimationIn) &&
            c.frame.isNull())
            return {};
        calls.push_back(std::move(c));
    }
    return calls;
}

Replay replay(const std::vector<StitchCall>& calls)
{
    Replay out;
    std::unique_ptr<VerticalStitcher> st;
    using Kind = StitchCall::Kind;
    for (const StitchCall& c : calls) {
        if (c.kind == Kind::first) {
            st = std::make_unique<VerticalStitcher>(c.frame, c.rows);
            continue;
        }
        if (!st)
            return {};
        switch (c.kind) {
            case Kind::add:
                st->setLookBack(c.lookBack);
                out.outcomes.push_back(st->add(c.frame, c.expectedDy, c.rows));
                break;
            case Kind::maskAnimated:
                st->maskAnimated(c.rows);
                break;
            case Kind::maskAnimationIn:
                st->maskAnimationIn(c.frame);
                break;
            case Kind::dropProvisional:
                st->dropProvisionalStep();
                break;
            case Kind::first:
                break;
        }
    }
    if (st)
        out.image = st->finish();
    return out;
}

std::vector<int> statusLines(const QImage& image)
{
    constexpr int kFrom = 2, kTo = 42, kDark = 30, kLine = 20;
    std::vector<int> starts;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    int last = -kLine - 1;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        int dark = 0;
        for (int x = kFrom; x < std::min(kTo, grey.width()); ++x)
            dark += row[x] < 100;
        if (dark <= kDark)
            continue;
        if (y - last > kLine)
            starts.push_back(y);
        last = y;
    }
    return starts;
}

}  // namespace kx::test
