#include "capture/history/KeptCopies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace kx {

namespace {

constexpr qsizetype kChunk = 1 << 16;
// A piece longer than this is not parsed; its id is taken from its start, or the ids it names.
constexpr qsizetype kMaxPieceBytes = 8 << 20;
constexpr qsizetype kUuidChars = 36;
const QByteArray kRecordStart = QByteArrayLiteral("{\"id\":\"");

enum class Fate { drop, structure };  // structure: only its brackets, commas and blanks stay

struct Cut {
    qint64 begin = 0, end = 0;
    Fate fate = Fate::drop;
};

bool isStructure(char c)
{
    return c == '[' || c == ']' || c == ',' || c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

bool isIdChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '-';
}

QUuid idFromText(QByteArrayView text)
{
    if (text.size() != kUuidChars)
        return {};
    for (qsizetype dash : {8, 13, 18, 23}) {
        if (text[dash] != '-')
            return {};
    }
    return QUuid::fromString(QLatin1StringView(text.data(), text.size()));
}

// The start of a record cut before its id ended: all a stop in the middle of a write leaves.
bool isBareRecordStart(QByteArrayView bytes)
{
    const QByteArrayView t = QByteArrayView(bytes).trimmed();
    if (t.size() <= kRecordStart.size())
        return QByteArrayView(kRecordStart).startsWith(t);
    if (!t.startsWith(kRecordStart) || t.size() - kRecordStart.size() >= kUuidChars)
        return false;
    return std::all_of(t.begin() + kRecordStart.size(), t.end(), isIdChar);
}

// One piece of a copy: a record or what lies between records (index copies), or a line
// (journal copies).
struct Piece {
    qint64 begin = 0;
    QByteArray bytes;       // while it is not longer than kMaxPieceBytes
    bool overflow = false;  // longer: `bytes` holds its start only
    bool structure = true;  // brackets, commas and blanks only
    bool namesRemoved = false, namesIndexed = false, namesOther = false;
    char ring[kUuidChars] = {};
    qsizetype run = 0;  // id characters in a row up to here

    void start(qint64 at)
    {
        *this = Piece();
        begin = at;
    }
    void feed(char c, const QSet<QUuid>& removed, const QSet<QUuid>& indexed)
    {
        if (!overflow && bytes.size() >= kMaxPieceBytes)
            overflow = true;
        if (!overflow)
            bytes.append(c);
        structure = structure && isStructure(c);
        run = isIdChar(c) ? run + 1 : 0;
        ring[run % kUuidChars] = c;
        if (run < kUuidChars)
            return;
        char text[kUuidChars];
        for (qsizetype i = 0; i < kUuidChars; ++i)
            text[i] = ring[(run + 1 + i) % kUuidChars];
        const QUuid id = idFromText(QByteArrayView(text, kUuidChars));
        if (id.isNull())
            return;
        if (removed.contains(id))
            namesRemoved = true;
        else if (indexed.contains(id))
            namesIndexed = true;
        else
            namesOther = true;
    }
    // The id of the record, when the piece is one.
    QUuid ownId() const
    {
        if (!overflow) {
            const QJsonDocument doc = QJsonDocument::fromJson(bytes);
            const QJsonValue id = doc.object().value(QLatin1String("id"));
            return id.isString() ? QUuid::fromString(id.toString()) : QUuid();
        }
        // Too long to parse: records begin with their id.
        const QByteArrayView t = QByteArrayView(bytes).trimmed();
        if (!t.startsWith(kRecordStart) || t.size() < kRecordStart.size() + kUuidChars + 1 ||
            t[kRecordStart.size() + kUuidChars] != '"')
            return {};
        return idFromText(t.sliced(kRecordStart.size(), kUuidChars));
    }
};

enum class Verdict { keep, harmless, matters, drop };

Verdict judge(const Piece& p, const QSet<QUuid>& removed, const QSet<QUuid>& indexed)
{
    if (const QUuid id = p.ownId(); !id.isNull()) {
        if (removed.contains(id))
            return Verdict::drop;
        return indexed.contains(id) ? Verdict::harmless : Verdict::matters;
    }
    if (p.structure)
        return Verdict::harmless;
    if (p.namesRemoved)
        return Verdict::drop;
    if (!p.overflow && isBareRecordStart(p.bytes))
        return Verdict::harmless;
    if (p.namesIndexed && !p.namesOther)
        return Verdict::harmless;
    return Verdict::matters;
}

struct Scan {
    QList<Cut> cuts;  // in file order
    bool matters = false;
    int error = 0;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Walks a copy once and decides what goes. Index copies are split as the salvage of a damaged
// index splits them (each outermost {...} outside strings is a record); a record that goes
// takes one comma next to it along, so a well-formed array stays well-formed.
class CopyScanner {
public:
    CopyScanner(bool journal, const QSet<QUuid>& removed, const QSet<QUuid>& indexed)
        : journal_(journal), removed_(removed), indexed_(indexed)
    {
    }

