#include "platform/HotKeyManager.h"

#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "platform/XHotKeyBackend.h"

#include <QScopedValueRollback>
#include <QVariant>

namespace kx {

namespace {

const QString kNone = QStringLiteral("none");

}  // namespace

HotKeyManager& HotKeyManager::shared()
{
    static HotKeyManager* manager = new HotKeyManager(std::make_unique<XHotKeyBackend>());
    return *manager;
}

HotKeyManager::HotKeyManager(std::unique_ptr<HotKeyBackend> backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend))
{
    backend_->onPressed = [this](quint32 id) { pressed(id); };
    backend_->onRegrabbed = [this](const QList<quint32>& held, const QList<quint32>& lost) {
        regrabbed(held, lost);
    };
    // A shortcut stored elsewhere (settings window, another manager) takes effect here too.
    connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, this, &HotKeyManager::prefChanged);
}

HotKeyManager::~HotKeyManager()
{
    backend_->onPressed = nullptr;
    backend_->onRegrabbed = nullptr;
}

QString HotKeyManager::settingsKey(HotKeyAction action)
{
    return QStringLiteral("hotkey.") + rawValue(action);
}

std::optional<KeyCombo> HotKeyManager::combo(HotKeyAction action) const
{
    const QVariant stored = Prefs::storedValue(settingsKey(action));
    if (stored.isValid()) {
        // QSettings hands text and bytes back in either type; "none" is the only text that counts.
        if (stored.typeId() == QMetaType::QString && stored.toString() == kNone)
            return std::nullopt;
        if (stored.typeId() == QMetaType::QByteArray) {
            if (stored.toByteArray() == kNone.toUtf8())
                return std::nullopt;
            if (auto decoded = KeyCombo::fromJson(stored.toByteArray()))
                return decoded;
        }
    }
    return KeyCombo::defaultFor(action);
}

void HotKeyManager::setCombo(const std::optional<KeyCombo>& combo, HotKeyAction action)
{
    const QScopedValueRollback storing(storing_, true);
    if (combo)
        Prefs::set(settingsKey(action), combo->toJson());
    else
        Prefs::set(settingsKey(action), kNone);
    registerAction(action);
    // The new shortcut may have freed the one another action was refused (a swap).
    retryFailed();
}

void HotKeyManager::retryFailed()
{
    for (HotKeyAction action : allCases<HotKeyAction>()) {
        if (failed_.contains(action))
            registerAction(action);
    }
}

void HotKeyManager::releaseAll()
{
    for (HotKeyAction action : allCases<HotKeyAction>())
        backend_->ungrab(quint32(hotKeyId(action)));
    registered_.clear();
    failed_.clear();
}

bool HotKeyManager::comboInUse(const KeyCombo& combo) const
{
    auto same = [&](const KeyCombo& other) {
        return other.keyCode == combo.keyCode && other.modifiers() == combo.modifiers();
    };
    for (const KeyCombo& c : registered_) {
        if (same(c))
            return true;
    }
    for (const Temporary& t : temporary_) {
        if (same(t.combo))
            return true;
    }
    return false;
}

void HotKeyManager::registerAction(HotKeyAction action)
{
    // Also when not registered: the backend keeps a key lost at a layout change and would
    // grab it again at the next one.
    registered_.remove(action);
    backend_->ungrab(quint32(hotKeyId(action)));
    failed_.remove(action);
    const std::optional<KeyCombo> c = combo(action);
    if (!c)
        return;
    if (comboInUse(*c) || !backend_->grab(quint32(hotKeyId(action)), c->keyCode, c->modifiers())) {
        failed_.insert(action);
        return;
    }
    registered_.insert(action, *c);
}

void HotKeyManager::prefChanged(const QString& key)
{
    static const QString prefix = QStringLiteral("hotkey.");
    if (storing_ || !key.startsWith(prefix))
        return;
    const std::optional<HotKeyAction> action = fromRaw<HotKeyAction>(key.mid(prefix.size()));
    if (!action)
        return;
    const std::optional<KeyCombo> c = combo(*action);
    const bool unchanged = c ? registered_.contains(*action) && registered_.value(*action) == *c
                             : !registered_.contains(*action) && !failed_.contains(*action);
    if (unchanged)
        return;
    registerAction(*action);
    retryFailed();
}

void HotKeyManager::regrabbed(const QList<quint32>& held, const QList<quint32>& lost)
{
    for (quint32 id : lost) {
        if (id > quint32(HotKeyAction::history))
            continue;
        registered_.remove(HotKeyAction(id));
        failed_.insert(HotKeyAction(id));
    }
    for (quint32 id : held) {
        if (id > quint32(HotKeyAction::history))
            continue;
        if (const std::optional<KeyCombo> c = combo(HotKeyAction(id))) {
            failed_.remove(HotKeyAction(id));
            registered_.insert(HotKeyAction(id), *c);
        }
    }
    Q_EMIT regrabbedAll();
}

void HotKeyManager::registerAll()
{
    // Registering one action at a time while others still hold their old combinations would
    // refuse any action whose new combination another still holds.
    releaseAll();
    for (HotKeyAction action : allCases<HotKeyAction>())
        registerAction(action);
}

void HotKeyManager::resetAll()
{
    const QScopedValueRollback storing(storing_, true);
    for (HotKeyAction action : allCases<HotKeyAction>())
        Prefs::remove(settingsKey(action));
    registerAll();
}

void HotKeyManager::setGrabsSuspended(bool suspended)
{
    if (!suspended) {
        registerAll();
        return;
    }
    for (auto it = registered_.cbegin(); it != registered_.cend(); ++it)
        backend_->ungrab(quint32(hotKeyId(it.key())));
}

std::optional<quint32> HotKeyManager::registerTemporary(quint32 keysym, quint32 modifiers,
                                                        std::function<void()> handler)
{
    const quint32 id = ++nextTemporaryId_;
    const KeyCombo c{keysym, modifiers & KeyCombo::allModifiers, QString()};
    if (comboInUse(c) || !backend_->grab(id, c.keyCode, c.modifiers()))
        return std::nullopt;
    temporary_.insert(id, Temporary{c, std::move(handler)});
    return id;
}

void HotKeyManager::unregisterTemporary(quint32 id)
{
    if (temporary_.remove(id))
        backend_->ungrab(id);
}

void HotKeyManager::pressed(quint32 id)
{
    // Handlers run from the event loop, never inside the backend's event reading, so they may
    // register and unregister keys freely.
    QMetaObject::invokeMethod(
        this, [this, id] { fire(id); }, Qt::QueuedConnection);
}

void HotKeyManager::fire(quint32 id)
{
    if (id > 1000) {
        const auto it = temporary_.constFind(id);
        if (it == temporary_.constEnd())
            return;
        const std::function<void()> handler = it->handler;  // the table may change during the call
        if (handler)
            handler();
        return;
    }
    if (id <= 9 && onTrigger)
        onTrigger(static_cast<HotKeyAction>(id));
}

}  // namespace kx
