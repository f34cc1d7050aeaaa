#include "editor/window/EditorKeys.h"

#include "core/Localisation.h"

namespace kx {

QList<EditorKeyBinding> editorKeys()
{
    const auto seq = [](const char* text) { return QKeySequence(QString::fromLatin1(text)); };
    return {
        {EditorKey::undo, {seq("Ctrl+Z")}, kx::tr("Undo", "Visszavonás", "Widerrufen")},
        {EditorKey::redo, {seq("Ctrl+Shift+Z")}, kx::tr("Redo", "Újra", "Wiederholen")},
        {EditorKey::copy, {seq("Ctrl+C")}, kx::tr("Copy", "Másolás", "Kopieren")},
        {EditorKey::save, {seq("Ctrl+S")}, kx::tr("Save", "Mentés", "Sichern")},
        {EditorKey::saveAs, {seq("Ctrl+Shift+S")}, kx::tr("Save as…", "Mentés másként…", "Sichern unter…")},
        {EditorKey::pin,
         {seq("Ctrl+Shift+P")},
         kx::tr("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften")},
        {EditorKey::zoomIn, {seq("Ctrl++"), seq("Ctrl+=")}, kx::tr("Zoom in", "Nagyítás", "Vergrößern")},
        {EditorKey::zoomOut, {seq("Ctrl+-")}, kx::tr("Zoom out", "Kicsinyítés", "Verkleinern")},
        {EditorKey::zoomFit,
         {seq("Ctrl+9")},
         kx::tr("Fit to window", "Ablakhoz illesztés", "An Fenster anpassen")},
        {EditorKey::zoomActual,
         {seq("Ctrl+0")},
         kx::tr("Actual size (100%)", "Valódi méret (100%)", "Originalgröße (100%)")},
        {EditorKey::bringToFront,
         {seq("Ctrl+]")},
         kx::tr("Bring to front", "Előre hozás", "Nach vorne bringen")},
        {EditorKey::sendToBack,
         {seq("Ctrl+[")},
         kx::tr("Send to back", "Hátra küldés", "Nach hinten senden")},
        {EditorKey::close, {seq("Ctrl+W")}, kx::tr("Close", "Bezárás", "Schließen")},
    };
}

QList<QKeySequence> sequences(EditorKey key)
{
    for (const EditorKeyBinding& b : editorKeys())
        if (b.key == key)
            return b.sequences;
    return {};
}

QString keyHint(EditorKey key)
{
    const QList<QKeySequence> s = sequences(key);
    return s.isEmpty() ? QString() : s.first().toString(QKeySequence::NativeText);
}

}  // namespace kx
