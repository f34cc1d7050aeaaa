#pragma once
// What the tray process and its recognition process (kaptorix-recognizer) say to each other over
// their socket: length-prefixed frames, one request (a grey image with the models to read it
// with) answered by one result.

#include "analysis/OCRService.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>

namespace kx::ocr {

struct RecognizeRequest {
    QImage grey;  // Format_Grayscale8
    QStringList languages;
    QString dataDir;
};

struct RecognizeReply {
    OCRResult result;
    int engines = 0;  // the most engines the process had reading at once for this request
};

QByteArray encodeRequest(const RecognizeRequest& request);
std::optional<RecognizeRequest> decodeRequest(const QByteArray& payload);
QByteArray encodeReply(const RecognizeReply& reply);
std::optional<RecognizeReply> decodeReply(const QByteArray& payload);

// Frames on a blocking or non-blocking stream socket. Each returns false when the peer is
// gone or the stream is broken; never raises SIGPIPE.
bool sendFrame(int fd, const QByteArray& payload);
// Reads one whole frame, blocking.
bool receiveFrame(int fd, QByteArray* payload);

// Collects a frame from whatever has arrived so far (for a reader that polls).
class FrameReader {
public:
    enum class State { More, Done, Broken };
    // Reads what the socket has now (call when poll() says it is readable).
    State readSome(int fd);
    QByteArray take();

private:
    QByteArray header_;
    QByteArray payload_;
    qint64 expected_ = -1;
};

}  // namespace kx::ocr
