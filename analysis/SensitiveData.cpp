#include "analysis/SensitiveData.h"

#include <QRegularExpression>

namespace kx {

namespace {

struct Detector {
    QString category;
    QRegularExpression re;
};

// Unicode properties make \d, \w and \b follow the Unicode tables rather than ASCII only.
const QList<Detector>& detectors()
{
    static const QList<Detector> list = [] {
        QList<Detector> out;
        for (const auto& [category, pattern] : SensitiveData::patterns()) {
            QRegularExpression re(pattern, QRegularExpression::UseUnicodePropertiesOption);
            if (!re.isValid())
                continue;  // a broken row must not stop the others
            re.optimize();
            out.append({category, re});
        }
        return out;
    }();
    return list;
}

int numericCount(const QString& text)
{
    int n = 0;
    for (const QChar c : text)
        n += c.isNumber() ? 1 : 0;
    return n;
}

bool validIPv4(const QString& text)
{
    for (const QString& part : text.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value > 255)
            return false;
    }
    return true;
}

bool passes(const QString& category, const QString& text)
{
    if (category == QLatin1String("card"))
        return SensitiveData::luhn(text);
    if (category == QLatin1String("phone")) {
        const int digits = numericCount(text);
        return digits >= 9 && digits <= 15;
    }
    if (category == QLatin1String("ip"))
        return validIPv4(text);
    return true;
}

}  // namespace

const QList<QPair<QString, QString>>& SensitiveData::patterns()
{
    static const QList<QPair<QString, QString>> table{
        {QStringLiteral("email"), QStringLiteral(R"([A-Za-z0-9._%+\-]+@[A-Za-z0-9.\-]+\.[A-Za-z]{2,})")},
        {QStringLiteral("iban"),
         QStringLiteral(R"(\b[A-Z]{2}\d{2}(?: ?[A-Z0-9]{4}){3,7}(?: ?[A-Z0-9]{1,4})?\b)")},
        {QStringLiteral("card"), QStringLiteral(R"(\b(?:\d[ \-]?){13,19}\b)")},
        {QStringLiteral("phone"), QStringLiteral(R"((?<![\w])\+?\d[\d ()/\-]{7,}\d)")},
        {QStringLiteral("ip"), QStringLiteral(R"(\b(?:\d{1,3}\.){3}\d{1,3}\b)")},
        {QStringLiteral("secret"),
         QStringLiteral(R"(\b(?:sk-|pk_|sk_|ghp_|gho_|xox[abp]-|AKIA|eyJ)[A-Za-z0-9_\-\.]{12,})")},
        {QStringLiteral("token"), QStringLiteral(R"(\b[A-Za-z0-9+/_\-]{32,}={0,2})")},
    };
    return table;
}

bool SensitiveData::luhn(const QString& text)
{
    QList<int> digits;
    for (const QChar c : text) {
        if (c.digitValue() >= 0)
            digits.append(c.digitValue());
    }
    if (digits.size() < 13)
        return false;
    int sum = 0;
    bool twice = false;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        int d = digits[i];
        if (twice) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
        twice = !twice;
    }
    return sum % 10 == 0;
}

QList<SensitiveData::Match> SensitiveData::find(const QList<TextObservation>& lines)
{
    QList<Match> hits;
    for (const TextObservation& line : lines) {
        if (line.text.isEmpty())
            continue;
        for (const Detector& d : detectors()) {
            auto it = d.re.globalMatch(line.text);
            while (it.hasNext()) {
                const QRegularExpressionMatch m = it.next();
                if (!passes(d.category, m.captured()))
                    continue;
                const std::optional<QRectF> box = line.boundingBox(m.capturedStart(), m.capturedLength());
                if (!box)
                    continue;
                hits.append({d.category, box->adjusted(-3, -3, 3, 3), line.box.height()});
            }
        }
    }
    // A hit inside a larger one (an e-mail inside a token) adds nothing; equal boxes both stay.
    QList<Match> kept;
    kept.reserve(hits.size());
    for (const Match& h : hits) {
        bool nested = false;
        for (const Match& other : hits) {
            if (other.rect != h.rect && other.rect.contains(h.rect)) {
                nested = true;
                break;
            }
        }
        if (!nested)
            kept.append(h);
    }
    return kept;
}

QFuture<SensitiveData::Result> SensitiveData::find(const QImage& image)
{
    return OCRService::observations(image).then([](const OCRResult& ocr) {
        Result r;
        r.ok = ocr.ok;
        r.error = ocr.error;
        if (ocr.ok)
            r.matches = find(ocr.lines);
        return r;
    });
}

}  // namespace kx
