#pragma once
// A scrolling capture as the session handed it to the stitcher, kept in a folder: calls.txt
// lists the calls in order, one a line, and every frame is a PNG beside it:
//   first FILE MASK | add FILE EXPECTED_DY MASK [back] | animated MASK | animationIn FILE | drop
// ("back": the session could scroll back, in auto mode)
// MASK is "-" (none) or runs "value*count,...", one value per frame row.
#include "capture/scroll/ScrollCaptureSession.h"

#include <QImage>
#include <QString>
#include <map>
#include <vector>

namespace kx::test {

using StitchCall = ScrollCaptureSession::StitchCall;

QString encodeMask(const VerticalStitcher::RowMask& mask);
VerticalStitcher::RowMask decodeMask(const QString& text);

// Writes one call into `dir` (frames numbered in order; a frame written before is named
// again, a grey one kept grey); false when a file cannot be written.
bool writeCall(const QString& dir, const StitchCall& call, int index, std::map<QByteArray, QString>& written);
// The calls of a recorded folder; empty when it cannot be read.
std::vector<StitchCall> readCalls(const QString& dir);

// Plays the calls into a new stitcher, as the session did; the outcomes of the adds in order,
// and the finished image.
struct Replay {
    std::vector<VerticalStitcher::Outcome> outcomes;
    QImage image;
};
Replay replay(const std::vector<StitchCall>& calls);

// The first row of every pager status line in `image`: a dark bar with light text from the left
// edge (a terminal's reverse video), rows of one line within a text line's height of each other.
std::vector<int> statusLines(const QImage& image);

}  // namespace kx::test
