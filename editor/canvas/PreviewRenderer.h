#pragma once
// Renders the framed backdrop preview off the UI thread. Requests carry a generation; at
// most one render runs at a time, a request that was overtaken before it started is never
// rendered, and only the newest request's result is reported.

#include "editor/BeautifySettings.h"

#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QTimer>
#include <functional>
#include <optional>

namespace kx {

class PreviewRenderer : public QObject {
    Q_OBJECT

public:
    struct Request {
        QImage base;
        BeautifySettings settings;
        double scale = 1;
        int generation = 0;
    };
    struct Result {
        QImage image;
        QPointF origin;  // top-left corner of the base inside the framed image
        int generation = 0;
    };

    explicit PreviewRenderer(QObject* parent = nullptr);
    ~PreviewRenderer() override;

    // Queues a render after `delayMs`; replaces any request that has not started yet.
    void request(const Request& request, int delayMs);
    // Forgets the waiting request; a running render finishes but is not reported.
    void cancel();

    // The framed image and the base's position in it (runs on any thread).
    static Result render(const Request& request);

    bool isRendering() const { return running_; }
    // How many renders were started (for tests of the skipping).
    int startedCount() const { return started_; }
    // Runs on the worker before each render; tests hold a render there to send requests while
    // it runs.
    void setRenderGate(std::function<void()> gate) { gate_ = std::move(gate); }

Q_SIGNALS:
    void rendered(const kx::PreviewRenderer::Result& result);

private:
    void startIfReady();
    void finished();

    std::optional<Request> waiting_;
    int newest_ = -1;  // generation of the newest request, -1 after cancel
    bool running_ = false;
    int started_ = 0;
    QTimer delay_;
    QFutureWatcher<Result> watcher_;
    std::function<void()> gate_;
};

}  // namespace kx
