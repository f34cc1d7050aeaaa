#include "platform/Sound.h"

#include "core/Prefs.h"

#include <canberra.h>
#include <QThreadPool>
#include <mutex>

namespace kx {

namespace {

std::mutex playerGuard;
std::function<bool(const char*)> player;

// libcanberra talks to the sound server (or fails fast without one); it only ever runs on
// the sound thread, so its context needs no lock of its own.
bool playWithCanberra(const char* eventId)
{
    static ca_context* context = [] {
        ca_context* c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS)
            return static_cast<ca_context*>(nullptr);
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "Kaptorix", CA_PROP_APPLICATION_ID,
                                "org.kaptorix.Kaptorix", nullptr);
        return c;
    }();
    if (!context)
        return false;
    return ca_context_play(context, 0, CA_PROP_EVENT_ID, eventId, CA_PROP_EVENT_DESCRIPTION,
                           "Screenshot taken", nullptr) == CA_SUCCESS;
}

QThreadPool& soundThread()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(-1);
        return p;
    }();
    return *pool;
}

}  // namespace

void Sound::shutter()
{
    if (!Prefs::boolean(QStringLiteral("playSound")))
        return;
    std::function<bool(const char*)> play;
    {
        std::lock_guard lock(playerGuard);
        play = player ? player : playWithCanberra;
    }
    soundThread().start([play] {
        if (!play("screen-capture"))
            play("camera-shutter");
    });
}

void Sound::setPlayer(std::function<bool(const char*)> p)
{
    std::lock_guard lock(playerGuard);
    player = std::move(p);
}

}  // namespace kx
