// Opened again and again at scale 2 under a title bar taller than the one assumed, the editor
// ends with its whole frame on the work area, centred, every time. What is checked is what the
// X server and the window manager say (xwininfo, _NET_FRAME_EXTENTS, _NET_WORKAREA), not what
// Qt believes.
#include "EditorHostClient.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <optional>

using namespace kx;

namespace {

QString xOutput(const QStringList& args, const QString& program = QStringLiteral("xprop"))
{
    QByteArray out;
    test::run(program, args, &out);
    return QString::fromUtf8(out);
}

QList<int> numbersAfterEquals(const QString& line)
{
    QList<int> v;
    for (const QString& s : line.section(QLatin1Char('='), 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
        v << s.trimmed().toInt();
    return v;
}

std::optional<QRect> workArea()
{
    const QList<int> v = numbersAfterEquals(xOutput({"-root", "_NET_WORKAREA"}));
    if (v.size() < 4)
        return std::nullopt;
    return QRect(v[0], v[1], v[2], v[3]);
}

// The client window as the X server has it, in root pixels.
std::optional<QRect> clientOnRoot(WId id)
{
    const QString info = xOutput({"-id", QString::number(id)}, QStringLiteral("xwininfo"));
    const auto field = [&](const char* name) -> std::optional<int> {
        const QRegularExpression re(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(name)));
        const QRegularExpressionMatch m = re.match(info);
        return m.hasMatch() ? std::optional<int>(m.captured(1).toInt()) : std::nullopt;
    };
    const auto x = field("Absolute upper-left X"), y = field("Absolute upper-left Y");
    const auto w = field("Width"), h = field("Height");
    if (!x || !y || !w || !h)
        return std::nullopt;
    return QRect(*x, *y, *w, *h);
}

// The frame the window manager drew around the client: left, right, top, bottom.
std::optional<QMargins> extents(WId id)
{
    const QList<int> v = numbersAfterEquals(xOutput({"-id", QString::number(id), "_NET_FRAME_EXTENTS"}));
    if (v.size() != 4)
        return std::nullopt;
    return QMargins(v[0], v[2], v[1], v[3]);
}

QString text(const QRect& r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

TEST(EditorOpenings, EveryOpeningEndsWholeAndCentredOnTheWorkArea)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X display";
    const std::optional<QRect> area = workArea();
    ASSERT_TRUE(area);
    QTemporaryDir dir;
    // Each opening is a program of its own, as a file handed to Kaptorix from outside: none
    // knows the frame before the window manager tells it. Large pictures fill the area, small
    // ones are centred on it.
    const struct {
        int width, height;
        double scale;
    } pictures[] = {{3000, 2000, 1}, {120, 80, 2}, {900, 500, 2}, {2400, 300, 1}};
    QStringList paths;
    for (const auto& p : pictures)
        paths << test::writePicture(dir, {p.width, p.height}, p.scale, nullptr,
                                    QStringLiteral("%1x%2.png").arg(p.width).arg(p.height));
    QStringList wrong;
    for (int i = 0; i < 12; ++i) {
        test::EditorHostClient host({paths[i % paths.size()]});
        ASSERT_TRUE(host.waitLine(QStringLiteral("ready"))) << "opening " << i;
        bool ok = false;
        const WId id = host.ask(QStringLiteral("winid"), QStringLiteral("winid ")).toULongLong(&ok);
        ASSERT_TRUE(ok && id) << "opening " << i;
        QRect outer;
        const bool placed = test::waitFor(
            [&] {
                const std::optional<QMargins> frame = extents(id);
                const std::optional<QRect> client = clientOnRoot(id);
                // Framed: the client is no longer at the root's top-left by itself.
                if (!frame || !client || frame->top() == 0)
                    return false;
                outer = client->marginsAdded(*frame);
                // Centred, within the rounding of a frame told in pixels into points.
                const QPoint off = outer.center() - area->center();
                const bool centred = (std::abs(off.x()) <= 3 || outer.width() >= area->width() - 3) &&
                                     (std::abs(off.y()) <= 3 || outer.height() >= area->height() - 3);
                return area->contains(outer) && centred;
            },
            8000);
        if (!placed)
            wrong << QStringLiteral("opening %1: frame %2 on %3").arg(i).arg(text(outer), text(*area));
    }
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QLatin1Char('\n')).toStdString();
}
