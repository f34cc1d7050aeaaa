#pragma once
// Claims the X11 clipboard so that the claim holds. Qt claims with the time of the last event
// it has seen; when another client took the clipboard after that (just before a hot key, whose
// key event Kaptorix's grab keeps from Qt), the server ignores the claim. A claim that did not
// hold is made once more after Qt has seen a fresh server time. GUI thread only.
#include <QFuture>
#include <functional>

class QMimeData;

namespace kx {

class ClipboardOwner {
public:
    // `make` gives the data for each attempt (Qt keeps and frees each). True when the clipboard
    // is Kaptorix's afterwards. Without X11 one claim is made and its result reported.
    static QFuture<bool> claim(const std::function<QMimeData*()>& make);
    // Whether Kaptorix's Qt connection owns the CLIPBOARD selection now.
    static bool ownsClipboard();
};

}  // namespace kx
