#include "platform/Keychain.h"

#include "platform/SecretService.h"

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

}  // namespace

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
