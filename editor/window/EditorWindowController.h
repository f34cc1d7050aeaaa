#pragma once
// One editor window for one image: owns the document, canvas, scroll view and content,
// sizes the window on the screen under the pointer, mirrors the magnification into the
// document's zoom, carries out the canvas's commands and the header's actions, and
// writes the edited image back to its history entry. Open editors are kept in open();
// closing commits, unregisters and deletes the controller. Main thread only.
//
//   EditorWindowController::open(capture, entry.id);

#include "core/CaptureResult.h"
#include "editor/canvas/CanvasCommands.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/EditorActions.h"
#include "editor/window/EditorServices.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

class QWidget;

namespace kx {

class CanvasScrollArea;
class CanvasView;
class EditorRootView;

// Where one of several editors opened together sits among them.
struct EditorCascade {
    int index = 0;
    int count = 1;
};

class EditorWindowController : public QObject, public CanvasCommands {
    Q_OBJECT

public:
    // Creates, registers and shows an editor; callers may ignore the result. An entry that
    // already has an open editor brings that editor to the front instead: two editors on one
    // image would write over each other's work.
    static EditorWindowController* open(const CaptureResult& capture, const QUuid& entryID = QUuid(),
                                        const EditorServices& services = EditorServices::current());
    // Editor `index` of `count` opened together (files handed over at once): each opens a step
    // down and right of the one before, so that every one of them can be seen.
    static EditorWindowController* open(const CaptureResult& capture, const QUuid& entryID,
                                        EditorCascade cascade,
                                        const EditorServices& services = EditorServices::current());
    static const QList<EditorWindowController*>& openEditors();
    // Commits every open editor, then flushes the history: the quit path calls this before
    // anything else touches the store.
    static void commitAllBeforeQuit();

    EditorWindowController(const CaptureResult& capture, const QUuid& entryID, const EditorServices& services,
                           EditorCascade cascade = {});
    ~EditorWindowController() override;

    QWidget* window() const { return window_; }
    CanvasView* canvas() const { return canvas_; }
    CanvasScrollArea* scrollView() const { return scroll_; }
    EditorRootView* root() const { return root_; }
    const EditorActions& actions() const { return actions_; }
    const std::shared_ptr<EditorDocument>& document() const { return doc_; }
    const EditorServices& services() const { return services_; }

    // Centres the window, raises it, then fits the image and focuses the canvas.
    void show();
    // Restores, raises and activates the window as it is.
    void bringToFront();
    // The history entry the edits are written back to: the document's, or the entry of its
    // own that the user chose to keep the edits in. Null: none.
    QUuid historyTarget() const { return writeTo_; }

    // CanvasCommands.
    EditorDocument& doc() override { return *doc_; }
    void copy(CopyMode mode) override;
    void cmdSave() override;
    void cmdZoom(double factor) override;
    void cmdZoomFit(double maxZoom) override;
    void cmdZoomActual() override;
    void commitToHistory() override;
    void pin(const QImage& image, double scale) override;
    void saveFailed(const QString& message) override;

    // The other commands of the header.
    void saveAs();
    void pinFinished();
    void copy1x();
    void share(QWidget* anchor);
    void cmdUpload();
    void cmdOCR();
    void cmdRedact();
    void addCapture(std::optional<EditorDocument::AddEdge> edge);
    void palette();

Q_SIGNALS:
    // A save ended: the file written, or an empty path when it failed.
    void saveFinished(const QString& path);
    // A copy reached the clipboard (true) or failed.
    void copyFinished(bool ok);
    // The window closed and the editor is about to go.
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class EditorWindow;
    void buildWindow(const CaptureResult& capture, EditorCascade cascade);
    void fillActions();
    void installKeys();
    void windowWillClose();
    void syncZoom();
    // The write-back; `mayAsk` false (at quit) keeps both when the entry changed meanwhile.
    void commit(bool mayAsk);
    // Write-backs to each history entry by the editors of this process, the only writers of
    // an entry's image after its capture.
    static QHash<QUuid, quint64>& writeBacks();
    // The finished (with backdrop) or flattened image; null when it could not be made.
    QImage render(bool includeBeautify);

    std::shared_ptr<EditorDocument> doc_;
    EditorServices services_;
    QWidget* window_ = nullptr;
    CanvasView* canvas_ = nullptr;
    CanvasScrollArea* scroll_ = nullptr;
    EditorRootView* root_ = nullptr;
    EditorActions actions_;
    bool closing_ = false;
    QUuid writeTo_;
    // The count of write-backs to writeTo_ that this editor has seen.
    quint64 seenWrites_ = 0;
};

}  // namespace kx
