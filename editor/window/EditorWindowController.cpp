#include "editor/window/EditorWindowController.h"

#include "capture/history/HistoryStore.h"
#include "core/Prefs.h"
#include "core/ScreenGeometry.h"
#include "editor/canvas/CanvasScrollArea.h"
#include "editor/canvas/CanvasView.h"
#include "editor/window/EditorKeys.h"
#include "editor/window/EditorMetrics.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/controls/BeautifyPopover.h"
#include "editor/window/controls/InspectorBar.h"
#include "ui/WheelGuard.h"
#include "ui/WindowPolicy.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

namespace kx {

namespace {

QList<EditorWindowController*>& registry()
{
    static QList<EditorWindowController*> list;
    return list;
}

// The frames' top-left corners of the editors that were open on the work area when the first
// editor of the latest cascade was made: the rest of that cascade steps from the same place.
QList<QPoint>& openWhenCascadeBegan()
{
    static QList<QPoint> corners;
    return corners;
}

}  // namespace

// The top-level window; closing it (window manager, Ctrl+W, copy-and-close) ends the editor.
class EditorWindow : public QWidget {
public:
    explicit EditorWindow(EditorWindowController* owner) : owner_(owner) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        if (owner_)
            owner_->windowWillClose();
    }

private:
    QPointer<EditorWindowController> owner_;
};

EditorWindowController* EditorWindowController::open(const CaptureResult& capture, const QUuid& entryID,
                                                     const EditorServices& services)
{
    return open(capture, entryID, EditorCascade{}, services);
}

EditorWindowController* EditorWindowController::open(const CaptureResult& capture, const QUuid& entryID,
                                                     EditorCascade cascade, const EditorServices& services)
{
    // Quitting commits every open editor and then flushes, in that order, whatever else
    // listens to the quit.
    static bool quitHooked = false;
    if (!quitHooked && QCoreApplication::instance()) {
        quitHooked = true;
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &commitAllBeforeQuit);
    }
    if (!entryID.isNull())
        for (EditorWindowController* c : std::as_const(registry()))
            if (!c->closing_ && c->writeTo_ == entryID) {
                c->bringToFront();
                return c;
            }
    auto* controller = new EditorWindowController(capture, entryID, services, cascade);
    registry().append(controller);
    controller->show();
    return controller;
}

const QList<EditorWindowController*>& EditorWindowController::openEditors()
{
    return registry();
}

void EditorWindowController::commitAllBeforeQuit()
{
    QSet<HistoryStore*> stores;
    for (EditorWindowController* c : std::as_const(registry())) {
        c->commit(false);
        if (c->services_.history)
            stores.insert(c->services_.history);
    }
    // The store's own quit flush may already have run: flushing again writes these too.
    for (HistoryStore* store : std::as_const(stores))
        store->flush();
}

EditorWindowController::EditorWindowController(const CaptureResult& capture, const QUuid& entryID,
                                               const EditorServices& services, EditorCascade cascade)
    : doc_(std::make_shared<EditorDocument>(capture, entryID)), services_(services), writeTo_(entryID)
{
    seenWrites_ = writeBacks().value(entryID);
    // Notices and the clipboard are called unconditionally.
    if (!services_.toast)
        services_.toast = [](const QString&, const QString&, const QString&) {};
    if (!services_.setClipboard)
        services_.setClipboard = [](QMimeData* data) { delete data; };
    buildWindow(capture, cascade);
}

EditorWindowController::~EditorWindowController()
{
    registry().removeAll(this);
    delete window_;
}

