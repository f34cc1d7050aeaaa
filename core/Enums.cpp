#include "core/Enums.h"

#include <QUrl>

namespace kx {

namespace {
QString escapeHtml(QString s)
{
    s.replace('&', "&amp;");
    s.replace('<', "&lt;");
    s.replace('>', "&gt;");
    s.replace('"', "&quot;");
    return s;
}

// A file name with brackets or blanks must not end the markdown link early.
QString escapeMarkdownUrl(const QString& url)
{
    QString out;
    out.reserve(url.size());
    for (const QChar c : url) {
        if (c == '(')
            out += "%28";
        else if (c == ')')
            out += "%29";
        else if (c == ' ')
            out += "%20";
        else
            out += c;
    }
    return out;
}
}  // namespace

QString uploadCopyText(UploadCopyFormat format, const QString& url, const QString& alt)
{
    switch (format) {
        case UploadCopyFormat::link:
            return url;
        case UploadCopyFormat::markdown: {
            QString a = alt;
            a.replace('\\', "\\\\");
            a.replace('[', "\\[");
            a.replace(']', "\\]");
            return "![" + a + "](" + escapeMarkdownUrl(url) + ")";
        }
        case UploadCopyFormat::html:
            return "<img src=\"" + escapeHtml(url) + "\" alt=\"" + escapeHtml(alt) + "\">";
    }
    return url;
}

}  // namespace kx
