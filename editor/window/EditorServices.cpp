#include "editor/window/EditorServices.h"

#include "analysis/OCRService.h"
#include "analysis/PaletteWindowController.h"
#include "analysis/ai/AIAnalysisModel.h"
#include "analysis/ai/AIPanel.h"
#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/Notices.h"
#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/document/EditorDocument.h"
#include "help/HelpWindowController.h"
#include "library/history/HistoryWindowController.h"
#include "library/pins/PinManager.h"
#include "library/upload/RemoteUploader.h"
#include "platform/FileManagerReveal.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPromise>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace kx {

namespace {

// Shared files live here until quit.
QString privateShareFolder()
{
    static std::unique_ptr<QTemporaryDir> dir;
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("kaptorix-share-XXXXXX")));
        if (auto* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, [] { dir.reset(); });
    }
    return dir && dir->isValid() ? dir->path() : QString();
}

}  // namespace

EditorServices EditorServices::live()
{
    EditorServices s;
    s.toast = [](const QString& title, const QString& subtitle, const QString& symbol) {
        // Failures stay longer, so the reason can be read.
        const double seconds = symbol == QLatin1String("exclamationmark.triangle.fill") ? 5 : 3;
        // Through the one place toasts are observed (the desktop tests read them).
        Notices::show(title, subtitle, symbol, seconds);
    };
    s.setClipboard = [](QMimeData* data) { QGuiApplication::clipboard()->setMimeData(data); };
    s.history = &HistoryStore::shared();
    s.replaceChangedEntry = [](QWidget* parent) {
        QMessageBox box(
            QMessageBox::Warning,
            kx::tr("This capture was changed in another window",
                   "Ezt a képet egy másik ablakban módosították",
                   "Diese Aufnahme wurde in einem anderen Fenster geändert"),
            kx::tr("Replace it with this editor's image, or keep both as separate captures?",
                   "Lecseréli erre a szerkesztő képére, vagy mindkettő külön képként maradjon?",
                   "Durch das Bild dieses Editors ersetzen oder beide als eigene Aufnahmen behalten?"),
            QMessageBox::NoButton, parent);
        QPushButton* replace =
            box.addButton(kx::tr("Replace", "Csere", "Ersetzen"), QMessageBox::DestructiveRole);
        QPushButton* keep =
            box.addButton(kx::tr("Keep Both", "Mindkettő marad", "Beide behalten"), QMessageBox::AcceptRole);
        box.setDefaultButton(keep);
        box.setEscapeButton(keep);
        box.exec();
        return box.clickedButton() == replace;
    };
    s.recognizeText = [](const QImage& image) { return OCRService::observations(image); };
    s.barcodes = [](const QImage& image) { return OCRService::barcodes(image); };
    s.findSensitive = [](const QImage& image) { return SensitiveData::find(image); };
    s.palette = [](const QImage& image) { PaletteWindowController::shared().show(image); };
    s.pin = [](const QImage& image, double scale) { PinManager::shared().pin(image, scale); };
    s.revealHistory = [] { HistoryWindowController::shared().show(); };
    s.help = [](const QString& topic) { HelpWindowController::shared().show(topic); };
    s.upload = [](const QImage& image, double scale, const QUuid& entry,
                  const std::optional<QString>& title) {
        RemoteUploader::upload(image, scale,
                               entry.isNull() ? std::nullopt : HistoryStore::shared().entry(entry), title);
    };
    s.captureArea = [] {
        auto promise = std::make_shared<QPromise<std::optional<CaptureResult>>>();
        promise->start();
        CaptureCoordinator::shared().captureAreaImage([promise](std::optional<CaptureResult> result) {
            promise->addResult(std::move(result));
            promise->finish();
        });
        return promise->future();
    };
    s.makeAIPanel = [](EditorDocument& doc, QWidget* parent) -> QWidget* {
        // The summary goes to the history entry the panel was opened for.
        auto model = AIAnalysisModel::create([](const QUuid& id, const QString& summary) {
            HistoryStore::shared().setAISummary(id, summary);
        });
        return new AIPanel(
            model, [&doc] { return doc.renderFinal(false); }, doc.historyID(),
            [&doc] { doc.setShowAI(false); }, parent);
    };
    s.revealFile = [](const QString& path) { revealInFileManager(path); };
    s.openFile = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    s.saveWithPanel = [](const QImage& image, double scale, SourceKind kind,
                         const std::optional<QString>& title, QWidget* parent) {
        return Exporter::saveWithPanel(image, scale, kind, title, parent);
    };
    s.saveFolder = [] { return Prefs::saveFolderURL(); };
    s.shareFolder = privateShareFolder;
    s.now = [] { return QDateTime::currentDateTime(); };
    return s;
}

EditorServices& EditorServices::current()
{
    static EditorServices services = live();
    return services;
}

}  // namespace kx
