#pragma once
// The Secret Service store (libsecret) behind Keychain. Every call runs on a worker thread
// and is waited for only a bounded time: briefly while it is unknown whether a Secret Service
// is on the session bus at all, longer once it answered (an unlock prompt may be up).
#include "platform/Keychain.h"

#include <chrono>

namespace kx {

class SecretService : public SecretStore {
public:
    static SecretService& shared();

    std::optional<QString> get(const QString& account) override;
    bool set(const QString& account, const QString& value) override;
    // Deletes the account's secret without waiting for the result.
    void clearInBackground(const QString& account);

    // Bounds of the wait: until the service is found, and for the whole call once it is.
    static constexpr std::chrono::milliseconds lookupBound{1500};
    static constexpr std::chrono::milliseconds callBound{25000};
};

}  // namespace kx
