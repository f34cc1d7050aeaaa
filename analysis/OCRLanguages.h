#pragma once
// Which Tesseract models a recognition loads: the user's codes (en, de-DE, hu_HU, hun...)
// mapped onto the installed language data, or an automatic choice from the system languages.

#include <QString>
#include <QStringList>

namespace kx {

struct OCRLanguages {
    // The folder holding *.traineddata: $TESSDATA_PREFIX when set, else Debian's folder.
    static QString dataDir();
    // Installed models in the folder's (alphabetical) order, without "osd" and "equ".
    static QStringList installed(const QString& dataDir = OCRLanguages::dataDir());

    // The Tesseract model for one user code, or an empty text when none is installed for it.
    static QString tesseractCode(const QString& userCode, const QStringList& installed);

    // The models to load. Unknown and empty user codes are dropped; when codes were given but
    // none is known, English, German and Hungarian. Without codes the automatic choice applies: the installed
    // models whose language is one of the preferred ones (in installed order), with English added; when
    // nothing matches, English, German and Hungarian (whichever are installed), else every installed model.
    static QStringList resolve(const QStringList& userCodes, const QStringList& preferred,
                               const QStringList& installed);

    // resolve() over Prefs::ocrLanguages(), the system's preferred languages and installed().
    static QStringList current();
};

}  // namespace kx
