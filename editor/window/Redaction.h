#pragma once
// The redact command's second half: covering what the sensitive-data search found with
// pixelation objects, and the notice to show. The editor window renders the flattened image,
// starts SensitiveData::find and shows the busy badge; this applies the outcome.

#include "analysis/SensitiveData.h"

#include <QFuture>
#include <QString>
#include <functional>

namespace kx {

class EditorDocument;

// What the toast says after a redaction.
struct RedactionNotice {
    QString title;
    QString subtitle;  // empty: none
    QString symbol;
    double seconds = 3;
};

// Pixel-block size for a hit on a line of `lineHeight` pixels. At least three line heights, so
// that the covered box (line + 6 px) is one block row and every block averages several
// characters into one colour: small blocks over screen text can be read back.
double redactionBlockSize(double scale, double lineHeight);

// Adds one pixelation per hit in a single undo step, keeping the tool and the selection. A failed
// search leaves the document untouched (no undo step) and says so; it never reads as "nothing
// found".
RedactionNotice applyRedaction(EditorDocument& doc, const SensitiveData::Result& found);

// Waits for `search` without blocking, applies it to `doc` on doc's thread and hands the notice
// to `done`. A cancelled search counts as a failed one. Nothing happens once doc is gone.
void applyWhenFound(EditorDocument* doc, QFuture<SensitiveData::Result> search,
                    std::function<void(const RedactionNotice&)> done);

}  // namespace kx
