#pragma once
// Small constructors the topic builders share, so the page data reads as a table.

#include "core/Localisation.h"
#include "help/HelpModel.h"
#include "ui/MenuKeys.h"

namespace kx::help {

// One visible text in English, Hungarian and German (kx::tr's rule, converting only the
// text shown: the help builds about a thousand of these per read).
inline QString T(const char* en, const char* hu, const char* de)
{
    const QString lang = Lang::current();
    return QString::fromUtf8(lang == u"hu" ? hu : lang == u"de" ? de : en);
}

// A row; a null `symbol` or `keys` means none.
inline HelpRow row(const char* symbol, const QString& name, const QString& keys, const QString& text)
{
    HelpRow r;
    if (symbol)
        r.symbol = QString::fromUtf8(symbol);
    r.name = name;
    if (!keys.isNull())
        r.keys = keys;
    r.text = text;
    return r;
}

inline HelpSection section(const QString& title, QStringList paragraphs, QList<HelpRow> rows,
                           const char* image = nullptr)
{
    HelpSection s;
    if (!title.isNull())
        s.title = title;
    s.paragraphs = std::move(paragraphs);
    s.rows = std::move(rows);
    if (image)
        s.image = QString::fromUtf8(image);
    return s;
}

// A literal key label, the same in every language.
inline QString K(const char* keys)
{
    return QString::fromUtf8(keys);
}
// The key labels of two main-menu rows, "Ctrl+Z / Ctrl+Shift+Z", from the one key table.
inline QString keys(MainItem a, MainItem b)
{
    return menuKeyHint(a) + QStringLiteral(" / ") + menuKeyHint(b);
}
// Every key of one main-menu row, "Ctrl+? / F1".
inline QString allKeys(MainItem item)
{
    QStringList out;
    for (const QKeySequence& k : menuKeys(item))
        out << k.toString(QKeySequence::NativeText);
    return out.join(QStringLiteral(" / "));
}
// No key label.
inline QString none()
{
    return QString();
}

// The standard named colours of the badges.
QColor tint(const char* name);

}  // namespace kx::help
