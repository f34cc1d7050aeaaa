#pragma once
// A small stand-in for the editor window: hosts a canvas in its scroll area, carries out
// the commands the canvas asks for and counts them; plus helpers that send pointer and key
// events straight to the canvas in image-pixel coordinates.

#include "../EditorTestPages.h"
#include "editor/canvas/CanvasCommands.h"
#include "editor/canvas/CanvasScrollArea.h"
#include "editor/canvas/CanvasView.h"
#include "editor/document/EditorDocument.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

namespace kx::test {

class CanvasHost : public QWidget, public CanvasCommands {
public:
    explicit CanvasHost(std::shared_ptr<EditorDocument> doc, QSize size = QSize(900, 700))
        : doc_(doc), canvas(new CanvasView(doc)), scroll(new CanvasScrollArea(canvas, this))
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(scroll);
        canvas->setCommands(this);
        resize(size);
    }

    EditorDocument& doc() override { return *doc_; }
    void copy(CopyMode mode) override
    {
        ++copies;
        lastCopyMode = mode;
    }
    void cmdSave() override { ++saves; }
    void cmdZoom(double factor) override
    {
        scroll->zoomBy(factor);
        doc_->setZoom(scroll->magnification());
    }
    void cmdZoomFit(double maxZoom) override
    {
        ++fits;
        scroll->zoomToFit(maxZoom);
        doc_->setZoom(scroll->magnification());
    }
    void cmdZoomActual() override
    {
        scroll->zoomActual();
        doc_->setZoom(1.0);
    }
    void commitToHistory() override { ++commits; }
    void pin(const QImage& image, double) override { pinned = image; }
    void saveFailed(const QString& message) override { saveFailures.append(message); }

    std::shared_ptr<EditorDocument> doc_;
    CanvasView* canvas;
    CanvasScrollArea* scroll;
    int copies = 0;
    int saves = 0;
    int fits = 0;
    int commits = 0;
    CopyMode lastCopyMode = CopyMode::copy;
    QImage pinned;
    QStringList saveFailures;
};

inline std::shared_ptr<EditorDocument> makeDoc(int w = 400, int h = 300, double scale = 1.0)
{
    return std::make_shared<EditorDocument>(plainCapture(w, h, scale));
}

// Sends events to the canvas at image-pixel positions.
class Pointer {
public:
    explicit Pointer(CanvasView* canvas) : canvas_(canvas) {}

    void press(QPointF image, Qt::KeyboardModifiers mods = {})
    {
        send(QEvent::MouseButtonPress, image, mods, Qt::LeftButton);
    }
    void doubleClick(QPointF image, Qt::KeyboardModifiers mods = {})
    {
        send(QEvent::MouseButtonDblClick, image, mods, Qt::LeftButton);
    }
    void move(QPointF image, Qt::KeyboardModifiers mods = {})
    {
        send(QEvent::MouseMove, image, mods, Qt::LeftButton);
    }
    void release(QPointF image, Qt::KeyboardModifiers mods = {})
    {
        send(QEvent::MouseButtonRelease, image, mods, Qt::NoButton);
    }
    // Press, a few intermediate moves, release.
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers mods = {})
    {
        press(from, mods);
        for (int i = 1; i <= 4; ++i)
            move(from + (to - from) * i / 4.0, mods);
        release(to, mods);
    }
    void click(QPointF at, Qt::KeyboardModifiers mods = {})
    {
        press(at, mods);
        release(at, mods);
    }

private:
    void send(QEvent::Type type, QPointF image, Qt::KeyboardModifiers mods, Qt::MouseButtons buttons)
    {
        const QPointF local = canvas_->toWidget(image);
        const QPointF global = canvas_->mapToGlobal(local);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, local, local, global, button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : buttons, mods);
        QApplication::sendEvent(canvas_, &e);
    }
    CanvasView* canvas_;
};

inline void key(QWidget* target, int key, Qt::KeyboardModifiers mods = {}, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(target, &release);
}

// Lets the canvas follow queued document changes.
inline void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// A shown 400 x 300 document in a host, with a pointer on its canvas.
struct CanvasFixture : ::testing::Test {
    std::shared_ptr<EditorDocument> doc = makeDoc(400, 300);
    std::unique_ptr<CanvasHost> host = std::make_unique<CanvasHost>(doc);
    CanvasView* canvas = host->canvas;
    Pointer mouse{canvas};

    void SetUp() override
    {
        host->show();
        settle();
    }
    EditorDocument& d() { return *doc; }
    void use(ToolKind t)
    {
        d().setTool(t);
        settle();
    }
};

}  // namespace kx::test
