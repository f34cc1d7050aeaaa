#include "analysis/LineSlices.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kx::ocr {

namespace {

// How far from its even place a cut may move to find a blank column.
constexpr int kCutSearchColumns = 512;

// A gap between two pieces wider than this share of a glyph is a blank between words; a word cut
// in two leaves its pieces touching or overlapping.
constexpr double kWordGap = 0.35;

// The glyph boxes of a line: its characters but the blanks.
double typicalGlyphWidth(const TextObservation& line)
{
    std::vector<double> widths;
    for (qsizetype i = 0; i < line.text.size() && i < line.charBoxes.size(); ++i)
        if (!line.text[i].isSpace())
            widths.push_back(line.charBoxes[i].width());
    if (widths.empty())
        return line.box.height() / 2;
    std::nth_element(widths.begin(), widths.begin() + std::ptrdiff_t(widths.size() / 2), widths.end());
    return widths[widths.size() / 2];
}

// Each one's middle lies within the other's rows: the same line of text.
bool sameLine(const QRectF& a, const QRectF& b)
{
    return a.center().y() > b.top() && a.center().y() < b.bottom() && b.center().y() > a.top() &&
           b.center().y() < a.bottom();
}

void append(TextObservation& line, const TextObservation& piece)
{
    if (line.charBoxes.isEmpty() || piece.charBoxes.isEmpty())
        return;
    const QRectF last = line.charBoxes.last(), first = piece.charBoxes.first();
    if (first.left() - last.right() > kWordGap * typicalGlyphWidth(line)) {
        line.text += QLatin1Char(' ');
        line.charBoxes.append(QRectF(QPointF(last.right(), std::min(last.top(), first.top())),
                                     QPointF(first.left(), std::max(last.bottom(), first.bottom()))));
    }
    const double before = double(line.text.size());
    line.confidence = float((line.confidence * before + piece.confidence * double(piece.text.size())) /
                            (before + double(piece.text.size())));
    line.text += piece.text;
    line.charBoxes += piece.charBoxes;
    line.box = line.box.united(piece.box);
}

}  // namespace

std::vector<int> sliceCuts(const QImage& grey, int top, int end)
{
    const int w = grey.width();
    if (w <= kMaxSliceWidth || top >= end)
        return {0, w};
    // Even places no more than kMaxSliceWidth less twice the search apart, so that no slice grows
    // past kMaxSliceWidth wherever its cuts move.
    const int slices = int(std::ceil(double(w) / (kMaxSliceWidth - 2 * kCutSearchColumns)));
    std::vector<qint64> ink(std::size_t(w), 0);
    for (int y = top; y < end; ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < w; ++x)
            ink[std::size_t(x)] += 255 - row[x];
    }
    std::vector<int> cuts{0};
    for (int k = 1; k < slices; ++k) {
        const int target = int(qint64(w) * k / slices);
        int best = target;
        qint64 least = std::numeric_limits<qint64>::max();
        // Outwards from the even place: of equally blank columns the nearest wins.
        for (int d = 0; d <= kCutSearchColumns; ++d) {
            for (const int x : {target - d, target + d}) {
                if (x > cuts.back() && x < w && ink[std::size_t(x)] < least) {
                    least = ink[std::size_t(x)];
                    best = x;
                }
            }
        }
        cuts.push_back(best);
    }
    cuts.push_back(w);
    return cuts;
}

QList<TextObservation> joinSlices(const std::vector<QList<TextObservation>>& slices)
{
    QList<TextObservation> lines;
    for (const QList<TextObservation>& slice : slices) {
        // In the reader's order: two pieces at one height in one slice go on in that order.
        for (const TextObservation& piece : slice) {
            const auto line = std::find_if(lines.begin(), lines.end(), [&piece](const TextObservation& l) {
                return sameLine(l.box, piece.box);
            });
            if (line == lines.end())
                lines.append(piece);
            else
                append(*line, piece);
        }
    }
    std::stable_sort(lines.begin(), lines.end(), [](const TextObservation& a, const TextObservation& b) {
        return a.box.center().y() < b.box.center().y();
    });
    return lines;
}

}  // namespace kx::ocr