    void feed(char c, qint64 at)
    {
        if (journal_) {
            if (c != '\n') {
                piece_.feed(c, removed_, indexed_);
                return;
            }
            endPiece(at + 1, true);
            piece_.start(at + 1);
            return;
        }
        if (inRecord_) {
            piece_.feed(c, removed_, indexed_);
            if (!quoted(c) && c == '{') {
                ++depth_;
            } else if (!inString_ && c == '}' && --depth_ == 0) {
                endPiece(at + 1, true);
                piece_.start(at + 1);
                inRecord_ = false;
            }
            return;
        }
        if (!inString_ && c == '{') {
            if (waiting_)
                settle(false, -1);
            endPiece(at, false);
            const bool gapGone = !scan_.cuts.isEmpty() && scan_.cuts.back().end == at &&
                                 scan_.cuts.back().fate == Fate::structure;
            commaBefore_ = gapGone ? -1 : gapComma_;
            // Right after a record that went with the comma after it, the comma before that
            // one is this record's: should this be the last, no comma may be left before ']'.
            if (commaBefore_ < 0 && !gapGone && carried_)
                commaBefore_ = *carried_;
            carried_.reset();
            gapComma_ = -1;
            piece_.start(at);
            piece_.feed(c, removed_, indexed_);
            inRecord_ = true;
            depth_ = 1;
            return;
        }
        piece_.feed(c, removed_, indexed_);
        if (!inString_ && c == ',' && waiting_) {
            settle(true, at);  // taken along: no later record may take it too
            return;
        }
        if (waiting_ && !isBlank(c))
            settle(false, -1);
        if (!isBlank(c))
            carried_.reset();
        if (!inString_ && c == ',')
            gapComma_ = at;
        quoted(c);
    }

    Scan finish(qint64 size)
    {
        if (size > piece_.begin)
            endPiece(size, journal_ || inRecord_);
        if (waiting_)
            settle(false, -1);
        std::sort(scan_.cuts.begin(), scan_.cuts.end(),
                  [](const Cut& a, const Cut& b) { return a.begin < b.begin; });
        for (qsizetype i = 1; i < scan_.cuts.size(); ++i)
            scan_.cuts[i].begin = std::max(scan_.cuts[i].begin, scan_.cuts[i - 1].end);
        return std::move(scan_);
    }

private:
    // Follows strings; true while `c` is inside one (or ends it).
    bool quoted(char c)
    {
        if (inString_) {
            if (escaped_)
                escaped_ = false;
            else if (c == '\\')
                escaped_ = true;
            else if (c == '"')
                inString_ = false;
            return true;
        }
        if (c == '"')
            inString_ = true;
        return inString_;
    }

    void settle(bool commaAfter, qint64 comma)
    {
        if (commaAfter)
            waiting_->end = comma + 1;
        carried_ = commaAfter ? std::optional<qint64>(commaBefore_) : std::nullopt;
        if (!commaAfter && commaBefore_ >= 0)
            scan_.cuts.append({commaBefore_, commaBefore_ + 1, Fate::drop});
        scan_.cuts.append(*waiting_);
        waiting_.reset();
    }

    void endPiece(qint64 end, bool record)
    {
        const Verdict v = judge(piece_, removed_, indexed_);
        scan_.matters = scan_.matters || v == Verdict::matters;
        if (v != Verdict::drop)
            return;
        if (journal_)
            scan_.cuts.append({piece_.begin, end, Fate::drop});
        else if (record)
            waiting_ = Cut{piece_.begin, end, Fate::drop};
        else
            scan_.cuts.append({piece_.begin, end, Fate::structure});
    }

