#pragma once
// The shutter sound played when a capture is delivered.
#include <functional>

namespace kx {

class Sound {
public:
    // Plays the desktop's "screen-capture" sound (else "camera-shutter") when the setting
    // `playSound` is on. Returns at once; the sound is played on a worker thread.
    static void shutter();

    // Tests: replaces the player. It gets a sound-theme event id and says whether it played.
    // nullptr restores libcanberra.
    static void setPlayer(std::function<bool(const char* eventId)> player);
};

}  // namespace kx
