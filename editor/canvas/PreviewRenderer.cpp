#include "editor/canvas/PreviewRenderer.h"

#include "editor/Exporter.h"

#include <QtConcurrent/QtConcurrentRun>

namespace kx {

PreviewRenderer::PreviewRenderer(QObject* parent) : QObject(parent)
{
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, &PreviewRenderer::startIfReady);
    connect(&m_watcher, &QFutureWatcher<Result>::finished, this, &PreviewRenderer::finished);
}

PreviewRenderer::~PreviewRenderer()
{
    // The worker only holds values; let it finish without anyone listening.
    m_watcher.disconnect(this);
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
    m_waiting = request;
    m_newest = request.generation;
    m_delay.start(std::max(delayMs, 0));
}

void PreviewRenderer::cancel()
{
    m_waiting.reset();
    m_newest = -1;
    m_delay.stop();
}

void PreviewRenderer::startIfReady()
{
    if (m_running || m_delay.isActive() || !m_waiting)
        return;
    const Request next = *m_waiting;
    m_waiting.reset();
    m_running = true;
    ++m_started;
    m_watcher.setFuture(QtConcurrent::run([next] { return render(next); }));
}

void PreviewRenderer::finished()
{
    m_running = false;
    const Result result = m_watcher.result();
    if (result.generation == m_newest)
        Q_EMIT rendered(result);
    startIfReady();
}

}  // namespace kx
