#include "core/FileNaming.h"

#include "core/Prefs.h"

namespace kx {

namespace {

const QString kDefaultPattern = QStringLiteral("Kaptorix {YYYY}-{MM}-{DD} {hh}.{mm}.{ss}");

bool forbidden(char32_t c)
{
    switch (c) {
        case '/':
        case ':':
        case '\\':
        case '?':
        case '%':
        case '*':
        case '|':
        case '"':
        case '<':
        case '>':
            return true;
        default:
            // Line breaks and other control characters (C0, DEL, C1, line and paragraph
            // separators) would make names that shells and file managers mangle.
            return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
    }
}

// Bidirectional embeddings, overrides, isolates and marks: a title with U+202E would make
// "invoice\u202Egnp.exe" read as "invoiceexe.png".
bool bidiControl(char32_t c)
{
    return (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0x200e || c == 0x200f ||
           c == 0x061c;
}

QString pad(int v, int width)
{
    return QString::number(v).rightJustified(width, '0');
}

// Cuts at a code point boundary so the UTF-8 form stays within maxBytes.
QString truncateUtf8(const QString& s, int maxBytes)
{
    int bytes = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        char32_t c = s[i].unicode();
        qsizetype units = 1;
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i], s[i + 1]);
            units = 2;
        }
        const int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + n > maxBytes)
            break;
        bytes += n;
        i += units;
    }
    return s.left(i);
}

}  // namespace

QString FileNaming::fill(const QString& pattern, const QDateTime& date, const std::optional<QString>& title,
                         const QString& kindLabel)
{
    const QDateTime local = date.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    // One pass over the pattern: a title or label is inserted as text, never read for tokens.
    const std::pair<QLatin1StringView, QString> tokens[] = {
        {QLatin1StringView("{YYYY}"), pad(d.isValid() ? d.year() : 0, 4)},
        {QLatin1StringView("{MM}"), pad(d.isValid() ? d.month() : 0, 2)},
        {QLatin1StringView("{DD}"), pad(d.isValid() ? d.day() : 0, 2)},
        {QLatin1StringView("{hh}"), pad(t.isValid() ? t.hour() : 0, 2)},
        {QLatin1StringView("{mm}"), pad(t.isValid() ? t.minute() : 0, 2)},
        {QLatin1StringView("{ss}"), pad(t.isValid() ? t.second() : 0, 2)},
        {QLatin1StringView("{title}"), title ? *title : kindLabel},
        {QLatin1StringView("{kind}"), kindLabel},
    };
    QString text;
    for (qsizetype i = 0; i < pattern.size();) {
        bool token = false;
        if (pattern[i] == QLatin1Char('{')) {
            for (const auto& [name, value] : tokens) {
                if (QStringView(pattern).mid(i).startsWith(name)) {
                    text += value;
                    i += name.size();
                    token = true;
                    break;
                }
            }
        }
        if (!token)
            text += pattern[i++];
    }

    // Blank test first: a tab is a blank here, not a control character to replace.
    if (trimBlanks(text).isEmpty())
        return QStringLiteral("Kaptorix");
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (bidiControl(ch.unicode()))
            continue;
        // A leading "." hides the file, a leading "-" reads as an option to every command.
        if (safe.isEmpty() && (ch == QLatin1Char('.') || ch == QLatin1Char('-') || forbidden(ch.unicode())))
            continue;
        safe += forbidden(ch.unicode()) ? QChar('-') : ch;
    }
    if (trimBlanks(safe).isEmpty())
        return QStringLiteral("Kaptorix");
    return truncateUtf8(safe, kMaxBaseBytes);
}

QString FileNaming::baseName(const QDateTime& date, const std::optional<QString>& title, SourceKind kind)
{
    const QVariant stored = Prefs::value("filePattern");
    const QString pattern = stored.isValid() ? stored.toString() : kDefaultPattern;
    return fill(pattern, date, title, label(kind));
}

}  // namespace kx
