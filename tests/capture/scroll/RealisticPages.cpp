#include "RealisticPages.h"

#include "SyntheticPage.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kx::test {

namespace {

const QColor kButton(230, 90, 40);
const QColor kBox(40, 150, 90);

// 3 x 5 pixel digits, one row of three bits per line.
constexpr unsigned char kDigits[10][5] = {{7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7},
                                          {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1},
                                          {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

// Draws `text` (digits; anything else a fixed block pattern standing for a letter) with
// pixels of `px` x `px`; returns the x after it.
int drawText(QPainter& p, int x, int y, const QString& text, int px, QColor colour)
{
    for (const QChar c : text) {
        for (int row = 0; row < 5; ++row)
            for (int bit = 0; bit < 3; ++bit) {
                bool on;
                if (c.isDigit())
                    on = kDigits[c.digitValue()][row] >> (2 - bit) & 1;
                else
                    on = ((c.unicode() * 7 + row * 3 + bit * 5) % 4) != 0;
                if (on)
                    p.fillRect(x + bit * px, y + row * px, px, px, colour);
            }
        x += 4 * px;
    }
    return x;
}

void identicalLine(QPainter& p, int y, int from, int width)
{
    for (int x = from, i = 0; x < width - 40; ++i) {
        const int w = 18 + (i * 37) % 60;
        p.fillRect(x, y + 4, w, 9, QColor(35, 35, 45));
        x += w + 9;
    }
}

// A sticky band's drop shadow over the content: `rows` rows fading from dark at `edge` away
// from the band (downwards below a header, upwards above a footer).
void shadow(QPainter& p, int width, int edge, int rows, int alpha, int direction)
{
    for (int i = 0; i < rows; ++i)
        p.fillRect(0, edge + direction * i - (direction < 0 ? 1 : 0), width, 1,
                   QColor(0, 0, 0, alpha * (rows - i) / rows));
}

// A pager's status line ending at `bottom`: a dark bar whose light marks spell the offset.
void drawStatus(QPainter& p, const RealisticPage& page, int bottom, int offset)
{
    const int top = bottom - page.statusRows, width = page.page.width();
    p.fillRect(0, top, width, page.statusRows, Qt::white);
    p.fillRect(0, top, width / 3, page.statusRows, QColor(20, 20, 20));
    for (int i = 0, n = offset; i < 5; ++i, n /= 10)
        p.fillRect(8 + (4 - i) * 16, top + 3, 3 + n % 10, page.statusRows - 6, QColor(235, 235, 235));
}

// The sticky header at the top and footer at `bottom`, each with its shadow over the content.
void drawBands(QPainter& p, const RealisticPage& page, int bottom)
{
    const int width = page.page.width();
    if (page.header > 0) {
        p.fillRect(0, 0, width, page.header, QColor(46, 134, 193));
        shadow(p, width, page.header, page.shadowRows, page.shadowAlpha, 1);
    }
    if (page.footer > 0) {
        p.fillRect(0, bottom - page.footer, width, page.footer, QColor(125, 60, 152));
        shadow(p, width, bottom - page.footer, page.shadowRows, page.shadowAlpha, -1);
    }
}

}  // namespace

const char* pageKindName(PageKind kind)
{
    static const char* names[] = {"varied",
                                  "identical",
                                  "identicalNumbered",
                                  "turnsIdentical",
                                  "leftEdge",
                                  "numberedNames",
                                  "blankStretch",
                                  "hover",
                                  "floatingButton",
                                  "floatingBox",
                                  "spinner",
                                  "sticky",
                                  "softShadow",
                                  "sidebar",
                                  "slowSpinner",
                                  "boxOverIdentical",
                                  "tableAfterVaried",
                                  "pulsingBanner",
                                  "fixedPulsingBanner",
                                  "shrinkingHeader",
                                  "footerShadow",
                                  "pagerStatus",
                                  "pulsingBanners",
                                  "latePhotos",
                                  "fadingPhotos"};
    return kind == kTableNearEnd ? "tableNearEnd" : names[int(kind)];
}

RealisticPage makeRealisticPage(PageKind kind, int width, int viewHeight, double screens, std::uint64_t seed)
{
    RealisticPage r;
    r.kind = kind;
    r.viewHeight = viewHeight;
    int height = int(viewHeight * screens) + int(seed * 7919 % 97);
    const bool nearEnd = kind == kTableNearEnd;
    const int rowHeight = nearEnd ? 36 : 22, tail = nearEnd ? 100 : 370;
    if (kind == PageKind::tableAfterVaried || nearEnd)  // the table is taller than most pages
        height = viewHeight * 3 / 2 + 150 * rowHeight + tail + int(seed * 7919 % 97);
    const QColor paper(252, 252, 250);
    QImage page;
    switch (kind) {
        case PageKind::identical:
        case PageKind::boxOverIdentical:
        case PageKind::identicalNumbered: {
            r.pitch = 20;
            page = QImage(width, height, QImage::Format_RGB32);
            page.fill(paper);
            QPainter p(&page);
            for (int y = 0, i = 1; y + r.pitch <= height; y += r.pitch, ++i) {
                if (kind == PageKind::identicalNumbered)
                    drawText(p, 4, y + 5, QString::number(i).rightJustified(4, ' '), 2,
                             QColor(120, 120, 130));
                identicalLine(p, y, 48, width);
            }
            break;
        }
        case PageKind::turnsIdentical: {
            r.pitch = 20;
            page = makePage(width, height).convertToFormat(QImage::Format_RGB32);
            QPainter p(&page);
            const int from = height - 2 * viewHeight - int(seed % 5) * r.pitch;
            p.fillRect(0, from, width, height - from, Qt::white);
            for (int y = from; y + r.pitch <= height; y += r.pitch)
                identicalLine(p, y, 12, width);
            break;
        }
        case PageKind::leftEdge: {
            r.pitch = 14;
            page = QImage(width, height, QImage::Format_RGB32);
            page.fill(QColor(20, 20, 24));
            QPainter p(&page);
            for (int y = 2, i = 1; y + r.pitch <= height; y += r.pitch, ++i)
                drawText(p, 0, y, QString::number(i), 2, QColor(210, 210, 200));
            break;
        }
        case PageKind::numberedNames: {
            r.pitch = 24;
            page = QImage(width, height, QImage::Format_RGB32);
            page.fill(Qt::white);
            QPainter p(&page);
            for (int y = 0, i = 1; y + r.pitch <= height; y += r.pitch, ++i) {
                p.fillRect(8, y + 4, 16, 16, QColor(90, 130, 200));
                const int x = drawText(p, 32, y + 7, QStringLiteral("report_"), 2, QColor(30, 30, 30));
                drawText(p, x, y + 7, QString::number(i).rightJustified(3, '0') + QStringLiteral(".txt"), 2,
                         QColor(30, 30, 30));
                drawText(p, width - 140, y + 7, QStringLiteral("12 KB"), 2, QColor(110, 110, 110));
            }
            break;
        }
        case kTableNearEnd:
        case PageKind::tableAfterVaried: {
            // A table of 150 alike rows that ends `tail` rows before the page does.
            r.pitch = rowHeight;
            page = makePage(width, height).convertToFormat(QImage::Format_RGB32);
            QPainter p(&page);
            const int to = height - tail, from = to - 150 * r.pitch;
            p.fillRect(0, from, width, to - from, Qt::white);
            for (int y = from; y < to; y += r.pitch) {
                p.fillRect(0, y, width, 1, QColor(200, 200, 205));
                identicalLine(p, y + 2, 12, width);
            }
            break;
        }
        case PageKind::blankStretch: {
            page = makePage(width, height).convertToFormat(QImage::Format_RGB32);
            const int from = height / 3;
            QPainter(&page).fillRect(0, from, width, viewHeight * 8 / 5, Qt::white);
            break;
        }
        default:
            page = makePage(width, height).convertToFormat(QImage::Format_RGB32);
            break;
    }
    r.page = page;
    if (kind == PageKind::hover || kind == PageKind::boxOverIdentical)
        r.hoverRow = viewHeight / 5;  // where auto mode turns the wheel
    if (kind == PageKind::floatingButton)
        r.button = QRect(width - 64 - 16, viewHeight - 64 - 6, 64, 64);
    if (kind == PageKind::floatingBox || kind == PageKind::boxOverIdentical)
        r.box = QRect(width / 2 - 50, viewHeight * 2 / 5, 100, 60);
    if (kind == PageKind::sidebar)
        r.box = QRect(0, 0, 120, viewHeight);
    if (kind == PageKind::spinner)
        r.spinner = QRect(width / 2 - 16, viewHeight / 3, 32, 32);
    if (kind == PageKind::slowSpinner)  // low enough to stay in view after a step of half a view
        r.spinner = QRect(width / 2 - 16, viewHeight * 3 / 5, 32, 32);
    if (kind == PageKind::pulsingBanner || kind == PageKind::pulsingBanners)
        r.banner = QRect(0, viewHeight / 4, width, 48);
    if (kind == PageKind::pulsingBanners)
        r.bannerEvery = viewHeight * 5 / 4;
    if (kind == PageKind::shrinkingHeader) {
        r.shrink = 48;
        r.shrinkDelay = int(seed % 5);
    }
    if (kind == PageKind::fixedPulsingBanner) {
        r.banner = QRect(0, viewHeight * 2 / 5, width, 48);
        r.bannerFixed = true;
    }
    if (kind == PageKind::sticky || kind == PageKind::softShadow) {
        r.header = 56;
        r.footer = 36;
    }
    if (kind == PageKind::softShadow) {
        r.shadowRows = 24;
        r.shadowAlpha = 18;
    }
    if (kind == PageKind::footerShadow) {
        r.footer = 40;
        r.shadowRows = 9;
        r.shadowAlpha = 90;
    }
    if (kind == PageKind::pagerStatus)
        r.statusRows = 17;
    if (kind == PageKind::latePhotos || kind == PageKind::fadingPhotos) {
        // Photos of three sizes, up to most of a view, some taller than a step of half a view.
        QPainter p(&r.page);
        const int sizes[] = {viewHeight / 3, viewHeight / 2, viewHeight * 3 / 4};
        for (int y = viewHeight / 3, i = int(seed % 3); y + viewHeight < r.page.height(); ++i) {
            const int h = sizes[i % 3], w = width * (2 + i % 2) / 4;
            const QRect ph(40, y, w, h);
            p.drawImage(ph.topLeft(), contentPage(Content::photo, w, h, 0));
            r.photos.push_back(ph);
            y += h + 60 + int(seed * 31 % 90);
        }
        // A photo loads within a step of coming into view (a step takes two grabs at least),
        // while it is still in view: one that loads only once it has left the view shows its
        // placeholder in any capture.
        r.loadGrabs = kind == PageKind::latePhotos ? 2 + int(seed % 2) : 1 + int(seed % 2);
        r.fadeGrabs = kind == PageKind::fadingPhotos ? 4 + int(seed % 3) : 0;
    }
    return r;
}

QImage RealisticPage::view(int offset, int tick, int turns) const
{
    QImage v = page.copy(0, offset, page.width(), viewHeight);
    QPainter p(&v);
    if (!spinner.isEmpty() && spinner.bottom() >= offset && spinner.top() < offset + viewHeight) {
        // A quarter arc that turns, drawn anew every other grab: from one grab to the next
        // it changes other rows, or none.
        const QRect s = spinner.translated(0, -offset);
        p.fillRect(s, QColor(235, 235, 240));
        const int q = (kind == PageKind::slowSpinner ? turns : tick / 2) % 4;
        const int h = s.width() / 2;
        p.fillRect(s.x() + (q == 1 || q == 2 ? h : 0), s.y() + (q >= 2 ? h : 0), h, h, QColor(60, 110, 220));
    }
    // Brightness in steps of 16 along a sine of 40 grabs: flat near its ends, where settling
    // sees it still.
    const int level = 140 + 16 * int(std::lround(4 * std::sin(tick * 3.14159265 / 20)));
    auto drawBanner = [&](const QRect& b) {
        p.fillRect(b, QColor(level, level / 2 + 40, 60));
        p.fillRect(b.adjusted(24, 14, -b.width() / 2, -14), QColor(255, 255, 255));
    };
    if (bannerFixed)
        drawBanner(banner);
    for (const QRect& b : pageBanners())
        if (b.bottom() >= offset && b.top() < offset + viewHeight)
            drawBanner(b.translated(0, -offset));
    if (!canvas.isEmpty() && canvas.bottom() >= offset && canvas.top() < offset + viewHeight)
        for (int y = 0; y < canvas.height(); y += 10)  // stripes, and their red tells the grab
            p.fillRect(canvas.x(), canvas.y() - offset + y, canvas.width(), std::min(10, canvas.height() - y),
                       QColor(tick * 53 % 256, y * 7 % 256, 90 + y % 120));
    if (hoverRow >= 0)
        p.fillRect(0, hoverRow - 13, page.width(), 26, QColor(40, 120, 255, 50));
    if (!button.isEmpty()) {
        p.fillRect(button, kButton);
        p.fillRect(button.adjusted(24, 16, -24, -30), Qt::white);
    }
    if (!box.isEmpty()) {
        p.fillRect(box, kBox);
        p.fillRect(box.adjusted(10, 10, -60, -30), Qt::white);
    }
    drawBands(p, *this, viewHeight);
    if (statusRows > 0)
        drawStatus(p, *this, statusAtTop ? statusRows : viewHeight, offset);
    return v;
}

QImage RealisticPage::expected(int offset) const
{
    const int h = offset + viewHeight;
    QImage e = page.copy(0, 0, page.width(), h);
    QPainter p(&e);
    drawBands(p, *this, h);
    if (statusRows > 0)  // once, as the last view shows it
        drawStatus(p, *this, statusAtTop ? statusRows : h, offset);
    if (!button.isEmpty()) {  // once, where it was last
        const QRect b = button.translated(0, offset);
        p.fillRect(b, kButton);
        p.fillRect(b.adjusted(24, 16, -24, -30), Qt::white);
    }
    if (!box.isEmpty()) {  // once, where the first view had it
        p.fillRect(box, kBox);
        p.fillRect(box.adjusted(10, 10, -60, -30), Qt::white);
    }
    return e;
}

bool RealisticPage::allowed(int x, int y, int) const
{
    if (!spinner.isEmpty() && spinner.contains(x, y))
        return true;
    // A fixed banner shows once, where the first view has it, in whatever brightness; one on
    // the page in any of its states.
    if (bannerFixed && banner.contains(x, y))
        return true;
    for (const QRect& b : pageBanners())
        if (b.contains(x, y))
            return true;
    if (canvas.contains(x, y))
        return true;
    // The page under a sidebar is never seen: from the foot of the first view on, the sidebar's
    // columns hold whatever the sidebar shows (it reaches the bottom of every frame, where the
    // rows a step adds come from); only the column beside it must be the page.
    if (kind == PageKind::sidebar && x <= box.right() && y >= viewHeight - 60)
        return true;
    return hoverRow >= 0 && y >= hoverRow - 13 && y < hoverRow + 13;
}

int RealisticPage::canvasState(const QImage& result, int y) const
{
    if (!canvas.contains(canvas.x(), y) || y >= result.height())
        return -1;
    return qRed(result.pixel(canvas.x() + 2, y));
}

std::vector<QRect> RealisticPage::pageBanners() const
{
    std::vector<QRect> out;
    if (banner.isEmpty() || bannerFixed)
        return out;
    for (QRect b = banner; b.top() < page.height(); b.translate(0, bannerEvery)) {
        out.push_back(b);
        if (bannerEvery < 1)
            break;
    }
    return out;
}

}  // namespace kx::test
