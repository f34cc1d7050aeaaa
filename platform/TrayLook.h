#pragma once
// What can be known about the tray that shows Kaptorix's icon, to draw the icon in a colour
// that reads on it. Qt's tray icon talks StatusNotifier when a host is registered on the
// session bus, else XEmbed to the tray manager of the X screen.
#include <QColor>
#include <QImage>
#include <QRect>
#include <optional>

namespace kx {

enum class TrayProtocol { none, xembed, statusNotifier };

// The protocol Qt's tray icon uses now (the same test Qt makes).
TrayProtocol trayProtocol();

// The foreground colour an XEmbed tray asks icons to use (_NET_SYSTEM_TRAY_COLORS); none
// when the tray sets none.
std::optional<QColor> xembedTrayForeground();

// The colour an embedded icon window is drawn on: that of the window embedding it (a socket
// or the panel). None while the icon is not embedded or nothing can be read.
std::optional<QColor> xembedTrayBackground(quint32 iconWindow);
// The same from the embedding window's pixels and the icon's place in them: the median
// around the icon when there are at least kEnoughAround pixels, else of the whole.
constexpr qint64 kEnoughAround = 64;
std::optional<QColor> embeddingBackground(const QImage& socket, const QRect& icon);
// The same before any icon of ours is in it: the median colour of the largest shown window
// of the client that owns the tray selection (a panel or a tray program).
std::optional<QColor> xembedTrayBackground();

// The median colour of `image` outside `exclude` (by luminance); none when no pixel is left.
std::optional<QColor> medianColorOutside(const QImage& image, const QRect& exclude);

}  // namespace kx