void EditorWindowController::buildWindow(const CaptureResult& capture, EditorCascade cascade)
{
    window_ = new EditorWindow(this);
    canvas_ = new CanvasView(doc_);
    scroll_ = new CanvasScrollArea(canvas_);
    canvas_->setCommands(this);
    scroll_->viewport()->installEventFilter(this);

    // Sized on the screen under the pointer, whatever the primary screen is.
    QScreen* screen = screenUnderPointer();
    const QRect visible = screen ? screen->availableGeometry() : QRect(0, 0, 1440, 875);
    const QSizeF content = editor::contentSize(capture.image.size(), capture.scale, visible.size());
    window_->setMinimumSize(editor::kMinimumWindow);
    window_->resize(int(std::lround(content.width())), int(std::lround(content.height())));
    // Shrinks the window and its minimum to the work area less the frame, then centres it there,
    // or, one of several opened together, puts it on their cascade at the size it has alone.
    WindowPolicy::Placement place;
    if (cascade.count > 1) {
        if (cascade.index == 0) {
            QList<QPoint>& open = openWhenCascadeBegan();
            open.clear();
            for (const EditorWindowController* c : std::as_const(registry()))
                if (!c->closing_ && c->window_ && c->window_->isVisible() &&
                    visible.intersects(c->window_->frameGeometry()))
                    open << c->window_->frameGeometry().topLeft();
        }
        place = [index = cascade.index, count = cascade.count, open = openWhenCascadeBegan()](
                    const QSize& frame, const QRect& area) {
            return editor::cascadeTopLeft(frame, area, index, count, open);
        };
    }
    WindowPolicy::centre(window_, screen, std::move(place));
    window_->setWindowTitle(editor::windowTitle(capture.kind, capture.image.size()));

    fillActions();
    EditorRootView::Parts parts;
    parts.header.undo = [c = QPointer(canvas_)] {
        if (c)
            c->perform(CanvasView::Action::undo);
    };
    parts.header.redo = [c = QPointer(canvas_)] {
        if (c)
            c->perform(CanvasView::Action::redo);
    };
    parts.header.addCapture = bool(services_.captureArea);
    parts.header.redact = bool(services_.findSensitive);
    parts.header.ocr = bool(services_.recognizeText);
    parts.header.palette = bool(services_.palette);
    parts.header.ai = bool(services_.makeAIPanel);
    parts.header.upload = bool(services_.upload);
    parts.header.pin = bool(services_.pin);
    if (services_.help)
        parts.help = [help = services_.help] { help(QStringLiteral("editor")); };
    parts.header.beautifyContent = [doc = doc_] { return new BeautifyPopover(doc.get()); };
    // Made inside the window: the bar shows itself as it is built, and without a parent it
    // would flash up as a window of its own (and take the focus) until the canvas adopts it.
    parts.inspector = new InspectorBar(doc_.get(), window_);
    if (services_.makeAIPanel)
        parts.aiPanel = [this] { return services_.makeAIPanel(*doc_, nullptr); };
    root_ = new EditorRootView(*doc_, scroll_, actions_, parts);
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(root_);
    // The inspector's sliders and the AI panel's picker take the wheel only once focused.
    WheelGuard::install(window_);

    // The document's zoom mirrors the magnification after zooming, scrolling and resizing.
    connect(scroll_, &CanvasScrollArea::magnificationChanged, this, &EditorWindowController::syncZoom);
    connect(scroll_->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &EditorWindowController::syncZoom);
    connect(scroll_->verticalScrollBar(), &QScrollBar::valueChanged, this, &EditorWindowController::syncZoom);
    installKeys();
}

void EditorWindowController::fillActions()
{
    const QPointer<EditorWindowController> self(this);
    const auto bind = [self](void (EditorWindowController::*member)()) {
        return [self, member] {
            if (self)
                (self.data()->*member)();
        };
    };
    actions_.copy = [self](CopyMode mode) {
        if (self)
            self->copy(mode);
    };
    actions_.save = bind(&EditorWindowController::cmdSave);
    actions_.saveAs = bind(&EditorWindowController::saveAs);
    actions_.pin = bind(&EditorWindowController::pinFinished);
    actions_.upload = bind(&EditorWindowController::cmdUpload);
    actions_.ocr = bind(&EditorWindowController::cmdOCR);
    actions_.redact = bind(&EditorWindowController::cmdRedact);
    actions_.share = [self](QWidget* anchor) {
        if (self && anchor)
            self->share(anchor);
    };
    actions_.fit = [self] {
        if (self)
            self->cmdZoomFit(4);
    };
    actions_.actual = bind(&EditorWindowController::cmdZoomActual);
    actions_.zoom = [self](double factor) {
        if (self)
            self->cmdZoom(factor);
    };
    actions_.copy1x = bind(&EditorWindowController::copy1x);
    actions_.palette = bind(&EditorWindowController::palette);
    actions_.revealHistory = services_.revealHistory;
    actions_.addCapture = [self](std::optional<EditorDocument::AddEdge> edge) {
        if (self)
            self->addCapture(edge);
    };
}

