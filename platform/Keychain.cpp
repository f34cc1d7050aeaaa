#include "platform/Keychain.h"

#include "platform/SecretService.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <mutex>

namespace kx {

namespace {

std::atomic<SecretStore*> installed{nullptr};

// The legacy hub token is dropped once per process, in the background, the first time the
// keyring is used for anything else, so start-up never waits for the keyring.
void dropLegacyTokenOnce(const QString& account)
{
    static std::once_flag once;
    if (account == QLatin1String("hub.token"))
        return;
    std::call_once(once, [] { SecretService::shared().clearInBackground(QStringLiteral("hub.token")); });
}

// One thread keeps the calls in order: a set followed by a get reads what was set.
QThreadPool& keyringThread()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(-1);
        p->setObjectName(QStringLiteral("kx-keyring"));
        return p;
    }();
    return *pool;
}

}  // namespace

QFuture<std::optional<QString>> Keychain::getAsync(const QString& account)
{
    return QtConcurrent::run(&keyringThread(), [account] { return get(account); });
}

QFuture<bool> Keychain::setAsync(const QString& account, const QString& value)
{
    return QtConcurrent::run(&keyringThread(), [account, value] { return set(account, value); });
}

void Keychain::setStore(SecretStore* store)
{
    installed.store(store);
}

bool Keychain::set(const QString& account, const QString& value)
{
    if (SecretStore* s = installed.load())
        return s->set(account, value);
    dropLegacyTokenOnce(account);
    return SecretService::shared().set(account, value);
}

std::optional<QString> Keychain::get(const QString& account)
{
    if (SecretStore* s = installed.load())
        return s->get(account);
    dropLegacyTokenOnce(account);
    return SecretService::shared().get(account);
}

}  // namespace kx
