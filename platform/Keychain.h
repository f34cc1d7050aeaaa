#pragma once
// The user's secrets (upload password, AI keys), kept in the desktop keyring through the
// Secret Service, under the service name kServiceName and the secret's account.
#include <QFuture>
#include <QString>
#include <optional>

namespace kx {

// Where secrets live; the Secret Service store is the real one, tests may install a fake.
class SecretStore {
public:
    virtual ~SecretStore() = default;
    virtual std::optional<QString> get(const QString& account) = 0;
    // Replaces the secret in place; an empty value deletes it. True when it worked.
    virtual bool set(const QString& account, const QString& value) = 0;
};

class Keychain {
public:
    // Stays the same across releases, or stored secrets are no longer found.
    static constexpr const char* kServiceName = "org.kaptorix.Kaptorix";

    // Replaces the secret (an empty value removes it). True when the keyring took the change.
    static bool set(const QString& account, const QString& value);
    // The stored secret; nothing when absent or when no keyring answers (bounded wait).
    static std::optional<QString> get(const QString& account);

    // The same calls on Kaptorix's one keyring thread, in the order they were made; the UI thread
    // uses only these (a keyring call can wait for seconds). They resolve like the blocking calls,
    // a missing Secret Service within its look-up bound.
    static QFuture<std::optional<QString>> getAsync(const QString& account);
    static QFuture<bool> setAsync(const QString& account, const QString& value);
    static QFuture<bool> removeAsync(const QString& account) { return setAsync(account, QString()); }

    // Tests: route every call to another store; nullptr restores the Secret Service.
    static void setStore(SecretStore* store);
};

}  // namespace kx
