#pragma once
// The help page model: one topic page with its sections, row cards and links, built fresh
// at every read, plus the picture lookup and the search test.

#include <QColor>
#include <QImage>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <optional>

namespace kx {

enum class HotKeyAction;

// A new random (version 4) UUID from the fast process-wide generator: a build of the help
// makes about 450 of them, too many for the system generator's one call each.
inline QUuid newHelpId()
{
    QRandomGenerator* g = QRandomGenerator::global();
    const quint64 hi = g->generate64(), lo = g->generate64();
    QUuid id(uint(hi >> 32), ushort(hi >> 16), ushort(hi), uchar(lo >> 56), uchar(lo >> 48), uchar(lo >> 40),
             uchar(lo >> 32), uchar(lo >> 24), uchar(lo >> 16), uchar(lo >> 8), uchar(lo));
    id.data3 = ushort((id.data3 & 0x0fff) | 0x4000);   // version 4
    id.data4[0] = uchar((id.data4[0] & 0x3f) | 0x80);  // RFC 4122 variant
    return id;
}

struct HelpRow {
    QUuid id = newHelpId();
    std::optional<QString> symbol;
    QString name;
    std::optional<QString> keys;
    QString text;  // empty: a label-only row
};

struct HelpSection {
    QUuid id = newHelpId();
    std::optional<QString> title;
    QStringList paragraphs;
    QList<HelpRow> rows;
    std::optional<QString> image;
};

struct HelpLink {
    QUuid id = newHelpId();
    QString title;
    QString symbol;
    QUrl url;
};

struct HelpTopic {
    QString id;
    QString symbol;
    QColor tint;
    QString title;
    QString intro;
    QList<HelpSection> sections;
    QList<HelpLink> links;
};

struct HelpTopicsA {
    static QList<HelpTopic> topics();  // start, capture, editor, backdrop
};
struct HelpTopicsB {
    static QList<HelpTopic> topics();  // tools, pins, history, export, upload
};
struct HelpTopicsC {
    static QList<HelpTopic> topics();  // ai, settings, shortcuts, privacy, trouble, contact
};

struct HelpContent {
    // One sentence on what a capture action does (the shortcut cheat sheet's row text).
    static QString captureText(HotKeyAction action);
    // The three groups in order: the whole help.
    static QList<HelpTopic> allTopics();
    // "Kaptorix <version> (build <build>)".
    static QString versionLine();
    // The current shortcut of an action as shown in the help, "–" when it has none.
    static QString liveKeys(HotKeyAction action);
    // The contact page's links: the web site ("example.org" or an http(s) address) as
    // `globe`, the mail address as `envelope`; an empty or unusable value gives no link.
    static QList<HelpLink> contactLinks(const QString& website, const QString& email);
    // The addresses this build was configured with (empty when none was set).
    static QString contactWebsite();
    static QString contactEmail();
    // Tests only: other addresses than the build's.
    static void overrideContactForTests(const QString& website, const QString& email);
};

struct HelpImage {
    // The picture `name` in the current language, then English; jpg before png; the
    // resources (:/Help/<lang>/) before $KAPTORIX_RESOURCES/Help/<lang>/. None when absent.
    static std::optional<QImage> load(const QString& name);
    // The same search with the language, the resource root and the folder given (an empty
    // folder is not searched).
    static std::optional<QImage> load(const QString& name, const QString& lang, const QString& resourceRoot,
                                      const QString& folder);
};

struct HelpSearch {
    // Case and accents folded away: decomposed, combining marks dropped, case-folded.
    static QString fold(const QString& text);
    // The query as the search uses it: spaces and tabs trimmed from both ends, then folded.
    static QString prepare(const QString& query);
    // True when the prepared query is empty or occurs in a searched field of the topic.
    static bool matches(const HelpTopic& topic, const QString& preparedQuery);
};

}  // namespace kx