    const bool journal_;
    const QSet<QUuid>& removed_;
    const QSet<QUuid>& indexed_;
    Scan scan_;
    Piece piece_;
    bool inRecord_ = false, inString_ = false, escaped_ = false;
    int depth_ = 0;
    qint64 gapComma_ = -1;        // the last comma of the gap being read
    qint64 commaBefore_ = -1;     // the last comma before the record being read
    std::optional<Cut> waiting_;  // a dropped record looking for the comma after it
    // The comma before the last dropped record that took the comma after it, while only
    // blanks follow that comma (-1: it was the first).
    std::optional<qint64> carried_;
};

Scan scanCopy(int fd, bool journal, const QSet<QUuid>& removed, const QSet<QUuid>& indexed)
{
    CopyScanner scanner(journal, removed, indexed);
    char buffer[kChunk];
    qint64 offset = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Scan failed;
            failed.error = errno;
            return failed;
        }
        if (n == 0)
            return scanner.finish(offset);
        for (ssize_t i = 0; i < n; ++i, ++offset)
            scanner.feed(buffer[i], offset);
    }
}

bool writeAll(int fd, const char* p, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        size -= n;
    }
    return true;
}

// Copies `from` into `to` without the cuts. 0 or the error.
int copyWithout(int from, int to, const QList<Cut>& cuts)
{
    if (::lseek(from, 0, SEEK_SET) < 0)
        return errno;
    char buffer[kChunk];
    QByteArray out;
    qint64 offset = 0;
    qsizetype next = 0;
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        out.resize(0);
        for (ssize_t i = 0; i < n; ++i, ++offset) {
            while (next < cuts.size() && cuts[next].end <= offset)
                ++next;
            const bool cut = next < cuts.size() && cuts[next].begin <= offset;
            if (!cut || (cuts[next].fate == Fate::structure && isStructure(buffer[i])))
                out.append(buffer[i]);
        }
        if (!writeAll(to, out.constData(), out.size()))
            return errno;
    }
}

// Writes the copy anew without the cuts: a temporary file beside it (named as every atomic
// write of the folder names its own, so a start clears one a stop left), synced, then renamed
// over it. 0 or the error; on an error the copy is as it was.
int rewrite(const QString& path, int from, const QList<Cut>& cuts)
{
    const QFileInfo info(path);
    const QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                              QStringLiteral(".tmp-") +
                                              QString::number(QRandomGenerator::global()->generate(), 36));
    struct stat st {};
    if (::fstat(from, &st) != 0)
        return errno;
    const int to =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, st.st_mode & 0600);
    if (to < 0)
        return errno;
    int err = copyWithout(from, to, cuts);
    if (err == 0 && ::fsync(to) != 0)
        err = errno;
    if (::close(to) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.constData());
        return err;
    }
    if (const int dir =
            ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

}  // namespace

QStringList keptCopies(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("index.json.bad-*"), QStringLiteral("index*.journal.bad-*")},
                               QDir::Files | QDir::NoSymLinks, QDir::Name);
}

CopyCleaning forgetInKeptCopies(const QString& dir, const QSet<QUuid>& removed, const QSet<QUuid>& indexed)
{
    CopyCleaning result;
    const auto fail = [&result](const QString& path, int err) {
        result.failed.append(path);
        if (result.error.isEmpty())
            result.error = QString::fromLocal8Bit(std::strerror(err));
    };
    for (const QString& name : keptCopies(dir)) {
        const QString path = dir + QLatin1Char('/') + name;
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            fail(path, errno);
            continue;
        }
        const Scan scan = scanCopy(fd, name.contains(QLatin1String(".journal.bad-")), removed, indexed);
        int err = scan.error;
        if (err == 0 && !scan.matters) {
            if (::unlink(QFile::encodeName(path).constData()) == 0)
                ++result.dropped;
            else
                err = errno;
        } else if (err == 0 && !scan.cuts.isEmpty()) {
            err = rewrite(path, fd, scan.cuts);
            if (err == 0)
                ++result.rewritten;
        }
        ::close(fd);
        if (err != 0)
            fail(path, err);
    }
    return result;
}

}  // namespace kx
