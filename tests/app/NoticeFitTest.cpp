// Every notice the program shows must be read whole in its toast (two title lines, three of
// text), in each language, built with the longest values it really takes: the longest action
// titles and keys, paths of 120 characters, the system's own reasons, counts of 1, 2, 3 and 10.
// Notices made by functions are built through them; the texts written at a notice's call site
// are read from the sources, so that a new notice is checked without being listed here.
#include "TestSupport.h"
#include "app/OpenImage.h"
#include "app/SingleInstance.h"
#include "app/TrayApp.h"
#include "capture/coordinator/Notices.h"
#include "capture/coordinator/SaveFolder.h"
#include "capture/history/HistoryStore.h"
#include "capture/history/SharedIndex.h"
#include "core/ImageReading.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/CaptureError.h"
#include "platform/HotKeys.h"
#include "ui/TextBlock.h"
#include "ui/Theme.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <X11/keysym.h>
#include <cerrno>
#include <cstring>

using namespace kx;

namespace {

const char* const kLanguages[] = {"en", "de", "hu"};

// Paths of exactly 120 characters ending in `tail`, in the shapes that wrap differently: folders
// with spaces, one long folder name, many short ones.
QStringList paths120(const QString& tail)
{
    QStringList out;
    for (const QString& part :
         {QStringLiteral("Screenshots and more "), QStringLiteral("x"), QStringLiteral("s2/")}) {
        QString p = "/srv/homes/alexandra.kovacs-wittgenstein/";
        while (p.size() + tail.size() < 120)
            p += part;
        p.truncate(120 - tail.size() - 1);
        out << p + "/" + tail;
    }
    return out;
}

// The longest name a file is given in a notice: 120 characters with its extension.
QString name120()
{
    return QStringLiteral("Screenshot from the quarterly review ").repeated(4).left(116) + ".png";
}

// The translation of `english` in the C library's messages for `lang` (a .mo catalogue), or
// `english` when there is none.
QString libcMessage(const QString& lang, const QByteArray& english)
{
    QFile mo(QStringLiteral("/usr/share/locale/%1/LC_MESSAGES/libc.mo").arg(lang));
    if (lang == QLatin1String("en") || !mo.open(QIODevice::ReadOnly))
        return QString::fromUtf8(english);
    const QByteArray data = mo.readAll();
    auto word = [&data](qsizetype at) {
        quint32 v = 0;
        if (at >= 0 && at + 4 <= data.size())
            std::memcpy(&v, data.constData() + at, 4);
        return v;
    };
    if (word(0) != 0x950412deu)
        return QString::fromUtf8(english);
    const quint32 count = word(8), originals = word(12), translations = word(16);
    for (quint32 i = 0; i < count; ++i) {
        const quint32 length = word(originals + 8 * i), at = word(originals + 8 * i + 4);
        if (data.mid(at, length) != english)
            continue;
        const quint32 tLength = word(translations + 8 * i), tAt = word(translations + 8 * i + 4);
        return QString::fromUtf8(data.mid(tAt, tLength));
    }
    return QString::fromUtf8(english);
}

// The system's reasons a file cannot be read or written, as the settings, the save folder and
// the history name them, in the language the desktop would give them.
QStringList reasons(const QString& lang)
{
    QStringList out;
    for (int e : {EACCES, EISDIR, ENOTDIR, EROFS, ENOSPC, EDQUOT, EIO, ENAMETOOLONG, ELOOP})
        out << libcMessage(lang, std::strerror(e));
    return out;
}

// Action titles of this language, longest first.
QStringList actionTitles()
{
    QStringList out;
    for (int i = 0; i <= int(HotKeyAction::history); ++i)
        out << title(HotKeyAction(i));
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return out;
}

QString longestKey()
{
    return KeyCombo{XK_Page_Down, KeyCombo::allModifiers, "Page Down"}.display();
}

struct Notice {
    QString what;  // where it comes from, for the failure message
    QString title, text;
};

// Notices made by functions, with the longest values each takes.
QList<Notice> built(const QTemporaryDir& dir, const QString& lang)
{
    QList<Notice> out;
    auto add = [&out](const QString& what, const QString& title, const QString& text) {
        out.append({what, title, text});
    };
    auto addPair = [&add](const QString& what, const std::pair<QString, QString>& n) {
        add(what, n.first, n.second);
    };

    // The settings file at the start, for every reason it can give.
    for (const QString& conf : paths120("Kaptorix/Kaptorix.conf"))
        for (const QString& reason : reasons(lang)) {
            Prefs::Health unreadable, unsavable, frozen, kept;
            unreadable.readable = unreadable.writable = false;
            unsavable.writable = false;
            frozen.readWhole = frozen.writable = false;
            kept.readWhole = false;
            kept.keptAs = conf + ".bad-20261208-101500";
            Prefs::Health linked;
            linked.linkedTo = conf;
            for (Prefs::Health* h : {&unreadable, &unsavable, &frozen, &kept, &linked}) {
                h->reason = reason;
                if (const auto n = TrayApp::settingsNotice(*h, conf))
                    addPair("settingsNotice", *n);
            }
            Prefs::Health leftAsItIs = frozen;
            leftAsItIs.reason.clear();
            for (const Prefs::Health& h : {unsavable, leftAsItIs})
                addPair("notSavedNotice", TrayApp::notSavedNotice(h, conf));
        }

    // Keys another program holds: one, two, three and all ten, with the longest titles.
    const QStringList titles = actionTitles();
    for (int count : {1, 2, 3, 10}) {
        QList<std::pair<QString, QString>> taken;
        for (int i = 0; i < count; ++i)
            taken.append({longestKey(), titles.value(i)});
        addPair(QStringLiteral("takenKeysNotice(%1)").arg(count), TrayApp::takenKeysNotice(taken));
    }
    // A key two of Kaptorix's own actions share.
    addPair("heldKeyNotice", TrayApp::heldKeyNotice(longestKey(), titles.value(0), titles.value(1)));

    // A hand-over over the bound: opened of handed, the rest one or many.
    for (const auto& [opened, handed] : {std::pair{1, 11}, {2, 12}, {3, 13}, {10, 11}, {10, 24}, {9, 10000}})
        addPair(QStringLiteral("boundNotice(%1, %2)").arg(opened).arg(handed),
                OpenImage::boundNotice(opened, handed, OpenImage::maxFilesAtOnce, name120()));
    for (const QString& name : {name120(), QString()})
        for (const QSize size : {QSize(65535, 65535), QSize()})
            for (bool metadata : {false, true})
                if (size.isValid() || !metadata)  // a file refused for its metadata has a known size
                    addPair("tooLargeNotice", OpenImage::tooLargeNotice(name, size, metadata));
    for (const QString& name : {name120(), QString()})
        for (int bits : {1, 8, 16, 64})
            addPair("tooLargeNotice", OpenImage::tooLargeNotice(name, QSize(65535, 65535), false, bits));

    // A second start that cannot hand its files over.
    for (auto outcome : {SingleInstance::Outcome::notAnswering, SingleInstance::Outcome::blocked,
                         SingleInstance::Outcome::failed})
        add("SingleInstance::message", "Kaptorix did not start", SingleInstance::message(outcome, ":10"));

    // Captures that fail, and the save folder's own reasons, from a real folder of 120 characters.
    for (const CaptureError& e :
         {CaptureError::noPermission(), CaptureError::noDisplay(), CaptureError::noWindow()})
        add("CaptureError", "Capture failed", e.message());
    for (QString blocked : paths120("Shots")) {
        blocked = dir.path() + blocked.mid(dir.path().size());
        QDir().mkpath(QFileInfo(blocked).path());
        QFile blocker(blocked);
        blocker.open(QIODevice::WriteOnly);
        blocker.close();
        const SaveOutcome failed = SaveFolder::write(QImage(4, 4, QImage::Format_RGB32), 1, blocked, "Shot");
        add("SaveFolder::write", "Save failed", failed.error);
    }
    add("Notices::savedName", "Saved",
        Notices::savedName("/srv/Shots/" + QString("Quarterly review ").repeated(15).left(250) + ".heic"));
    add("ToastView::excerpt", "Text copied",
        ToastView::excerpt(QString("Recognised line of text\n").repeated(10)));

    // A kept copy of the history's index that still names deleted captures.
    for (const QString& copy : paths120("History/index.json.bad-20261208-101500"))
        for (const QString& reason : reasons(lang))
            add("copyFailureText",
                kx::tr("Deletion not finished", "A törlés nem fejeződött be", "Löschen nicht abgeschlossen"),
                SharedIndex::copyFailureText(copy, reason));

    // The history's pruning, by age, by count and both.
    for (int n : {1, 2, 3, 10})
        for (const auto& [byAge, days, byCount, max] :
             {std::tuple{n, 1, 0, 0}, {0, 0, n, 1}, {n * 1000, 3650, n * 1000, 10000}}) {
            const HistoryStore::Notice p = HistoryStore::prunedNotice(byAge, days, byCount, max);
            add("prunedNotice", p.title, p.text);
        }
    return out;
}

// "title lines/2, text lines/3", for the failure message.
QString lines(const Notice& n)
{
    const qreal width = ToastView::textWidth;
    return QStringLiteral("%1/2, %2/3")
        .arg(TextBlock::lines(n.title, Theme::font(13, QFont::DemiBold), width, 0).size())
        .arg(TextBlock::lines(n.text, Theme::font(11.5, QFont::Normal), width, 0).size());
}

}  // namespace

