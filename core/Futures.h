#pragma once
// A future's result handed to a QObject on its own thread, safely even when the object goes
// first. QFuture::then(context, …) reads the context from the thread that finished the future,
// so a context destroyed meanwhile can still be sent the call: a crash, now and then, after a
// window or a field was closed while its keyring read or file check was out. Here a watcher
// owned by the context takes the result; it goes with the context, and the function never runs.
//
//   continueIn(this, Keychain::getAsync(account), [this](const std::optional<QString>& v) { … });
//
// The returned future has the function's result; it is cancelled when the context went first
// or the future was cancelled.
#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <memory>
#include <type_traits>

namespace kx {

template <typename T, typename F>
auto continueIn(QObject* context, const QFuture<T>& future, F&& fn)
{
    using R = std::conditional_t<std::is_void_v<T>, std::invoke_result<F>, std::invoke_result<F, T>>::type;
    auto promise = std::make_shared<QPromise<R>>();
    promise->start();
    QFuture<R> out = promise->future();
    auto* watcher = new QFutureWatcher<T>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, promise, fn = std::forward<F>(fn)]() mutable {
                         watcher->deleteLater();
                         const QFuture<T> done = watcher->future();
                         bool hasResult = !done.isCanceled();
                         if constexpr (!std::is_void_v<T>)
                             hasResult = hasResult && done.resultCount() > 0;
                         if (!hasResult) {
                             promise->future().cancel();
                         } else if constexpr (std::is_void_v<T> && std::is_void_v<R>) {
                             fn();
                         } else if constexpr (std::is_void_v<T>) {
                             promise->addResult(fn());
                         } else if constexpr (std::is_void_v<R>) {
                             fn(done.result());
                         } else {
                             promise->addResult(fn(done.result()));
                         }
                         promise->finish();
                     });
    watcher->setFuture(future);
    return out;
}

}  // namespace kx
