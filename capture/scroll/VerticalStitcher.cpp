#include "capture/scroll/VerticalStitcher.h"

#include "capture/scroll/RowDistance.h"

#include <cstdlib>
#include <limits>
#include <vector>

namespace kx {

namespace {

constexpr int S = kSignatureSamples;
constexpr double kSameMean = 0.35;          // below: the same picture
constexpr std::uint64_t kFixedRow = 2 * S;  // a row this close at the same index stays put
constexpr double kAcceptMean = 7.0;         // the fine match must be at least this good
constexpr double kSteadySlack = 0.4;        // a shift this close to the best keeps the scroll steady

bool isPlain32(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}

std::uint64_t rowDistance(const std::uint8_t* a, const std::uint8_t* b)
{
    return rowsDistance(a, b, 1);
}

}  // namespace

VerticalStitcher::VerticalStitcher(const QImage& first)
    : width_(first.width()),
      height_(first.height()),
      format_(isPlain32(first.format()) ? first.format() : QImage::Format_RGB32),
      colorSpace_(first.colorSpace()),
      firstFrame_(first),
      reference_(StitchSignature::of(first))
{
    strips_.reset(width_, format_);
}

int VerticalStitcher::fixedRowsFromTop(const StitchSignature& next) const
{
    const int R = height_;
    if (R * 4 < 10)
        return 0;
    const int limit = R * 4 / 10;
    int n = 0;
    while (n < limit && rowDistance(next.row(n), reference_.row(n)) <= kFixedRow)
        ++n;
    return n;
}

int VerticalStitcher::fixedRowsFromBottom(const StitchSignature& next) const
{
    const int R = height_;
    if (R * 4 < 10)
        return 0;
    const int limit = R * 4 / 10;
    int n = 0;
    while (n < limit && rowDistance(next.row(R - 1 - n), reference_.row(R - 1 - n)) <= kFixedRow)
        ++n;
    return n;
}

VerticalStitcher::Outcome VerticalStitcher::add(const QImage& frame)
{
    if (frame.isNull() || frame.width() != width_ || frame.height() != height_ || height_ < 1)
        return Outcome::noMatch();
    StitchSignature next = StitchSignature::of(frame);
    const int R = height_;

    // Same picture as before?
    const double sameMean =
        double(rowsDistance(next.row(0), reference_.row(0), std::size_t(R))) / (double(R) * S);
    if (sameMean < kSameMean)
        return Outcome::noChange();

    const int top = fixedRowsFromTop(next);
    if (!staticKnown_) {
        bottomStatic_ = fixedRowsFromBottom(next);
        staticKnown_ = true;
    }
    const int usable = R - bottomStatic_ - top;
    if (usable < R / 3)
        return Outcome::noMatch();
    const int band = usable * 15 < 2400 ? 24 : usable * 15 / 100;
    const int halfBand = band / 2;

    // Coarse search over half-height rows, the expected shift first.
    const int topC = top / 2;
    const int endC = (R - bottomStatic_) / 2;
    const int spanC = endC - topC;
    const int maxShift = spanC - halfBand;
    if (maxShift < 1)
        return Outcome::noMatch();

    const int pref = lastDy_ > 1 ? std::min(lastDy_ / 2, maxShift) : 1;
    std::vector<int> order;
    order.reserve(std::size_t(maxShift));
    if (lastDy_ >= 1)
        order.push_back(pref);
    for (int c = 1; c <= maxShift; ++c)
        if (!(lastDy_ >= 1 && c == pref))
            order.push_back(c);

    constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
    std::vector<double> means(std::size_t(maxShift) + 1, std::numeric_limits<double>::infinity());
    std::uint64_t bestSum = kNone;
    int bestShift = 0;
    for (const int c : order) {
        const int n = spanC - c;
        const std::uint64_t sum = rowsDistanceBounded(reference_.coarseRow(topC + c), next.coarseRow(topC),
                                                      std::size_t(n), bestSum);
        if (sum > bestSum)
            continue;  // abandoned
        means[std::size_t(c)] = double(sum) / (double(n) * S);
        if (sum < bestSum) {
            bestSum = sum;
            bestShift = c;
        }
    }
    if (bestShift == 0)
        return Outcome::noMatch();

    int chosen = bestShift;
    if (lastDy_ >= 1) {
        const double m = means[std::size_t(bestShift)];
        for (int c = 1; c <= maxShift; ++c)
            if (means[std::size_t(c)] <= m + kSteadySlack && std::abs(c - pref) < std::abs(chosen - pref))
                chosen = c;
    }

    // Fine search over full rows around twice the coarse shift.
    int bestDy = 0;
    int bestN = 0;
    double bestMean = std::numeric_limits<double>::infinity();
    for (int dy = std::max(1, 2 * chosen - 3); dy <= 2 * chosen + 3; ++dy) {
        const int n = usable - dy;
        if (n <= band / 2 || top + dy >= R)
            continue;
        const double mean =
            double(rowsDistance(reference_.row(top + dy), next.row(top), std::size_t(n))) / (double(n) * S);
        if (mean < bestMean) {
            bestMean = mean;
            bestDy = dy;
            bestN = n;
        }
    }
    if (bestDy < 1 || bestMean > kAcceptMean || bestN < band)
        return Outcome::noMatch();
    if (!keepStrip(frame, bestDy))
        return Outcome::noMatch();

    ++steps_;
    movedRows_ += bestDy;
    reference_ = std::move(next);
    lastDy_ = bestDy;
    return Outcome::appended(bestDy);
}

bool VerticalStitcher::keepStrip(const QImage& frame, int dy)
{
    const int body = height_ - bottomStatic_;
    const QImage source = frame.format() == format_ ? frame : frame.convertToFormat(format_);
    if (steps_ == 0) {
        const QImage first =
            firstFrame_.format() == format_ ? firstFrame_ : firstFrame_.convertToFormat(format_);
        if (!strips_.append(first, 0, body))
            return false;
    }
    if (!strips_.append(source, body - dy, dy)) {
        if (steps_ == 0)
            strips_.reset(width_, format_);
        return false;
    }
    if (steps_ == 0)
        firstFrame_ = QImage();
    if (bottomStatic_ >= 1)
        bottomBand_ = source.copy(0, body, width_, bottomStatic_);
    return true;
}

QImage VerticalStitcher::finish()
{
    if (steps_ == 0)
        return firstFrame_;
    const qint64 total = stitchedHeight();
    if (total > kMaxRows || total < 1)
        return {};
    if (!bottomBand_.isNull() && !strips_.append(bottomBand_, 0, bottomBand_.height()))
        return {};
    bottomBand_ = QImage();
    QImage result = strips_.take();
    if (result.isNull() || result.height() != total)
        return {};
    if (colorSpace_.isValid())
        result.setColorSpace(colorSpace_);
    return result;
}

std::size_t VerticalStitcher::retainedBytes() const
{
    return std::size_t(firstFrame_.sizeInBytes()) + std::size_t(bottomBand_.sizeInBytes()) + strips_.bytes();
}

}  // namespace kx
