#include "editor/window/EditorKeys.h"

#include "core/Localisation.h"
#include "ui/MenuKeys.h"

namespace kx {

QList<EditorKeyBinding> editorKeys()
{
    // The keys come from the main menu's table, so menu, editor and help always agree.
    return {
        {EditorKey::undo, menuKeys(MainItem::undo), kx::tr("Undo", "Visszavonás", "Widerrufen")},
        {EditorKey::redo, menuKeys(MainItem::redo), kx::tr("Redo", "Újra", "Wiederholen")},
        {EditorKey::copy, menuKeys(MainItem::copy), kx::tr("Copy", "Másolás", "Kopieren")},
        {EditorKey::save, menuKeys(MainItem::save), kx::tr("Save", "Mentés", "Sichern")},
        {EditorKey::saveAs, menuKeys(MainItem::saveAs),
         kx::tr("Save as…", "Mentés másként…", "Sichern unter…")},
        {EditorKey::pin, menuKeys(MainItem::pin),
         kx::tr("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften")},
        {EditorKey::zoomIn, menuKeys(MainItem::zoomIn), kx::tr("Zoom in", "Nagyítás", "Vergrößern")},
        {EditorKey::zoomOut, menuKeys(MainItem::zoomOut), kx::tr("Zoom out", "Kicsinyítés", "Verkleinern")},
        {EditorKey::zoomFit, menuKeys(MainItem::zoomFit),
         kx::tr("Fit to window", "Ablakhoz illesztés", "An Fenster anpassen")},
        {EditorKey::zoomActual, menuKeys(MainItem::zoomActual),
         kx::tr("Actual size (100%)", "Valódi méret (100%)", "Originalgröße (100%)")},
        {EditorKey::bringToFront, menuKeys(MainItem::bringToFront),
         kx::tr("Bring to front", "Előre hozás", "Nach vorne bringen")},
        {EditorKey::sendToBack, menuKeys(MainItem::sendToBack),
         kx::tr("Send to back", "Hátra küldés", "Nach hinten senden")},
        {EditorKey::close, menuKeys(MainItem::close), kx::tr("Close", "Bezárás", "Schließen")},
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
