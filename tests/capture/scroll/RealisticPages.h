#pragma once
// Pages as real applications show them, for the scrolling capture's randomised test and its
// benchmark: what scrolls (the page) and what is drawn over the view at fixed places
// (sticky bands, floating buttons, a hover tint) or animates on the page (a spinner).
#include "fakes/FakeScroller.h"

#include <QImage>
#include <QRect>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace kx::test {

enum class PageKind {
    varied,              // prose of varied lines
    identical,           // one line again and again from the top
    identicalNumbered,   // the same line with a line number at the left edge
    turnsIdentical,      // varied, then the last part repeats one line
    leftEdge,            // a terminal's short lines (numbers) at the left edge, dark theme
    numberedNames,       // a file list: report_001.txt, report_002.txt, …
    blankStretch,        // varied, with a blank stretch taller than the view
    hover,               // varied, a tint on the rows under the pointer
    floatingButton,      // varied, a 64 x 64 button fixed in the lowest 10 % of the view
    floatingBox,         // varied, a box fixed in the middle of the view
    spinner,             // varied, a spinner on the page in the first screen
    sticky,              // varied, under a sticky header and footer that cast shadows on it
    softShadow,          // as sticky, the shadows long and faint, as browsers draw them
    sidebar,             // varied, beside a sidebar fixed at the left over the whole view
    slowSpinner,         // as spinner, turning only while the view moves: still grabs never see it change
    boxOverIdentical,    // identical lines under a floating box, a hover tint at the pointer
    tableAfterVaried,    // varied, then 150 identical table rows ending 370 rows before the bottom
    pulsingBanner,       // varied, a banner on the page whose brightness pulses in steps, so that
                         // some pairs of still grabs see it change and some do not
    fixedPulsingBanner,  // as pulsingBanner, the banner fixed in the middle of the view
    shrinkingHeader,     // varied, selected below a header that shrinks a little after the first
                         // wheel turn, moving the page up by that much more over a few grabs
    footerShadow,        // varied, above a fixed footer alone whose short dark shadow falls on it
    pagerStatus,         // varied, a pager's status line at the bottom showing where the view is
    pulsingBanners,      // as pulsingBanner, a banner every 5/4 of a view, so that one scrolls to
                         // where another was seen pulsing
    latePhotos,          // varied, with photos (texture in every row) that show a grey placeholder
                         // for a few grabs after they come into view, then the photo at once
    fadingPhotos,        // as latePhotos, each photo then fading in over several grabs
};
constexpr PageKind kLastPageKind = PageKind::fadingPhotos;
// Not among the randomised kinds: 150 identical rows 36 tall after a varied start, ending 100
// rows before the bottom, where the wheel's last step over them is cut short by the end.
constexpr PageKind kTableNearEnd = PageKind(int(kLastPageKind) + 1);
const char* pageKindName(PageKind kind);

struct RealisticPage {
    PageKind kind = PageKind::varied;
    QImage page;  // what scrolls, whole
    int viewHeight = 0;
    int pitch = 0;  // line pitch of repeating lines
    int header = 0, footer = 0;
    int shadowRows = 8, shadowAlpha = 90;  // of the bands' drop shadows
    QRect button;                          // view coordinates; empty: none
    QRect box;                             // view coordinates; empty: none
    QRect spinner;                         // page coordinates; empty: none
    QRect banner;                          // page coordinates (view ones when fixed); empty: none
    bool bannerFixed = false;
    int bannerEvery = 0;              // page rows from one banner to the next; 0: one banner
    int shrink = 0, shrinkDelay = 0;  // rows the header above shrinks by, grabs before it starts
    int hoverRow = -1;                // view row of the pointer; -1: no hover tint
    QRect canvas;                     // page coordinates: drawn anew at every grab; empty: none
    int statusRows = 0;               // of a status line at the bottom that tells the offset
    bool statusAtTop = false;         // the status line at the top instead
    // Photos (page coordinates, drawn in `page` as loaded): grey for `loadGrabs` grabs after any
    // row of one first shows, then fading in over `fadeGrabs` grabs.
    std::vector<QRect> photos;
    int loadGrabs = 0, fadeGrabs = 0;

