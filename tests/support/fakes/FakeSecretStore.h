#pragma once
// A keyring in memory; install it with Keychain::setStore(&store) and remove it with nullptr.
#include "platform/Keychain.h"

#include <QHash>
#include <QMutex>

namespace kx::test {

class FakeSecretStore : public SecretStore {
public:
    std::optional<QString> get(const QString& account) override
    {
        QMutexLocker lock(&mutex_);
        ++calls;
        if (unavailable)
            return std::nullopt;
        const auto it = secrets.constFind(account);
        return it == secrets.cend() ? std::nullopt : std::optional(*it);
    }
    bool set(const QString& account, const QString& value) override
    {
        QMutexLocker lock(&mutex_);
        ++calls;
        if (unavailable)
            return false;
        if (value.isEmpty())
            secrets.remove(account);
        else
            secrets.insert(account, value);
        return true;
    }

    QHash<QString, QString> secrets;
    bool unavailable = false;  // as without a Secret Service: nothing read, nothing stored
    int calls = 0;

private:
    QMutex mutex_;
};

}  // namespace kx::test
