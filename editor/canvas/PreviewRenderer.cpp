#include "editor/canvas/PreviewRenderer.h"

#include "editor/Exporter.h"

#include <QtConcurrent/QtConcurrentRun>

namespace kx {

PreviewRenderer::PreviewRenderer(QObject* parent) : QObject(parent)
{
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, &PreviewRenderer::startIfReady);
    connect(&watcher_, &QFutureWatcher<Result>::finished, this, &PreviewRenderer::finished);
}

PreviewRenderer::~PreviewRenderer()
{
    // The worker only holds values; let it finish without anyone listening.
    watcher_.disconnect(this);
}

PreviewRenderer::Result PreviewRenderer::render(const Request& request)
{
    Result r;
    r.generation = request.generation;
    r.image = Exporter::beautify(request.base, request.settings, request.scale);
    if (r.image.cacheKey() != request.base.cacheKey())
        r.origin = frameLayout(request.base.size(), request.settings, request.scale).origin();
    return r;
}

void PreviewRenderer::request(const Request& request, int delayMs)
{
    waiting_ = request;
    newest_ = request.generation;
    delay_.start(std::max(delayMs, 0));
}

void PreviewRenderer::cancel()
{
    waiting_.reset();
    newest_ = -1;
    delay_.stop();
}

void PreviewRenderer::startIfReady()
{
    if (running_ || delay_.isActive() || !waiting_)
        return;
    const Request next = *waiting_;
    waiting_.reset();
    running_ = true;
    ++started_;
    watcher_.setFuture(QtConcurrent::run([next, gate = gate_] {
        if (gate)
            gate();
        return render(next);
    }));
}

void PreviewRenderer::finished()
{
    running_ = false;
    const Result result = watcher_.result();
    if (result.generation == newest_)
        Q_EMIT rendered(result);
    startIfReady();
}

}  // namespace kx
