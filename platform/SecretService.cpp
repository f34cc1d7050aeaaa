#include "platform/SecretService.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <gio/gio.h>
#include <libsecret/secret.h>

namespace kx {

namespace {

const SecretSchema* schema()
{
    static const SecretSchema s = {Keychain::kServiceName,
                                   SECRET_SCHEMA_DONT_MATCH_NAME,
                                   {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                   0,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr};
    return &s;
}

// Whether a Secret Service owns its name on the session bus, or the bus can start one.
bool serviceOnBus(GCancellable* cancel)
{
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, cancel, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    auto ask = [&](const char* method, GVariant* args) -> GVariant* {
        GVariant* r = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", method, args, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 1000, cancel, &error);
        g_clear_error(&error);
        return r;
    };
    bool found = false;
    if (GVariant* r = ask("NameHasOwner", g_variant_new("(s)", "org.freedesktop.secrets"))) {
        gboolean owned = FALSE;
        g_variant_get(r, "(b)", &owned);
        found = owned;
        g_variant_unref(r);
    }
    if (!found) {
        if (GVariant* r = ask("ListActivatableNames", nullptr)) {
            GVariantIter* it = nullptr;
            const gchar* name = nullptr;
            g_variant_get(r, "(as)", &it);
            while (!found && g_variant_iter_loop(it, "&s", &name))
                found = g_strcmp0(name, "org.freedesktop.secrets") == 0;
            g_variant_iter_free(it);
            g_variant_unref(r);
        }
    }
    g_object_unref(bus);
    return found;
}

// One keyring call on its own thread. The caller waits on it with a deadline and walks away
// (cancelling it) when the deadline passes; the thread then finishes on its own.
template <typename T>
class BoundedCall {
public:
    using Work = std::function<T(GCancellable*)>;

    static std::optional<T> run(Work work, bool wait)
    {
        auto state = std::make_shared<State>();
        std::thread([state, work = std::move(work)] {
            const bool present = serviceOnBus(state->cancel);
            {
                std::lock_guard lock(state->mutex);
                state->found = present;
                state->looked = true;
            }
            state->changed.notify_all();
            if (!present)
                return;
            T result = work(state->cancel);
            {
                std::lock_guard lock(state->mutex);
                state->result = std::move(result);
            }
            state->changed.notify_all();
        }).detach();
        if (!wait)
            return std::nullopt;

        std::unique_lock lock(state->mutex);
        const auto start = std::chrono::steady_clock::now();
        if (!state->changed.wait_until(lock, start + SecretService::lookupBound,
                                       [&] { return state->looked; }) ||
            !state->found) {
            g_cancellable_cancel(state->cancel);
            return std::nullopt;
        }
        if (!state->changed.wait_until(lock, start + SecretService::callBound,
                                       [&] { return state->result.has_value(); })) {
            g_cancellable_cancel(state->cancel);
            return std::nullopt;
        }
        return state->result;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool looked = false;
        bool found = false;
        std::optional<T> result;
        GCancellable* cancel = g_cancellable_new();
        ~State() { g_object_unref(cancel); }
    };
};

QByteArray utf8(const QString& s)
{
    return s.toUtf8();
}

// Store, or delete for an empty value; true when the keyring took the change.
bool writeSecret(const QByteArray& account, const QByteArray& value, GCancellable* cancel)
{
    GError* error = nullptr;
    if (value.isEmpty()) {
        // FALSE without an error only means there was nothing to delete.
        secret_password_clear_sync(schema(), cancel, &error, "service", Keychain::kServiceName, "account",
                                   account.constData(), nullptr);
    } else {
        const QByteArray label = "Kaptorix: " + account;
        secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(), value.constData(),
                                   cancel, &error, "service", Keychain::kServiceName, "account",
                                   account.constData(), nullptr);
    }
    const bool ok = error == nullptr;
    g_clear_error(&error);
    return ok;
}

}  // namespace

SecretService& SecretService::shared()
{
    static SecretService service;
    return service;
}

std::optional<QString> SecretService::get(const QString& account)
{
    const QByteArray a = utf8(account);
    // The inner optional is "no secret"; the outer one "no answer in time".
    const auto answer = BoundedCall<std::optional<QByteArray>>::run(
        [a](GCancellable* cancel) -> std::optional<QByteArray> {
            GError* error = nullptr;
            gchar* pw =
                secret_password_lookup_sync(schema(), cancel, &error, "service", Keychain::kServiceName,
                                            "account", a.constData(), nullptr);
            g_clear_error(&error);
            if (!pw)
                return std::nullopt;
            QByteArray bytes(pw);
            secret_password_free(pw);
            return bytes;
        },
        true);
    if (!answer || !*answer)
        return std::nullopt;
    const QByteArray& bytes = **answer;
    // Bytes that are not valid UTF-8 count as no secret.
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return std::nullopt;
    return text;
}

bool SecretService::set(const QString& account, const QString& value)
{
    const QByteArray a = utf8(account), v = utf8(value);
    const auto ok =
        BoundedCall<bool>::run([a, v](GCancellable* cancel) { return writeSecret(a, v, cancel); }, true);
    return ok.value_or(false);
}

void SecretService::clearInBackground(const QString& account)
{
    const QByteArray a = utf8(account);
    BoundedCall<bool>::run([a](GCancellable* cancel) { return writeSecret(a, QByteArray(), cancel); }, false);
}

}  // namespace kx
