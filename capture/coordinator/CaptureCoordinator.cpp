#include "capture/coordinator/CaptureCoordinator.h"

#include "analysis/BackgroundWork.h"
#include "capture/coordinator/ColorHistory.h"
#include "capture/coordinator/Notices.h"
#include "capture/history/HistoryStore.h"
#include "core/ColorUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "ui/Symbols.h"
#include "ui/ToastView.h"

#include <QScreen>
#include <QTimer>
#include <cmath>

namespace kx {

CaptureCoordinator& CaptureCoordinator::shared()
{
    static auto* instance = new CaptureCoordinator(Environment::real());
    return *instance;
}

CaptureCoordinator::CaptureCoordinator(Environment env, QObject* parent)
    : QObject(parent), env_(std::move(env))
{
}

HistoryStore& CaptureCoordinator::history() const
{
    return env_.history ? *env_.history : HistoryStore::shared();
}

std::optional<QString> CaptureCoordinator::frontmostAppName() const
{
    const auto window = env_.frontmostWindow ? env_.frontmostWindow() : std::nullopt;
    if (!window || window->owner.isEmpty())
        return std::nullopt;
    return window->owner;
}

void CaptureCoordinator::perform(HotKeyAction action, int delay)
{
    if (action == HotKeyAction::history) {
        if (env_.showHistory)
            env_.showHistory();
        return;
    }
    if (busy_)
        return;
    busy_ = true;
    inFlight_ = BackgroundWork::hold();
    if (env_.permission && !env_.permission()) {
        end(std::nullopt);
        return;
    }
    if (delay >= 1 && env_.countdown) {
        env_.countdown(delay, [this, action] { run(action); });
        return;
    }
    // A later turn of the event loop: the menu that triggered us closes first.
    QTimer::singleShot(0, this, [this, action] { run(action); });
}

void CaptureCoordinator::run(HotKeyAction action)
{
    switch (action) {
        case HotKeyAction::area:
            return captureArea();
        case HotKeyAction::fullscreen:
            return captureFullscreen();
        case HotKeyAction::activeWindow:
            return captureActiveWindow();
        case HotKeyAction::windowPicker:
            return captureWindowPicker();
        case HotKeyAction::scrolling:
            return captureScrolling();
        case HotKeyAction::ocr:
            return captureOCR();
        case HotKeyAction::colorPicker:
            return pickColor();
        case HotKeyAction::pinArea:
            return pinArea();
        case HotKeyAction::repeatLast:
            return repeatLast();
        case HotKeyAction::history:
            break;
    }
    end(std::nullopt);
}

void CaptureCoordinator::end(std::optional<CaptureError> error)
{
    if (error)
        Notices::captureFailed(error->message());
    busy_ = false;
    inFlight_.reset();
    Q_EMIT finished();
}

void CaptureCoordinator::selectArea(SelectionMode mode, SelectDone done)
{
    auto frozen = env_.freeze();
    if (!frozen) {
        end(frozen.error());
        return;
    }
    const QList<WindowInfo> windows =
        mode == SelectionMode::window && env_.windows ? env_.windows() : QList<WindowInfo>{};
    env_.select(mode, std::move(*frozen), windows, std::move(done));
}

QImage CaptureCoordinator::crop(const SelectionResult& result)
{
    const auto c = ScreenCapturer::crop(result.frozen, result.scale, result.rect, SourceKind::area, {});
    return c ? c->image : QImage();
}

std::optional<QRectF> CaptureCoordinator::clippedArea(const QRectF& rect, const QSizeF& screenSize)
{
    const QRectF hit = rect.intersected(QRectF(QPointF(0, 0), screenSize));
    if (hit.width() <= 0 || hit.height() <= 0)
        return std::nullopt;
    return hit;
}

void CaptureCoordinator::captureArea()
{
    const auto title = frontmostAppName();
    selectArea(SelectionMode::area, [this, title](std::optional<SelectionResult> r) {
        const QImage image = r ? crop(*r) : QImage();
        if (image.isNull())
            return end(std::nullopt);
        lastArea_ = LastArea{r->screen ? r->screen->name() : QString(), r->rect};
        deliver(CaptureResult{image, r->scale, SourceKind::area, title, QDateTime::currentDateTime()});
        end(std::nullopt);
    });
}

void CaptureCoordinator::captureFullscreen()
{
    QScreen* screen = env_.screenUnderPointer();
    auto grab = env_.grabScreen(screen, std::nullopt, Prefs::boolean("showCursor"));
    if (!grab)
        return end(grab.error());
    deliver(CaptureResult{grab->image, grab->scale, SourceKind::fullscreen, frontmostAppName(),
                          QDateTime::currentDateTime()});
    end(std::nullopt);
}

void CaptureCoordinator::deliverWindowGrab(const WindowInfo& window)
{
    auto grab = env_.grabWindow(window.id, Prefs::boolean("showCursor"));
    if (!grab)
        return end(grab.error());
    const QString title = window.title.isEmpty() ? window.owner : window.title;
    deliver(CaptureResult{grab->image, grab->scale, SourceKind::window,
                          title.isEmpty() ? std::nullopt : std::optional<QString>(title),
                          QDateTime::currentDateTime()});
    end(std::nullopt);
}

void CaptureCoordinator::captureActiveWindow()
{
    const auto window = env_.frontmostWindow ? env_.frontmostWindow() : std::nullopt;
    if (!window)
        return end(CaptureError::noWindow());
    deliverWindowGrab(*window);
}

void CaptureCoordinator::captureWindowPicker()
{
    selectArea(SelectionMode::window, [this](std::optional<SelectionResult> r) {
        if (!r || !r->window)
            return end(std::nullopt);
        // The window is grabbed afresh from the screen: first let the overlay leave it.
        const WindowInfo window = *r->window;
        QTimer::singleShot(env_.overlayGoneMs, this, [this, window] { deliverWindowGrab(window); });
    });
}

void CaptureCoordinator::captureScrolling()
{
    const auto title = frontmostAppName();
    selectArea(SelectionMode::scrollArea, [this, title](std::optional<SelectionResult> r) {
        if (!r)
            return end(std::nullopt);
        const SelectionResult sel = *r;
        QTimer::singleShot(env_.overlayGoneMs, this, [this, sel, title] {
            env_.scroll(sel.screen, sel.rect, [this, sel, title](ScrollCaptureSession::Result out) {
                if (out.image.isNull())
                    return end(out.cancelled ? std::nullopt : out.error);
                deliver(CaptureResult{out.image, sel.scale, SourceKind::scrolling, title,
                                      QDateTime::currentDateTime()});
                // A capture that ended early says why: the image is what was stitched until then.
                if (!out.note.isEmpty())
                    Notices::show(
                        kx::tr("Scrolling capture ended early", "A görgetős rögzítés korán véget ért",
                               "Scroll-Aufnahme vorzeitig beendet"),
                        out.note, QStringLiteral("exclamationmark.triangle.fill"), 5);
                end(std::nullopt);
            });
        });
    });
}

void CaptureCoordinator::captureOCR()
{
    selectArea(SelectionMode::area, [this](std::optional<SelectionResult> r) {
        const QImage image = r ? crop(*r) : QImage();
        if (image.isNull())
            return end(std::nullopt);
        Notices::show(kx::tr("Recognizing text…", "Szövegfelismerés…", "Text wird erkannt…"), {},
                      "text.viewfinder"_sym, 10);
        env_.recognize(image).then(this, [this, image](OCRResult result) { ocrDone(image, result); });
    });
}

namespace {
QString joinRecognised(const QString& text, const QStringList& codes)
{
    if (codes.isEmpty())
        return text;
    return text + (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + codes.join(QLatin1Char('\n'));
}
}  // namespace

void CaptureCoordinator::ocrDone(const QImage& crop, const OCRResult& result)
{
    const QString text = joinRecognised(result.text(), env_.barcodes(crop));
    if (env_.shutter)
        env_.shutter();
    if (!text.isEmpty()) {
        env_.copyText(text);
        Notices::show(kx::tr("Text copied", "Szöveg kimásolva", "Text kopiert"), ToastView::excerpt(text),
                      "text.viewfinder"_sym, 5);
    } else if (!result.ok) {
        Notices::show(kx::tr("Text recognition failed", "A szövegfelismerés nem sikerült",
                             "Texterkennung fehlgeschlagen"),
                      result.error, "exclamationmark.triangle.fill"_sym, 5);
    } else {
        Notices::show(kx::tr("No text found", "Nem található szöveg", "Kein Text gefunden"), {},
                      "text.viewfinder"_sym, 3);
    }
    end(std::nullopt);
}

void CaptureCoordinator::pickColor()
{
    selectArea(SelectionMode::colorPicker, [this](std::optional<SelectionResult> r) {
        if (!r || !r->color)
            return end(std::nullopt);
        const QColor color = *r->color;
        const QString text = formatted(color, Prefs::colorFormat());
        env_.copyText(text);
        ColorHistory::add(ColorHistory::hexText(color));
        if (env_.shutter)
            env_.shutter();
        Notices::show(kx::tr("Color copied", "Szín kimásolva", "Farbe kopiert"),
                      text + QStringLiteral("   \u00B7   ") + formatted(color, ColorFormat::rgb),
                      "eyedropper"_sym, 4);
        end(std::nullopt);
    });
}

void CaptureCoordinator::pinArea()
{
    selectArea(SelectionMode::area, [this](std::optional<SelectionResult> r) {
        const QImage image = r ? crop(*r) : QImage();
        if (image.isNull() || !env_.pin)
            return end(std::nullopt);
        if (env_.shutter)
            env_.shutter();
        const QPoint origin = r->screen ? r->screen->geometry().topLeft() : QPoint();
        env_.pin(image, r->scale, r->rect.translated(origin).toAlignedRect());
        end(std::nullopt);
    });
}

void CaptureCoordinator::repeatLast()
{
    QScreen* screen = nullptr;
    if (lastArea_) {
        for (QScreen* s : env_.screens())
            if (s->name() == lastArea_->display)
                screen = s;
    }
    const auto rect = screen ? clippedArea(lastArea_->rect, screen->geometry().size()) : std::nullopt;
    if (!rect) {
        Notices::show(
            kx::tr("No previous area yet", "Még nincs korábbi terület", "Noch kein vorheriger Bereich"), {},
            "exclamationmark.triangle.fill"_sym, 3);
        return end(std::nullopt);
    }
    auto grab = env_.grabScreen(screen, *rect, false);
    if (!grab)
        return end(grab.error());
    deliver(CaptureResult{grab->image, grab->scale, SourceKind::area, frontmostAppName(),
                          QDateTime::currentDateTime()});
    end(std::nullopt);
}

void CaptureCoordinator::captureAreaImage(std::function<void(std::optional<CaptureResult>)> done)
{
    if (busy_)
        return done(std::nullopt);
    busy_ = true;
    inFlight_ = BackgroundWork::hold();
    if (env_.permission && !env_.permission()) {
        end(std::nullopt);
        return done(std::nullopt);
    }
    auto frozen = env_.freeze();
    if (!frozen) {
        end(frozen.error());
        return done(std::nullopt);
    }
    env_.select(SelectionMode::area, std::move(*frozen), {}, [this, done](std::optional<SelectionResult> r) {
        const QImage image = r ? crop(*r) : QImage();
        if (image.isNull()) {
            end(std::nullopt);
            return done(std::nullopt);
        }
        if (env_.shutter)
            env_.shutter();
        end(std::nullopt);
        done(CaptureResult{image, r->scale, SourceKind::area, std::nullopt, QDateTime::currentDateTime()});
    });
}

}  // namespace kx
