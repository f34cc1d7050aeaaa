#include "analysis/ai/AIPreset.h"

#include "core/Localisation.h"

namespace kx {

QString title(AIPreset preset)
{
    switch (preset) {
        case AIPreset::describe:
            return kx::tr(QStringLiteral("Describe"), QStringLiteral("Leírás"),
                          QStringLiteral("Beschreiben"));
        case AIPreset::uiux:
            return kx::tr(QStringLiteral("UI / UX review"), QStringLiteral("UI / UX értékelés"),
                          QStringLiteral("UI / UX-Prüfung"));
        case AIPreset::issues:
            return kx::tr(QStringLiteral("Bugs & accessibility"), QStringLiteral("Hibák és hozzáférhetőség"),
                          QStringLiteral("Fehler & Barrierefreiheit"));
        case AIPreset::extract:
            return kx::tr(QStringLiteral("Extract text & data"), QStringLiteral("Szöveg és adatok kinyerése"),
                          QStringLiteral("Text & Daten extrahieren"));
        case AIPreset::seo:
            return kx::tr(QStringLiteral("SEO: alt text, caption, filename"),
                          QStringLiteral("SEO: alt szöveg, felirat, fájlnév"),
                          QStringLiteral("SEO: Alt-Text, Bildunterschrift, Dateiname"));
        case AIPreset::custom:
            return kx::tr(QStringLiteral("Custom question"), QStringLiteral("Egyedi kérdés"),
                          QStringLiteral("Eigene Frage"));
    }
    return {};
}

QString prompt(AIPreset preset, const QString& language)
{
    QString text;
    switch (preset) {
        case AIPreset::describe:
            text = QStringLiteral(
                "Describe this screenshot concisely: what application or website it shows, what the "
                "user is doing or seeing, and the key details. Use short paragraphs or bullet points. ");
            break;
        case AIPreset::uiux:
            text = QStringLiteral(
                "Review this screenshot as a senior UI/UX designer. Cover visual hierarchy, spacing, "
                "typography, color and contrast, consistency, clarity of calls to action and usability. "
                "Give concrete, prioritized suggestions (most important first). ");
            break;
        case AIPreset::issues:
            text = QStringLiteral(
                "Inspect this screenshot for visible bugs and problems: layout breakage, truncated or "
                "overlapping text, error messages, wrong or placeholder data, low contrast and other "
                "accessibility (WCAG) issues. List each finding with where it is and how to fix it. ");
            break;
        case AIPreset::extract:
            text = QStringLiteral(
                "Extract all meaningful text and data from this screenshot. Preserve structure; render "
                "tables as Markdown tables and code as fenced code blocks. Do not add commentary. ");
            break;
        case AIPreset::seo:
            text = QStringLiteral(
                "For this image provide: (1) an SEO-friendly alt text (max 125 characters), (2) a "
                "short caption, (3) a descriptive lowercase-kebab-case filename without extension, (4) "
                "three relevant keywords. ");
            break;
        case AIPreset::custom:
            return QString();
    }
    return text + QStringLiteral("Answer in ") + language + QLatin1Char('.');
}

bool keepsSummary(AIPreset preset)
{
    return preset == AIPreset::describe || preset == AIPreset::seo;
}

}  // namespace kx
