#include "core/HevcSize.h"

#include <QHash>

namespace kx {

namespace {

// Exp-Golomb and fixed-width reads over an RBSP (emulation prevention already removed).
class Bits {
public:
    explicit Bits(QByteArray rbsp) : data_(std::move(rbsp)) {}
    bool ok() const { return ok_; }
    quint32 u(int n)
    {
        quint32 v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 1) | bit();
        return v;
    }
    quint32 ue()
    {
        int zeros = 0;
        while (ok_ && bit() == 0)
            if (++zeros > 31)
                ok_ = false;
        return ok_ ? ((1u << zeros) - 1 + u(zeros)) : 0;
    }
    void skip(int n)
    {
        for (int i = 0; i < n; ++i)
            bit();
    }

private:
    quint32 bit()
    {
        if (pos_ >= qint64(data_.size()) * 8) {
            ok_ = false;
            return 0;
        }
        const quint32 b = (quint8(data_[pos_ / 8]) >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }
    QByteArray data_;
    qint64 pos_ = 0;
    bool ok_ = true;
};

QByteArray unescaped(const QByteArray& nal)
{
    QByteArray out;
    out.reserve(nal.size());
    int zeros = 0;
    for (char c : nal) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    return out;
}

int nalType(const QByteArray& nal)
{
    return nal.isEmpty() ? -1 : (quint8(nal[0]) >> 1) & 0x3f;
}

quint64 readBE(const QByteArray& b, qsizetype at, int bytes, bool* ok)
{
    if (at < 0 || bytes < 0 || at + bytes > b.size()) {
        *ok = false;
        return 0;
    }
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

struct Box {
    QByteArray type;
    qsizetype payload = 0, end = 0;
};

// The boxes in [from, to); nothing when one overruns its parent.
std::optional<QList<Box>> boxes(const QByteArray& f, qsizetype from, qsizetype to)
{
    QList<Box> out;
    bool ok = true;
    while (from + 8 <= to) {
        quint64 size = readBE(f, from, 4, &ok);
        qsizetype header = 8;
        if (size == 1) {
            size = readBE(f, from + 8, 8, &ok);
            header = 16;
        } else if (size == 0) {
            size = quint64(to - from);
        }
        if (!ok || size < quint64(header) || size > quint64(to - from))
            return std::nullopt;
        out.append({f.mid(from + 4, 4), from + header, from + qsizetype(size)});
        from += qsizetype(size);
    }
    return out;
}

const Box* find(const QList<Box>& list, const char* type)
{
    for (const Box& b : list)
        if (b.type == type)
            return &b;
    return nullptr;
}

// The SPS units of an hvcC payload.
std::optional<QList<QByteArray>> hvcCParameterSets(const QByteArray& f, const Box& box)
{
    bool ok = true;
    qsizetype at = box.payload + 22;
    const int arrays = int(readBE(f, at, 1, &ok));
    ++at;
    QList<QByteArray> out;
    for (int a = 0; a < arrays && ok; ++a) {
        at += 1;
        const int count = int(readBE(f, at, 2, &ok));
        at += 2;
        for (int n = 0; n < count && ok; ++n) {
            const qsizetype len = qsizetype(readBE(f, at, 2, &ok));
            at += 2;
            if (!ok || at + len > box.end)
                return std::nullopt;
            out.append(f.mid(at, len));
            at += len;
        }
    }
    if (!ok)
        return std::nullopt;
    return out;
}

// Item id → item type, from `iinf`.
QHash<quint32, QByteArray> itemTypes(const QByteArray& f, const Box& iinf)
{
    QHash<quint32, QByteArray> out;
    bool ok = true;
    const int version = int(readBE(f, iinf.payload, 1, &ok));
    const qsizetype first = iinf.payload + 4 + (version == 0 ? 2 : 4);
    const auto entries = boxes(f, first, iinf.end);
    for (const Box& infe : entries.value_or(QList<Box>())) {
        const int v = int(readBE(f, infe.payload, 1, &ok));
        if (infe.type != "infe" || v < 2)
            continue;
        const int idBytes = v == 2 ? 2 : 4;
        const quint32 id = quint32(readBE(f, infe.payload + 4, idBytes, &ok));
        const QByteArray type = f.mid(infe.payload + 4 + idBytes + 2, 4);
        if (ok)
            out.insert(id, type);
    }
    return out;
}

// The byte ranges of each HEVC item, from `iloc` (file offsets, or offsets into `idat`).
std::optional<QList<std::pair<qsizetype, qsizetype>>> hevcExtents(const QByteArray& f, const Box& iloc,
                                                                  const QHash<quint32, QByteArray>& types,
                                                                  const Box* idat)
{
    bool ok = true;
    qsizetype at = iloc.payload;
    const int version = int(readBE(f, at, 1, &ok));
    at += 4;
    const int sizes = int(readBE(f, at, 2, &ok));
    at += 2;
    const int offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15, baseSize = (sizes >> 4) & 15;
    const int indexSize = version >= 1 ? sizes & 15 : 0;
    const int countBytes = version < 2 ? 2 : 4;
    const quint64 items = readBE(f, at, countBytes, &ok);
    at += countBytes;
    QList<std::pair<qsizetype, qsizetype>> out;
    for (quint64 i = 0; i < items && ok; ++i) {
        const quint32 id = quint32(readBE(f, at, countBytes, &ok));
        at += countBytes;
        int method = 0;
        if (version >= 1) {
            method = int(readBE(f, at, 2, &ok)) & 15;
            at += 2;
        }
        at += 2;  // data reference index
        const quint64 base = readBE(f, at, baseSize, &ok);
        at += baseSize;
        const int extents = int(readBE(f, at, 2, &ok));
        at += 2;
        for (int e = 0; e < extents && ok; ++e) {
            at += indexSize;
            const quint64 offset = readBE(f, at, offsetSize, &ok);
            at += offsetSize;
            const quint64 length = readBE(f, at, lengthSize, &ok);
            at += lengthSize;
            if (types.value(id) != "hvc1" || method > 1)
                continue;
            quint64 start = base + offset;
            quint64 limit = quint64(f.size());
            if (method == 1) {
                if (!idat)
                    return std::nullopt;
                start += quint64(idat->payload);
                limit = quint64(idat->end);
            }
            const quint64 len = length == 0 ? limit - std::min(start, limit) : length;
            if (start > limit || len > limit - start)
                return std::nullopt;
            out.append({qsizetype(start), qsizetype(start + len)});
        }
    }
    if (!ok)
        return std::nullopt;
    return out;
}

}  // namespace

std::optional<QSize> hevcSpsSize(const QByteArray& nal)
{
    if (nalType(nal) != 33 || nal.size() < 3)
        return std::nullopt;
    Bits b(unescaped(nal.mid(2)));
    b.skip(4);
    const int subLayers = int(b.u(3));
    b.skip(1);
    b.skip(96);  // general profile, tier and level
    int profilePresent[8] = {}, levelPresent[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profilePresent[i] = int(b.u(1));
        levelPresent[i] = int(b.u(1));
    }
    if (subLayers > 0)
        b.skip(2 * (8 - subLayers));
    for (int i = 0; i < subLayers; ++i)
        b.skip((profilePresent[i] ? 88 : 0) + (levelPresent[i] ? 8 : 0));
    b.ue();  // sps_seq_parameter_set_id
    if (b.ue() == 3)
        b.skip(1);
    const quint32 width = b.ue();
    const quint32 height = b.ue();
    if (!b.ok() || width == 0 || height == 0 || width > quint32(INT_MAX) || height > quint32(INT_MAX))
        return std::nullopt;
    return QSize(int(width), int(height));
}

std::optional<QList<QSize>> heifCodedSizes(const QByteArray& f)
{
    const auto top = boxes(f, 0, f.size());
    const Box* meta = top ? find(*top, "meta") : nullptr;
    if (!meta)
        return std::nullopt;
    const auto inMeta = boxes(f, meta->payload + 4, meta->end);
    if (!inMeta)
        return std::nullopt;
    QList<QByteArray> sets;
    if (const Box* iprp = find(*inMeta, "iprp")) {
        const auto inIprp = boxes(f, iprp->payload, iprp->end);
        const Box* ipco = inIprp ? find(*inIprp, "ipco") : nullptr;
        const auto props = ipco ? boxes(f, ipco->payload, ipco->end) : std::nullopt;
        if (!props)
            return std::nullopt;
        for (const Box& b : *props) {
            if (b.type != "hvcC")
                continue;
            const auto nals = hvcCParameterSets(f, b);
            if (!nals)
                return std::nullopt;
            sets += *nals;
        }
    }
    const Box* iinf = find(*inMeta, "iinf");
    const Box* iloc = find(*inMeta, "iloc");
    if (iinf && iloc) {
        const auto extents = hevcExtents(f, *iloc, itemTypes(f, *iinf), find(*inMeta, "idat"));
        if (!extents)
            return std::nullopt;
        // The coded data: NAL units behind four-byte lengths.
        for (auto [at, end] : *extents) {
            bool ok = true;
            while (at + 4 <= end) {
                const qsizetype len = qsizetype(readBE(f, at, 4, &ok));
                at += 4;
                if (len > end - at)
                    break;
                if (len > 0 && ((quint8(f[at]) >> 1) & 0x3f) == 33)
                    sets.append(f.mid(at, len));
                at += len;
            }
        }
    }
    QList<QSize> sizes;
    for (const QByteArray& nal : sets) {
        if (nalType(nal) != 33)
            continue;
        const auto size = hevcSpsSize(nal);
        if (!size)
            return std::nullopt;
        sizes.append(*size);
    }
    return sizes;
}

}  // namespace kx
