#include "analysis/engine/RecognizerProtocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDataStream>
#include <QIODevice>
#include <cerrno>
#include <utility>

namespace kx::ocr {

namespace {

constexpr quint32 kRequestMagic = 0x4b585231;  // "KXR1"
constexpr quint32 kReplyMagic = 0x4b585232;
// A 60,000-row scrolling capture of a 5K display is about 300 MB of grey; anything far over that
// is a broken stream, not an image.
constexpr qint64 kMaxFrame = qint64(1) << 30;
constexpr int kHeader = 4;

QDataStream& versioned(QDataStream& s)
{
    s.setVersion(QDataStream::Qt_6_4);
    return s;
}

}  // namespace

QByteArray encodeRequest(const RecognizeRequest& request)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    versioned(s) << kRequestMagic << request.languages << request.dataDir << qint32(request.grey.width())
                 << qint32(request.grey.height());
    const QImage grey = request.grey.format() == QImage::Format_Grayscale8
                            ? request.grey
                            : request.grey.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        s.writeRawData(reinterpret_cast<const char*>(grey.constScanLine(y)), grey.width());
    return out;
}

std::optional<RecognizeRequest> decodeRequest(const QByteArray& payload)
{
    QDataStream s(payload);
    quint32 magic = 0;
    qint32 w = 0, h = 0;
    RecognizeRequest r;
    versioned(s) >> magic >> r.languages >> r.dataDir >> w >> h;
    if (s.status() != QDataStream::Ok || magic != kRequestMagic || w <= 0 || h <= 0 ||
        qint64(w) * h > payload.size())
        return std::nullopt;
    r.grey = QImage(w, h, QImage::Format_Grayscale8);
    if (r.grey.isNull())
        return std::nullopt;
    for (int y = 0; y < h; ++y) {
        if (s.readRawData(reinterpret_cast<char*>(r.grey.scanLine(y)), w) != w)
            return std::nullopt;
    }
    return r;
}

QByteArray encodeReply(const RecognizeReply& reply)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    versioned(s) << kReplyMagic << reply.result.ok << reply.result.error << qint32(reply.engines)
                 << quint32(reply.result.lines.size());
    for (const TextObservation& line : reply.result.lines)
        s << line.text << line.box << line.confidence << line.charBoxes;
    return out;
}

std::optional<RecognizeReply> decodeReply(const QByteArray& payload)
{
    QDataStream s(payload);
    quint32 magic = 0, count = 0;
    qint32 engines = 0;
    RecognizeReply r;
    versioned(s) >> magic >> r.result.ok >> r.result.error >> engines >> count;
    if (s.status() != QDataStream::Ok || magic != kReplyMagic)
        return std::nullopt;
    r.engines = engines;
    for (quint32 i = 0; i < count && s.status() == QDataStream::Ok; ++i) {
        TextObservation line;
        s >> line.text >> line.box >> line.confidence >> line.charBoxes;
        r.result.lines.append(std::move(line));
    }
    if (s.status() != QDataStream::Ok)
        return std::nullopt;
    return r;
}

bool sendFrame(int fd, const QByteArray& payload)
{
    if (payload.size() > kMaxFrame)
        return false;
    const quint32 n = quint32(payload.size());
    const char header[kHeader] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    for (const auto& [data, size] :
         {std::pair{header, qint64(kHeader)}, std::pair{payload.constData(), qint64(n)}}) {
        qint64 done = 0;
        while (done < size) {
            const ssize_t w = ::send(fd, data + done, std::size_t(size - done), MSG_NOSIGNAL);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += w;
        }
    }
    return true;
}

FrameReader::State FrameReader::readSome(int fd)
{
    char buffer[64 * 1024];
    for (;;) {
        if (expected_ >= 0 && payload_.size() == expected_)
            return State::Done;
        const qint64 want = expected_ < 0 ? kHeader - header_.size() : expected_ - payload_.size();
        const ssize_t r =
            ::recv(fd, buffer, std::size_t(std::min<qint64>(want, sizeof buffer)), MSG_DONTWAIT);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return State::More;
        if (r <= 0)
            return State::Broken;  // the peer closed or the socket failed
        if (expected_ < 0) {
            header_.append(buffer, r);
            if (header_.size() == kHeader) {
                const auto* h = reinterpret_cast<const uchar*>(header_.constData());
                expected_ = qint64(h[0]) << 24 | qint64(h[1]) << 16 | qint64(h[2]) << 8 | h[3];
                if (expected_ > kMaxFrame)
                    return State::Broken;
                payload_.reserve(expected_);
            }
        } else {
            payload_.append(buffer, r);
        }
    }
}

QByteArray FrameReader::take()
{
    QByteArray out = std::move(payload_);
    payload_.clear();
    header_.clear();
    expected_ = -1;
    return out;
}

bool receiveFrame(int fd, QByteArray* payload)
{
    FrameReader reader;
    for (;;) {
        switch (reader.readSome(fd)) {
            case FrameReader::State::Done:
                *payload = reader.take();
                return true;
            case FrameReader::State::Broken:
                return false;
            case FrameReader::State::More: {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, -1) < 0 && errno != EINTR)
                    return false;
                break;
            }
        }
    }
}

}  // namespace kx::ocr
