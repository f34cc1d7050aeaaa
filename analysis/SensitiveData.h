#pragma once
// Finds private data written in a screenshot (e-mail addresses, IBANs, card and phone
// numbers, IP addresses, secrets, tokens) so that the editor can pixelate each place.
// Recognition runs on the OCR pool; the matching itself is a pure function of the lines.

#include "analysis/OCRService.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

namespace kx {

class SensitiveData {
public:
    struct Match {
        QString category;       // "email", "iban", "card", "phone", "ip", "secret" or "token"
        QRectF rect;            // image pixels, top-left origin, grown by 3 px on every side
        double lineHeight = 0;  // height of the recognised line the hit lies on

        bool operator==(const Match&) const = default;
    };

    // A failed or cancelled recognition is not the same as "nothing found".
    struct Result {
        bool ok = false;
        QString error;  // why the search could not run, when !ok
        QList<Match> matches;
    };

    // Recognises the image's text (languages from the settings) and matches every line.
    static QFuture<Result> find(const QImage& image);
    // The matching alone: hits of every line, nested hits removed, in collection order
    // (by line, then by table row, then by position in the line).
    static QList<Match> find(const QList<TextObservation>& lines);
    // The card-number check: at least 13 digits whose Luhn sum is divisible by 10.
    static bool luhn(const QString& text);

    // The detector table in order: category and pattern.
    static const QList<QPair<QString, QString>>& patterns();
};

}  // namespace kx
