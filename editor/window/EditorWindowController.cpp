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

}  // namespace

// The top-level window; closing it (window manager, Ctrl+W, copy-and-close) ends the editor.
class EditorWindow : public QWidget {
public:
    explicit EditorWindow(EditorWindowController* owner) : m_owner(owner) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        if (m_owner)
            m_owner->windowWillClose();
    }

private:
    QPointer<EditorWindowController> m_owner;
};

EditorWindowController* EditorWindowController::open(const CaptureResult& capture, const QUuid& entryID,
                                                     const EditorServices& services)
{
    // Quitting commits every open editor and then flushes, in that order, whatever else
    // listens to the quit.
    static bool quitHooked = false;
    if (!quitHooked && QCoreApplication::instance()) {
        quitHooked = true;
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &commitAllBeforeQuit);
    }
    auto* controller = new EditorWindowController(capture, entryID, services);
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
        c->commitToHistory();
        if (c->m_services.history)
            stores.insert(c->m_services.history);
    }
    // The store's own quit flush may already have run: flushing again writes these too.
    for (HistoryStore* store : std::as_const(stores))
        store->flush();
}

EditorWindowController::EditorWindowController(const CaptureResult& capture, const QUuid& entryID,
                                               const EditorServices& services)
    : m_doc(std::make_shared<EditorDocument>(capture, entryID)), m_services(services)
{
    // Notices and the clipboard are called unconditionally.
    if (!m_services.toast)
        m_services.toast = [](const QString&, const QString&, const QString&) {};
    if (!m_services.setClipboard)
        m_services.setClipboard = [](QMimeData* data) { delete data; };
    buildWindow(capture);
}

EditorWindowController::~EditorWindowController()
{
    registry().removeAll(this);
    delete m_window;
}

void EditorWindowController::buildWindow(const CaptureResult& capture)
{
    m_window = new EditorWindow(this);
    m_canvas = new CanvasView(m_doc);
    m_scroll = new CanvasScrollArea(m_canvas);
    m_canvas->setCommands(this);
    m_scroll->viewport()->installEventFilter(this);

    // Sized on the screen under the pointer, whatever the primary screen is.
    QScreen* screen = screenUnderPointer();
    const QRect visible = screen ? screen->availableGeometry() : QRect(0, 0, 1440, 875);
    const QSizeF content = editor::contentSize(capture.image.size(), capture.scale, visible.size());
    const QSize size(int(std::lround(content.width())), int(std::lround(content.height())));
    m_window->setMinimumSize(editor::kMinimumWindow.boundedTo(visible.size()));
    m_window->resize(size);
    m_window->move(visible.center() - QPoint(size.width() / 2, size.height() / 2));
    m_window->setWindowTitle(editor::windowTitle(capture.kind, capture.image.size()));

    fillActions();
    EditorRootView::Parts parts;
    parts.header.undo = [c = QPointer(m_canvas)] {
        if (c)
            c->perform(CanvasView::Action::undo);
    };
    parts.header.redo = [c = QPointer(m_canvas)] {
        if (c)
            c->perform(CanvasView::Action::redo);
    };
    parts.header.addCapture = bool(m_services.captureArea);
    parts.header.redact = bool(m_services.findSensitive);
    parts.header.ocr = bool(m_services.recognizeText);
    parts.header.palette = bool(m_services.palette);
    parts.header.ai = bool(m_services.makeAIPanel);
    parts.header.upload = bool(m_services.upload);
    parts.header.pin = bool(m_services.pin);
    if (m_services.help)
        parts.help = [help = m_services.help] { help(QStringLiteral("editor")); };
    parts.header.beautifyContent = [doc = m_doc] { return new BeautifyPopover(doc.get()); };
    parts.inspector = new InspectorBar(m_doc.get());
    if (m_services.makeAIPanel)
        parts.aiPanel = [this] { return m_services.makeAIPanel(*m_doc, nullptr); };
    m_root = new EditorRootView(*m_doc, m_scroll, m_actions, parts);
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_root);

    // The document's zoom mirrors the magnification after zooming, scrolling and resizing.
    connect(m_scroll, &CanvasScrollArea::magnificationChanged, this, &EditorWindowController::syncZoom);
    connect(m_scroll->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &EditorWindowController::syncZoom);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &EditorWindowController::syncZoom);
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
    m_actions.copy = [self](CopyMode mode) {
        if (self)
            self->copy(mode);
    };
    m_actions.save = bind(&EditorWindowController::cmdSave);
    m_actions.saveAs = bind(&EditorWindowController::saveAs);
    m_actions.pin = bind(&EditorWindowController::pinFinished);
    m_actions.upload = bind(&EditorWindowController::cmdUpload);
    m_actions.ocr = bind(&EditorWindowController::cmdOCR);
    m_actions.redact = bind(&EditorWindowController::cmdRedact);
    m_actions.share = [self](QWidget* anchor) {
        if (self && anchor)
            self->share(anchor);
    };
    m_actions.fit = [self] {
        if (self)
            self->cmdZoomFit(4);
    };
    m_actions.actual = bind(&EditorWindowController::cmdZoomActual);
    m_actions.zoom = [self](double factor) {
        if (self)
            self->cmdZoom(factor);
    };
    m_actions.copy1x = bind(&EditorWindowController::copy1x);
    m_actions.palette = bind(&EditorWindowController::palette);
    m_actions.revealHistory = m_services.revealHistory;
    m_actions.addCapture = [self](std::optional<EditorDocument::AddEdge> edge) {
        if (self)
            self->addCapture(edge);
    };
}

