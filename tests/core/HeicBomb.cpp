#include "HeicBomb.h"

#include <QtEndian>
#include <optional>

namespace kx::test {

namespace {

class BitReader {
public:
    explicit BitReader(const QByteArray& b) : b_(b) {}
    int bit()
    {
        const int v = (quint8(b_[pos_ / 8]) >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return v;
    }
    quint32 u(int n)
    {
        quint32 v = 0;
        while (n--)
            v = (v << 1) | quint32(bit());
        return v;
    }
    quint32 ue()
    {
        int zeros = 0;
        while (bit() == 0)
            ++zeros;
        return (1u << zeros) - 1 + u(zeros);
    }
    qint64 pos() const { return pos_; }

private:
    const QByteArray& b_;
    qint64 pos_ = 0;
};

class BitWriter {
public:
    void bit(int v)
    {
        if (n_ % 8 == 0)
            out.append('\0');
        if (v)
            out[out.size() - 1] = char(quint8(out[out.size() - 1]) | (0x80 >> (n_ % 8)));
        ++n_;
    }
    void u(quint32 v, int n)
    {
        while (n--)
            bit(int((v >> n) & 1));
    }
    void ue(quint32 v)
    {
        const quint32 x = v + 1;
        int len = 0;
        while ((x >> len) > 1)
            ++len;
        u(0, len);
        u(x, len + 1);
    }
    QByteArray out;

private:
    qint64 n_ = 0;
};

QByteArray unescape(const QByteArray& in)
{
    QByteArray out;
    int zeros = 0;
    for (char c : in) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    return out;
}

QByteArray escape(const QByteArray& in)
{
    QByteArray out;
    int zeros = 0;
    for (char c : in) {
        if (zeros >= 2 && quint8(c) <= 3) {
            out.append('\3');
            zeros = 0;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    return out;
}

// The SPS with another coded size (single temporal layer, as x265 writes it).
QByteArray recodedSps(const QByteArray& nal, QSize coded)
{
    const QByteArray rbsp = unescape(nal.mid(2));
    BitReader r(rbsp);
    BitWriter w;
    w.u(r.u(4), 4);
    const quint32 subLayers = r.u(3);
    w.u(subLayers, 3);
    if (subLayers != 0)
        return {};
    w.u(r.u(1), 1);
    for (int i = 0; i < 96; ++i)
        w.bit(r.bit());
    w.ue(r.ue());
    const quint32 chroma = r.ue();
    w.ue(chroma);
    if (chroma == 3)
        w.u(r.u(1), 1);
    r.ue();
    r.ue();
    w.ue(quint32(coded.width()));
    w.ue(quint32(coded.height()));
    // The rest up to the stop bit, then a new stop bit and alignment.
    qint64 last = qint64(rbsp.size()) * 8 - 1;
    while (last > r.pos() && ((quint8(rbsp[last / 8]) >> (7 - last % 8)) & 1) == 0)
        --last;
    while (r.pos() < last)
        w.bit(r.bit());
    w.bit(1);
    return nal.left(2) + escape(w.out);
}

quint32 be32(const QByteArray& b, qsizetype at)
{
    return qFromBigEndian<quint32>(b.constData() + at);
}

void addTo32(QByteArray& b, qsizetype at, qint64 delta)
{
    qToBigEndian<quint32>(quint32(qint64(be32(b, at)) + delta), b.data() + at);
}

// The first child box of `type` in [from, to): its start, or -1.
qsizetype child(const QByteArray& b, qsizetype from, qsizetype to, const char* type)
{
    while (from + 8 <= to) {
        const quint32 size = be32(b, from);
        if (size < 8)
            return -1;
        if (b.mid(from + 4, 4) == type)
            return from;
        from += size;
    }
    return -1;
}

}  // namespace

QByteArray spsUnit(QSize coded, int chroma, bool separatePlanes)
{
    BitWriter w;
    w.u(0, 4);  // video parameter set id
    w.u(0, 3);  // one temporal layer
    w.u(1, 1);
    w.u(0x01600000, 32);  // profile (Main), tier and level: 96 bits
    w.u(0, 32);
    w.u(0x0000005d, 32);
    w.ue(0);  // sps id
    w.ue(quint32(chroma));
    if (chroma == 3)
        w.u(separatePlanes, 1);
    w.ue(quint32(coded.width()));
    w.ue(quint32(coded.height()));
    w.u(0, 1);  // no conformance window
    w.bit(1);   // stop bit
    return QByteArray("\x42\x01", 2) + escape(w.out);
}

QByteArray heicBomb(const QByteArray& heicIn, QSize declared, QSize coded)
{
    QByteArray f = heicIn;
    const qsizetype meta = child(f, 0, f.size(), "meta");
    if (meta < 0)
        return {};
    const qsizetype metaEnd = meta + be32(f, meta);
    const qsizetype iprp = child(f, meta + 12, metaEnd, "iprp");
    const qsizetype ipco = iprp < 0 ? -1 : child(f, iprp + 8, iprp + be32(f, iprp), "ipco");
    const qsizetype hvcC = ipco < 0 ? -1 : child(f, ipco + 8, ipco + be32(f, ipco), "hvcC");
    const qsizetype ispe = ipco < 0 ? -1 : child(f, ipco + 8, ipco + be32(f, ipco), "ispe");
    const qsizetype iloc = child(f, meta + 12, metaEnd, "iloc");
    if (hvcC < 0 || ispe < 0 || iloc < 0)
        return {};
    qToBigEndian<quint32>(quint32(declared.width()), f.data() + ispe + 12);
    qToBigEndian<quint32>(quint32(declared.height()), f.data() + ispe + 16);

    // The SPS inside the hvcC arrays.
    qsizetype at = hvcC + 8 + 22;
    const int arrays = quint8(f[at++]);
    qsizetype spsAt = -1, spsLen = 0;
    for (int a = 0; a < arrays && spsAt < 0; ++a) {
        const int type = quint8(f[at]) & 0x3f;
        const int count = qFromBigEndian<quint16>(f.constData() + at + 1);
        at += 3;
        for (int n = 0; n < count; ++n) {
            const int len = qFromBigEndian<quint16>(f.constData() + at);
            if (type == 33 && spsAt < 0) {
                spsAt = at + 2;
                spsLen = len;
            }
            at += 2 + len;
        }
    }
    if (spsAt < 0)
        return {};
    const QByteArray sps = recodedSps(f.mid(spsAt, spsLen), coded);
    if (sps.isEmpty())
        return {};
    const qint64 delta = sps.size() - spsLen;
    qToBigEndian<quint16>(quint16(sps.size()), f.data() + spsAt - 2);
    f.replace(spsAt, spsLen, sps);
    for (qsizetype box : {meta, iprp, ipco, hvcC})
        addTo32(f, box, delta);

    // Item data after the hvcC moved by delta: iloc offsets follow (the iloc box is before it
    // or after it; either way its own position is known from the untouched part).
    qsizetype l = iloc > hvcC ? iloc + delta : iloc;
    const int version = quint8(f[l + 8]);
    qsizetype p = l + 12;
    const int sizes = qFromBigEndian<quint16>(f.constData() + p);
    p += 2;
    const int offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15, baseSize = (sizes >> 4) & 15;
    const int indexSize = version >= 1 ? sizes & 15 : 0;
    const int idBytes = version < 2 ? 2 : 4;
    const quint32 items = version < 2 ? qFromBigEndian<quint16>(f.constData() + p) : be32(f, p);
    p += idBytes;
    auto move = [&](qsizetype where, int bytes) {
        if (bytes == 4 && be32(f, where) > quint32(hvcC))
            addTo32(f, where, delta);
        else if (bytes == 8 && qFromBigEndian<quint64>(f.constData() + where) > quint64(hvcC))
            qToBigEndian<quint64>(qFromBigEndian<quint64>(f.constData() + where) + quint64(delta),
                                  f.data() + where);
    };
    for (quint32 i = 0; i < items; ++i) {
        p += idBytes;
        int method = 0;
        if (version >= 1) {
            method = qFromBigEndian<quint16>(f.constData() + p) & 15;
            p += 2;
        }
        p += 2;
        if (method == 0)
            move(p, baseSize);
        p += baseSize;
        const int extents = qFromBigEndian<quint16>(f.constData() + p);
        p += 2;
        for (int e = 0; e < extents; ++e) {
            p += indexSize;
            if (method == 0)
                move(p, offsetSize);
            p += offsetSize + lengthSize;
        }
    }
    return f;
}

}  // namespace kx::test