    // What the view shows at scroll offset `offset`; `tick` (grabs) drives the spinner, `turns`
    // (wheel turns) the slow one.
    QImage view(int offset, int tick, int turns = 0) const;
    // What a capture that ends with the view at `offset` must show (outside allowed()).
    QImage expected(int offset) const;
    // Whether pixel (x, y) of a result ending at `offset` may differ from expected():
    // a spinner's frame, the hover tint of the first view, a sidebar below the first view.
    bool allowed(int x, int y, int offset) const;
    // The page rows of every banner on the page (none when it is fixed in the view).
    std::vector<QRect> pageBanners() const;
    // The grab a canvas row of a result was drawn at (its red level), or -1 where it shows none.
    int canvasState(const QImage& result, int y) const;
};

// `seed` varies the lengths; the page is `screens` views tall and a bit.
RealisticPage makeRealisticPage(PageKind kind, int width, int viewHeight, double screens, std::uint64_t seed);

// A fake screen over a realistic page: the wheel moves the view, grab() draws the overlays.
struct RealisticScreen : FakeScrollPage {
    const RealisticPage* source = nullptr;
    int tick = 0;
    int turns = 0;  // wheel turns so far
    // Smooth scrolling: the wheel sets where the view goes, and each grab finds it half-way
    // (rounded up) from where it was, so the last grabs of a step see it move by a pixel or two.
    bool smooth = false;
    int target = 0;
    // A busy application: the forward steps `late` picks (by their index) are carried out
    // only `lag` grabs after the wheel turned.
    std::function<bool(int)> late;
    int lag = 0;
    int forward = 0;
    QList<std::pair<int, int>> pending;  // grab index it shows at, clicks
    int firstTurn = -1;                  // grab index of the first wheel turn

    bool scroll(QPoint, int n) override
    {
        clicks.append(n);
        ++turns;
        if (n > 0 && late && late(forward++))
            pending.append({grabs + lag, n});
        else
            move(n);
        return true;
    }
    void move(int n)
    {
        int& to = smooth ? target : offset;
        to = std::clamp(to + n * rowsPerClick, 0, page.height() - viewHeight);
    }
    std::vector<int> photoSeen;  // grab at which each photo first showed; -1: not yet

    // Photos that load as the real ones do, over `view` (the page at `at`).
    void drawPhotos(QImage& view, int at)
    {
        photoSeen.resize(source->photos.size(), -1);
        for (std::size_t i = 0; i < source->photos.size(); ++i) {
            const QRect ph = source->photos[i].translated(0, -at);
            if (ph.bottom() < 0 || ph.top() >= view.height())
                continue;
            if (photoSeen[i] < 0)
                photoSeen[i] = grabs;
            const int age = grabs - photoSeen[i];
            const int shown =
                age < source->loadGrabs ? 0
                : source->fadeGrabs > 0
                    ? std::min(256, 256 * (age - source->loadGrabs + 1) / (source->fadeGrabs + 1))
                    : 256;
            if (shown >= 256)
                continue;
            for (int y = std::max(ph.top(), 0); y <= std::min(ph.bottom(), view.height() - 1); ++y) {
                QRgb* row = reinterpret_cast<QRgb*>(view.scanLine(y));
                for (int x = ph.left(); x <= ph.right(); ++x) {
                    auto mix = [&](int c) { return (136 * (256 - shown) + c * shown) / 256; };
                    row[x] = qRgb(mix(qRed(row[x])), mix(qGreen(row[x])), mix(qBlue(row[x])));
                }
            }
        }
    }
    Captured<ScreenGrab> grabView()
    {
        for (auto it = pending.begin(); it != pending.end();)
            if (it->first <= grabs) {
                move(it->second);
                it = pending.erase(it);
            } else {
                ++it;
            }
        if (source->shrink > 0 && firstTurn < 0 && turns > 0)
            firstTurn = grabs;
        ++grabs;
        if (smooth && offset != target) {
            const int rest = target - offset;
            offset += rest > 0 ? (rest + 1) / 2 : -((1 - rest) / 2);
        }
        // The header shrinks 8 rows a grab once it starts: the page moves up by as much more.
        const int shrunk =
            firstTurn < 0 ? 0 : std::clamp((grabs - firstTurn - source->shrinkDelay) * 8, 0, source->shrink);
        const int at = std::clamp(offset + shrunk, 0, page.height() - viewHeight);
        QImage view = source->view(at, tick++, turns);
        drawPhotos(view, at);
        return ScreenGrab{view, 1.0};
    }
};

}  // namespace kx::test
