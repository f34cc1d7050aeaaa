#pragma once
// The AI answer as rich text: inline Markdown only. Emphasis, code spans and links are
// formatted, line breaks and runs of blanks kept; block syntax (lists, headings, tables,
// fenced code) shows as written; everything else is escaped, so no HTML of the answer is
// ever interpreted.

#include <QString>
#include <QUrl>

namespace kx {

// HTML for a QTextDocument.
QString inlineMarkdownHtml(const QString& markdown);

// Links of an answer open only for these schemes: http, https, mailto.
bool isOpenableLink(const QUrl& url);

}  // namespace kx