void EditorWindowController::installKeys()
{
    for (const EditorKeyBinding& binding : editorKeys()) {
        auto* action = new QAction(binding.title, window_);
        action->setShortcuts(binding.sequences);
        action->setShortcutContext(Qt::WindowShortcut);
        const EditorKey key = binding.key;
        connect(action, &QAction::triggered, this, [this, key] {
            switch (key) {
                case EditorKey::undo:
                    canvas_->perform(CanvasView::Action::undo);
                    break;
                case EditorKey::redo:
                    canvas_->perform(CanvasView::Action::redo);
                    break;
                case EditorKey::copy:
                    copy(Prefs::copyMode());
                    break;
                case EditorKey::save:
                    cmdSave();
                    break;
                case EditorKey::saveAs:
                    saveAs();
                    break;
                case EditorKey::pin:
                    if (services_.pin)
                        pinFinished();
                    break;
                case EditorKey::zoomIn:
                    cmdZoom(1.25);
                    break;
                case EditorKey::zoomOut:
                    cmdZoom(0.8);
                    break;
                case EditorKey::zoomFit:
                    cmdZoomFit(4);
                    break;
                case EditorKey::zoomActual:
                    cmdZoomActual();
                    break;
                case EditorKey::bringToFront:
                    canvas_->perform(CanvasView::Action::bringToFront);
                    break;
                case EditorKey::sendToBack:
                    canvas_->perform(CanvasView::Action::sendToBack);
                    break;
                case EditorKey::close:
                    window_->close();
                    break;
            }
        });
        window_->addAction(action);
    }
}

void EditorWindowController::show()
{
    if (!window_)
        return;
    window_->show();
    window_->raise();
    window_->activateWindow();
    // The fit needs the laid-out viewport.
    QTimer::singleShot(0, this, [this] {
        cmdZoomFit(1);
        canvas_->setFocus(Qt::OtherFocusReason);
    });
}

void EditorWindowController::bringToFront()
{
    if (!window_)
        return;
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

bool EditorWindowController::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+wheel zooms about the pointer, as a pinch does.
    if (event->type() == QEvent::Wheel && watched == scroll_->viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const double steps = wheel->angleDelta().y() / 120.0;
            if (steps != 0)
                scroll_->setMagnification(scroll_->magnification() * std::pow(1.1, steps), wheel->position());
            syncZoom();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void EditorWindowController::syncZoom()
{
    doc_->setZoom(scroll_->magnification());
}

void EditorWindowController::cmdZoom(double factor)
{
    scroll_->setMagnification(std::clamp(factor * scroll_->magnification(),
                                         CanvasScrollArea::kMinMagnification,
                                         CanvasScrollArea::kMaxMagnification));
    syncZoom();
}

void EditorWindowController::cmdZoomFit(double maxZoom)
{
    scroll_->zoomToFit(maxZoom);
    syncZoom();
}

void EditorWindowController::cmdZoomActual()
{
    scroll_->zoomActual();
    syncZoom();
}

void EditorWindowController::windowWillClose()
{
    if (closing_)
        return;
    closing_ = true;
    commitToHistory();
    scroll_->viewport()->removeEventFilter(this);
    registry().removeAll(this);
    Q_EMIT closed();
    deleteLater();
}

}  // namespace kx
