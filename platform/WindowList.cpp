#include "platform/WindowList.h"

#include "platform/XConnection.h"
#include "platform/XWindows.h"

#include <unistd.h>

namespace kx {

QList<WindowInfo> WindowList::filtered(const QList<WindowCandidate>& frontToBack, bool includeOwn,
                                       qint32 ownPid)
{
    constexpr int minimumEdge = 40;
    constexpr double minimumOpacity = 0.05;
    QList<WindowInfo> out;
    for (const WindowCandidate& c : frontToBack) {
        if (!c.normalLayer || !c.visible)
            continue;
        if (!includeOwn && c.info.pid == ownPid)
            continue;
        if (c.opacity < minimumOpacity)
            continue;
        if (c.info.frame.width() < minimumEdge || c.info.frame.height() < minimumEdge)
            continue;
        out.append(c.info);
    }
    return out;
}

std::optional<WindowInfo> WindowList::frontmostOf(const QList<WindowInfo>& frontToBack, quint32 activeId,
                                                  qint32 activePid)
{
    for (const WindowInfo& w : frontToBack) {
        if (activePid > 0 ? w.pid == activePid : w.id == activeId)
            return w;
    }
    return std::nullopt;
}

QList<WindowInfo> WindowList::onScreen(bool includeOwn)
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return {};
    auto lock = x->lock();
    QList<WindowCandidate> candidates;
    for (const XWindowRecord& rec : xwindows::records(*x))
        candidates.append(rec.candidate);
    return filtered(candidates, includeOwn, qint32(getpid()));
}

std::optional<WindowInfo> WindowList::frontmostAppWindow()
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return std::nullopt;
    std::optional<quint32> active;
    qint32 pid = 0;
    {
        auto lock = x->lock();
        active = xwindows::activeWindow(*x);
        if (!active)
            return std::nullopt;
        pid = qint32(x->pidOf(*active));
    }
    return frontmostOf(onScreen(true), *active, pid);
}

}  // namespace kx