TEST(NoticeFit, EveryBuiltNoticeShowsWholeInEachLanguage)
{
    QTemporaryDir dir;
    QStringList cut;
    int checked = 0;
    for (const char* lang : kLanguages) {
        Lang::overrideForTests(lang);
        for (const Notice& n : built(dir, lang)) {
            ++checked;
            // A warning that came many times shows its count in its title; those told once a
            // start, or once a change of the keys, never repeat.
            static const QStringList once{"settingsNotice", "notSavedNotice", "heldKeyNotice",
                                          "SingleInstance::message"};
            const bool repeats = !once.contains(n.what) && !n.what.startsWith("takenKeysNotice");
            if (!ToastView::showsWhole(n.title, n.text) ||
                (repeats && !ToastView::showsWhole(ToastView::countedTitle(n.title, 999), n.text)))
                cut << QStringLiteral("%1 %2 (%3): %4 | %5").arg(lang, n.what, lines(n), n.title, n.text);
        }
    }
    Lang::overrideForTests("en");
    EXPECT_GT(checked, 300);
    EXPECT_TRUE(cut.isEmpty()) << cut.size() << " cut:\n" << cut.join('\n').toStdString();
}

// ---- texts written where a notice is shown --------------------------------------------------

namespace {

// Calls that show a notice, and what their arguments are: title or second line.
enum class Role { title, text };
const QHash<QString, QList<Role>>& sinks()
{
    static const QHash<QString, QList<Role>> table{
        {"show", {Role::title, Role::text}},
        {"ToastView", {Role::title, Role::text}},
        {"toast", {Role::title, Role::text}},
        {"notice", {Role::title, Role::text}},
        {"tell", {Role::title, Role::text}},
        {"say", {Role::title, Role::text}},
        {"startNotice", {Role::title, Role::text}},
        {"captureFailed", {Role::text}},
        {"stopEarly", {Role::text}},
        {"fail", {Role::text}},
        {"failed", {Role::text}},  // CaptureError::failed, shown under "Capture failed"
    };
    return table;
}

struct Site {
    QString where;  // file:line
    Role role = Role::text;
    QStringList literals;  // English, Hungarian and, when given, German
};

// The text of one argument made of adjacent string literals (bare or in QStringLiteral,
// QString or QString::fromUtf8); empty when it is computed.
std::optional<QString> literalText(QString arg)
{
    arg = arg.trimmed();
    static const QRegularExpression wrapped(
        R"re(^(?:QStringLiteral|QString::fromUtf8|QString|QLatin1String)\s*\((.*)\)$)re",
        QRegularExpression::DotMatchesEverythingOption);
    if (const auto m = wrapped.match(arg); m.hasMatch())
        arg = m.captured(1).trimmed();
    static const QRegularExpression literals(
        R"re(^(?:u8)?"(?:[^"\\]|\\.)*"(?:\s*(?:u8)?"(?:[^"\\]|\\.)*")*$)re");
    if (!literals.match(arg).hasMatch())
        return std::nullopt;
    static const QRegularExpression piece(R"re("((?:[^"\\]|\\.)*)")re");
    QString out;
    for (auto it = piece.globalMatch(arg); it.hasNext();) {
        const QString body = it.next().captured(1);
        for (qsizetype i = 0; i < body.size(); ++i) {
            if (body[i] != '\\' || i + 1 == body.size()) {
                out += body[i];
                continue;
            }
            const QChar e = body[++i];
            if (e == 'u') {
                out += QChar(body.mid(i + 1, 4).toUShort(nullptr, 16));
                i += 4;
            } else {
                out += e == 'n' ? QChar('\n') : e;
            }
        }
    }
    return out;
}

// The top-level arguments of the call whose parentheses enclose `inner`.
QStringList splitArguments(const QString& inner)
{
    QStringList out;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        const QChar c = inner[i];
        if (c == '"') {
            for (++i; i < inner.size() && inner[i] != '"'; ++i)
                if (inner[i] == '\\')
                    ++i;
        } else if (c == '(' || c == '{' || c == '[') {
            ++depth;
        } else if (c == ')' || c == '}' || c == ']') {
            --depth;
        } else if (c == ',' && depth == 0) {
            out << inner.mid(start, i - start);
            start = i + 1;
        }
    }
    out << inner.mid(start);
    return out;
}

// Every kx::tr call that is an argument of a notice call, or the text a "…Note" function
// returns (the scrolling capture's reasons for ending early).
QList<Site> scanSites(const QString& file)
{
    QFile f(test::sourcePath(file));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString src = QString::fromUtf8(f.readAll());
    struct Frame {
        QString name;
        int commas = 0;
        qsizetype open = 0;
        bool body = false;  // a function's body
        QString function;   // for a body: the function's name
    };
    QList<Frame> stack;
    QList<Site> out;
    QString lastCall;  // the name before the last '(' outside any body
    auto nameBefore = [&src](qsizetype at) {
        qsizetype end = at;
        while (end > 0 && src[end - 1].isSpace())
            --end;
        qsizetype begin = end;
        while (begin > 0 &&
               (src[begin - 1].isLetterOrNumber() || src[begin - 1] == '_' || src[begin - 1] == ':'))
            --begin;
        return src.mid(begin, end - begin).section("::", -1);
    };
    auto insideBody = [&stack] {
        return std::any_of(stack.cbegin(), stack.cend(), [](const Frame& f) { return f.body; });
    };
    for (qsizetype i = 0; i < src.size(); ++i) {
        const QChar c = src[i];
        if (src.mid(i, 2) == "//") {
            i = src.indexOf('\n', i);
            if (i < 0)
                break;
        } else if (src.mid(i, 2) == "/*") {
            i = src.indexOf("*/", i + 2) + 1;
        } else if (src.mid(i, 2) == "R\"" && (i == 0 || !src[i - 1].isLetterOrNumber())) {
            const QString delim = src.mid(i + 2, src.indexOf('(', i) - i - 2);
            i = src.indexOf(")" + delim + "\"", i) + delim.size() + 1;
        } else if (c == '"' || (c == '\'' && (i == 0 || !src[i - 1].isLetterOrNumber()))) {
            for (++i; i < src.size() && src[i] != c; ++i)
                if (src[i] == '\\')
                    ++i;
        } else if (c == '(' || c == '{' || c == '[') {
            Frame frame;
            frame.name = c == '(' ? nameBefore(i) : QString();
            frame.open = i;
            if (c == '(' && !insideBody())
                lastCall = frame.name;
            if (c == '{' && !insideBody()) {
                qsizetype back = i;
                while (back > 0 && src[back - 1].isSpace())
                    --back;
                static const QRegularExpression qualifiers(R"re((?:\s*(?:const|override|noexcept))+$)re");
                const QString before = src.left(back).remove(qualifiers);
                if (before.endsWith(')')) {
                    frame.body = true;
                    frame.function = lastCall;
                }
            }
            stack.append(frame);
        } else if (c == ')' || c == '}' || c == ']') {
            if (stack.isEmpty())
                continue;
            const Frame frame = stack.takeLast();
            if (frame.name != "tr" || stack.isEmpty())
                continue;
            const Frame& parent = stack.last();
            std::optional<Role> role;
            if (const auto it = sinks().constFind(parent.name);
                it != sinks().cend() && parent.commas < it->size())
                role = it->at(parent.commas);
            else if (parent.body && parent.function.endsWith("Note"))
                role = Role::text;
            if (!role)
                continue;
            Site site{QStringLiteral("%1:%2").arg(file).arg(src.left(frame.open).count('\n') + 1), *role, {}};
            for (const QString& arg : splitArguments(src.mid(frame.open + 1, i - frame.open - 1))) {
                const auto text = literalText(arg);
                if (!text)
                    break;
                site.literals << *text;
            }
            if (site.literals.size() >= 2)
                out << site;
        } else if (c == ',' && !stack.isEmpty()) {
            ++stack.last().commas;
        }
    }
    return out;
}

// Texts with placeholders that other tests build with their longest values.
const QHash<QString, QString>& builtElsewhere()
{
    static const QHash<QString, QString> table{
        {"The unreadable index was kept as %1.", "HistoryNoticesTest"},
        {"The old index was kept as %1.", "HistoryNoticesTest"},
        {"Kept as %1; captures it names may lack their title.", "HistoryNoticesTest"},
    };
    return table;
}

}  // namespace

TEST(NoticeFit, EveryTextWrittenAtANoticeShowsWholeInEachLanguage)
{
    QList<Site> sites;
    for (const QString& file : test::productSources())
        if (file.endsWith(".cpp"))
            sites += scanSites(file);
    QStringList cut, undeclared;
    for (const Site& site : sites) {
        const QString english = site.literals.at(0);
        if (english.contains(QRegularExpression("%\\d"))) {
            if (!builtElsewhere().contains(english))
                undeclared << site.where + ": " + english;
            continue;
        }
        for (const char* lang : kLanguages) {
            Lang::overrideForTests(lang);
            const QString text = site.literals.size() > 2
                                     ? kx::tr(site.literals[0], site.literals[1], site.literals[2])
                                     : kx::tr(site.literals[0], site.literals[1]);
            const bool whole = site.role == Role::title
                                   ? ToastView::showsWhole(ToastView::countedTitle(text, 999), QString())
                                   : ToastView::showsWhole(QString(), text);
            if (!whole)
                cut << QStringLiteral("%1 %2: %3").arg(lang, site.where, text);
        }
    }
    Lang::overrideForTests("en");
    // The scan finds the call sites it should: a change that hid them would pass unseen.
    EXPECT_GT(sites.size(), 50);
    for (const char* known :
         {"Scrolling capture ended early",
          "Could not follow the scroll: the image ends where "
          "stitching stopped.",
          "Upload is not configured", "Pin is click-through", "Image changed – run Redact again"})
        EXPECT_TRUE(std::any_of(sites.cbegin(), sites.cend(), [&](const Site& s) {
            return s.literals[0] == known;
        })) << known;
    EXPECT_TRUE(cut.isEmpty()) << cut.size() << " cut:\n" << cut.join('\n').toStdString();
    EXPECT_TRUE(undeclared.isEmpty()) << "built at the call site with values no test gives at their longest; "
                                         "build them in a function and check them above:\n"
                                      << undeclared.join('\n').toStdString();
}
