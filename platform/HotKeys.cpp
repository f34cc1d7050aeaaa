#include "platform/HotKeys.h"

#include "core/Localisation.h"

#include <X11/keysym.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <cmath>
#include <limits>

namespace kx {

QString title(HotKeyAction action)
{
    switch (action) {
        case HotKeyAction::area:
            return tr("Capture area", "Terület rögzítése", "Bereich aufnehmen");
        case HotKeyAction::fullscreen:
            return tr("Capture fullscreen", "Teljes képernyő rögzítése", "Vollbild aufnehmen");
        case HotKeyAction::activeWindow:
            return tr("Capture active window", "Aktív ablak rögzítése", "Aktives Fenster aufnehmen");
        case HotKeyAction::windowPicker:
            return tr("Pick a window", "Ablak kiválasztása", "Fenster auswählen");
        case HotKeyAction::scrolling:
            return tr("Scrolling capture", "Görgetős rögzítés", "Scroll-Aufnahme");
        case HotKeyAction::ocr:
            return tr("OCR – copy text from area", "OCR – szöveg másolása területről",
                      "OCR – Text aus Bereich kopieren");
        case HotKeyAction::colorPicker:
            return tr("Color picker", "Színválasztó", "Farbpipette");
        case HotKeyAction::pinArea:
            return tr("Pin area on screen", "Terület kitűzése a képernyőre",
                      "Bereich auf dem Bildschirm anheften");
        case HotKeyAction::repeatLast:
            return tr("Repeat last area", "Utolsó terület ismétlése", "Letzten Bereich wiederholen");
        case HotKeyAction::history:
            return tr("Open history", "Előzmények megnyitása", "Verlauf öffnen");
    }
    return {};
}

QString symbol(HotKeyAction action)
{
    switch (action) {
        case HotKeyAction::area:
            return QStringLiteral("viewfinder");
        case HotKeyAction::fullscreen:
            return QStringLiteral("display");
        case HotKeyAction::activeWindow:
            return QStringLiteral("macwindow");
        case HotKeyAction::windowPicker:
            return QStringLiteral("macwindow.badge.plus");
        case HotKeyAction::scrolling:
            return QStringLiteral("arrow.up.and.down.text.horizontal");
        case HotKeyAction::ocr:
            return QStringLiteral("text.viewfinder");
        case HotKeyAction::colorPicker:
            return QStringLiteral("eyedropper");
        case HotKeyAction::pinArea:
            return QStringLiteral("pin");
        case HotKeyAction::repeatLast:
            return QStringLiteral("arrow.counterclockwise");
        case HotKeyAction::history:
            return QStringLiteral("clock.arrow.circlepath");
    }
    return {};
}

QString KeyCombo::display() const
{
    QStringList parts;
    if (cocoaModifiers & control)
        parts << QStringLiteral("Ctrl");
    if (cocoaModifiers & alt)
        parts << QStringLiteral("Alt");
    if (cocoaModifiers & shift)
        parts << QStringLiteral("Shift");
    if (cocoaModifiers & super)
        parts << QStringLiteral("Super");
    parts << label.toUpper();
    return parts.join(QLatin1Char('+'));
}

QByteArray KeyCombo::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("keyCode"), qint64(keyCode));
    o.insert(QStringLiteral("cocoaModifiers"), qint64(cocoaModifiers));
    o.insert(QStringLiteral("label"), label);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

namespace {

// A JSON number that is a whole number within [0, max].
std::optional<quint32> unsignedField(const QJsonObject& o, const QString& key)
{
    const QJsonValue v = o.value(key);
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!(d >= 0) || d > double(std::numeric_limits<quint32>::max()) || std::floor(d) != d)
        return std::nullopt;
    return quint32(d);
}

}  // namespace

std::optional<KeyCombo> KeyCombo::fromJson(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const auto code = unsignedField(o, QStringLiteral("keyCode"));
    const auto mods = unsignedField(o, QStringLiteral("cocoaModifiers"));
    const QJsonValue label = o.value(QStringLiteral("label"));
    if (!code || !mods || !label.isString())
        return std::nullopt;
    return KeyCombo{*code, *mods, label.toString()};
}

KeyCombo KeyCombo::defaultFor(HotKeyAction action)
{
    // 1...9 for the first nine actions, 0 for the tenth.
    const int digit = (hotKeyId(action) + 1) % 10;
    return KeyCombo{quint32(XK_0 + digit), control | alt, QString::number(digit)};
}

}  // namespace kx
