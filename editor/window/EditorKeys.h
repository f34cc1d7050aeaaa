#pragma once
// The editor window's keys, in one table that the window installs and that menus and
// the help read. The key hints of tips come from here, so they name the keys installed.

#include <QKeySequence>
#include <QList>
#include <QString>

namespace kx {

enum class EditorKey {
    undo,
    redo,
    copy,
    save,
    saveAs,
    pin,
    zoomIn,
    zoomOut,
    zoomFit,
    zoomActual,
    bringToFront,
    sendToBack,
    close
};

struct EditorKeyBinding {
    EditorKey key;
    QList<QKeySequence> sequences;  // the first one is shown in hints
    QString title;                  // localised
};

// Every window-scoped key of the editor, in menu order.
QList<EditorKeyBinding> editorKeys();
// The sequences of one entry.
QList<QKeySequence> sequences(EditorKey key);
// "Ctrl+Shift+Z": the first sequence as the desktop writes it.
QString keyHint(EditorKey key);

}  // namespace kx
