#pragma once
// The open pins, in creation order. The manager owns them: a pin lives until it is removed,
// all are closed at quit, and the window that made one does not end it. GUI thread only.
//
//   PinManager::shared().pin(image, scale);           // centred under the pointer
//   PinManager::shared().pin(image, scale, areaRect); // over the captured area

#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <optional>

namespace kx {

class PinWindow;

class PinManager : public QObject {
    Q_OBJECT
public:
    static PinManager& shared();

    // Shows a new pin above every window, with focus, on every desktop.
    PinWindow* pin(const QImage& image, double scale, const std::optional<QRect>& near = std::nullopt);
    // Closes that pin (every occurrence).
    void remove(PinWindow* pin);
    // Closes every pin, click-through ones included.
    void closeAll();
    // Ends click-through on every pin (the tray menu's "Make pins clickable").
    void makeAllClickable();
    const QList<PinWindow*>& pins() const { return pins_; }

Q_SIGNALS:
    // The list changed (a pin opened or closed); the tray menu's Pins submenu follows it.
    void pinsChanged();

private:
    PinManager();
    QList<PinWindow*> pins_;
};

}  // namespace kx
