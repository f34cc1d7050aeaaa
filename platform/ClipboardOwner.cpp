#include "platform/ClipboardOwner.h"

#include <QtGui/qguiapplication_platform.h>
#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QPromise>
#include <QTimer>
#include <memory>

#include <xcb/xcb.h>

namespace kx {

namespace {

xcb_connection_t* qtConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return a;
}

// Changes an empty property of the root window and runs the waiting steps once Qt has the
// time of that change: Qt's own event handling takes its time from the same PropertyNotify,
// right after this filter has seen it.
class FreshTime : public QObject, public QAbstractNativeEventFilter {
public:
    static FreshTime& shared()
    {
        static auto* instance = new FreshTime;
        return *instance;
    }

    void then(xcb_connection_t* c, std::function<void()> step)
    {
        waiting_.push_back(std::move(step));
        if (waiting_.size() > 1)
            return;
        if (!atom_)
            atom_ = atom(c, "_KAPTORIX_TIMESTAMP");
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_change_property(c, XCB_PROP_MODE_APPEND, root_, atom_, XCB_ATOM_INTEGER, 32, 0, nullptr);
        xcb_flush(c);
        // A server that never answers must not keep the capture waiting.
        timeout_.start(2000);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t" || waiting_.empty())
            return false;
        const auto* ev = static_cast<const xcb_generic_event_t*>(message);
        if ((ev->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto* pn = reinterpret_cast<const xcb_property_notify_event_t*>(ev);
        if (pn->atom == atom_ && pn->window == root_)
            QMetaObject::invokeMethod(this, &FreshTime::run, Qt::QueuedConnection);
        return false;
    }

private:
    FreshTime()
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
        timeout_.setSingleShot(true);
        connect(&timeout_, &QTimer::timeout, this, &FreshTime::run);
    }

    void run()
    {
        timeout_.stop();
        auto steps = std::move(waiting_);
        waiting_.clear();
        for (auto& step : steps)
            step();
    }

    std::vector<std::function<void()>> waiting_;
    xcb_atom_t atom_ = XCB_ATOM_NONE;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    QTimer timeout_;
};

}  // namespace

bool ClipboardOwner::ownsClipboard()
{
    xcb_connection_t* c = qtConnection();
    if (!c)
        return QGuiApplication::clipboard()->ownsClipboard();
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, "CLIPBOARD")), nullptr);
    const xcb_window_t owner = reply ? reply->owner : XCB_WINDOW_NONE;
    free(reply);
    // Qt's selection window was made by Qt's connection: its id carries that client's base.
    const xcb_setup_t* setup = xcb_get_setup(c);
    return owner != XCB_WINDOW_NONE && (owner & ~setup->resource_id_mask) == setup->resource_id_base;
}

QFuture<bool> ClipboardOwner::claim(const std::function<QMimeData*()>& make)
{
    QGuiApplication::clipboard()->setMimeData(make());
    xcb_connection_t* c = qtConnection();
    if (!c || ownsClipboard())
        return QtFuture::makeReadyFuture(ownsClipboard());
    auto promise = std::make_shared<QPromise<bool>>();
    promise->start();
    QFuture<bool> result = promise->future();
    FreshTime::shared().then(c, [promise, make] {
        QGuiApplication::clipboard()->setMimeData(make());
        promise->addResult(ownsClipboard());
        promise->finish();
    });
    return result;
}

}  // namespace kx