void EditorWindowController::installKeys()
{
    for (const EditorKeyBinding& binding : editorKeys()) {
        auto* action = new QAction(binding.title, m_window);
        action->setShortcuts(binding.sequences);
        action->setShortcutContext(Qt::WindowShortcut);
        const EditorKey key = binding.key;
        connect(action, &QAction::triggered, this, [this, key] {
            switch (key) {
                case EditorKey::undo:
                    m_canvas->perform(CanvasView::Action::undo);
                    break;
                case EditorKey::redo:
                    m_canvas->perform(CanvasView::Action::redo);
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
                    if (m_services.pin)
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
                    m_canvas->perform(CanvasView::Action::bringToFront);
                    break;
                case EditorKey::sendToBack:
                    m_canvas->perform(CanvasView::Action::sendToBack);
                    break;
                case EditorKey::close:
                    m_window->close();
                    break;
            }
        });
        m_window->addAction(action);
    }
}

void EditorWindowController::show()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // The fit needs the laid-out viewport.
    QTimer::singleShot(0, this, [this] {
        cmdZoomFit(1);
        m_canvas->setFocus(Qt::OtherFocusReason);
    });
}

bool EditorWindowController::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+wheel zooms about the pointer, as a pinch does.
    if (event->type() == QEvent::Wheel && watched == m_scroll->viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const double steps = wheel->angleDelta().y() / 120.0;
            if (steps != 0)
                m_scroll->setMagnification(m_scroll->magnification() * std::pow(1.1, steps),
                                           wheel->position());
            syncZoom();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void EditorWindowController::syncZoom()
{
    m_doc->setZoom(m_scroll->magnification());
}

void EditorWindowController::cmdZoom(double factor)
{
    m_scroll->setMagnification(std::clamp(factor * m_scroll->magnification(),
                                          CanvasScrollArea::kMinMagnification,
                                          CanvasScrollArea::kMaxMagnification));
    syncZoom();
}

void EditorWindowController::cmdZoomFit(double maxZoom)
{
    m_scroll->zoomToFit(maxZoom);
    syncZoom();
}

void EditorWindowController::cmdZoomActual()
{
    m_scroll->zoomActual();
    syncZoom();
}

void EditorWindowController::windowWillClose()
{
    if (m_closing)
        return;
    m_closing = true;
    commitToHistory();
    m_scroll->viewport()->removeEventFilter(this);
    registry().removeAll(this);
    Q_EMIT closed();
    deleteLater();
}

}  // namespace kx
