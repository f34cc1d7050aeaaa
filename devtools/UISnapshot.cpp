// `--snapshot-ui`: the application's real windows in fixed states, each grabbed to a PNG.
#include "devtools/UISnapshot.h"

#include "analysis/PaletteWindowController.h"
#include "capture/history/HistoryStore.h"
#include "capture/notice/QuickPreviewView.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "devtools/samples/DemoAnnotations.h"
#include "editor/ToolKind.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/controls/BeautifyPopover.h"
#include "help/HelpWindowController.h"
#include "library/history/HistoryWindowController.h"
#include "library/pins/PinManager.h"
#include "library/pins/PinWindow.h"
#include "settings/SettingsWindowController.h"
#include "ui/Brand.h"
#include "ui/FloatingPanel.h"
#include "ui/TipBubble.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <array>
#include <cstdio>

namespace kx {

namespace {

void printLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

using samples::kBlue;
using samples::kRed;
using samples::kYellow;
constexpr auto item = samples::annotation;

QList<Annotation> editorAnnotations()
{
    Annotation rect = item(ToolKind::rect, {140, 250}, {700, 420}, kBlue);
    rect.style.fill = FillMode::tint;
    Annotation lens = item(ToolKind::magnifier, {890, 520}, {1190, 660}, kBlue);
    lens.style.zoom = 2.6;
    lens.lensCenter = {2150, 1180};
    Annotation marker = item(ToolKind::highlighter, {0, 0}, {0, 0}, kYellow);
    marker.points = {QPointF(440, 66), QPointF(700, 70), QPointF(960, 66)};
    Annotation step = item(ToolKind::step, {1040, 440}, {0, 0}, kRed);
    step.number = 1;
    return {rect, item(ToolKind::arrow, {1000, 420}, {780, 330}, kRed), lens, marker, step};
}

void setBackdrop(EditorDocument& doc, bool enabled, BeautifySettings::Edge edge,
                 BeautifySettings::Background bg)
{
    BeautifySettings s = doc.beautify();
    s.enabled = enabled;
    s.edge = edge;
    s.background = bg;
    doc.setBeautify(s);
}

}  // namespace

QWidget* UISnapshot::iconTipWindow()
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setWindowTitle(QStringLiteral("Kaptorix"));
    window->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(window);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    auto* row = new QHBoxLayout;
    row->setSpacing(20);
    const bool dark = window->palette().color(QPalette::Window).lightness() < 128;
    auto* small = new QLabel;
    small->setPixmap(QPixmap::fromImage(Brand::statusBarImage(dark, 1)));
    auto* big = new QLabel;
    QImage tripled = Brand::statusBarImage(dark, 3);  // 60 x 54 pixels
    tripled.setDevicePixelRatio(1);
    big->setPixmap(QPixmap::fromImage(tripled));
    auto* header = new QHBoxLayout;
    header->addWidget(new MakerLogo(22));
    header->addWidget(new QLabel(QStringLiteral("Kaptorix")));
    row->addStretch();
    row->addWidget(small);
    row->addWidget(big);
    row->addLayout(header);
    row->addStretch();
    column->addLayout(row);
    // The magnifier's own hover tip, as the tool rail shows it, whole: the window grows to fit it
    // (420 x 160 at least), however long its text runs in the language.
    auto* tip = new TipBubble(title(ToolKind::magnifier), detail(ToolKind::magnifier), QStringLiteral("Z"));
    tip->setObjectName(QStringLiteral("tip"));
    tip->setFixedSize(tip->sizeHint());
    column->addWidget(tip, 0, Qt::AlignHCenter);
    window->resize(window->sizeHint().expandedTo(QSize(420, 160)));
    return window;
}

void UISnapshot::seedHistory(const QImage& image)
{
    struct Sample {
        const char* title;
        SourceKind kind;
    };
    constexpr std::array<Sample, 8> samples{{{"Dashboard", SourceKind::area},
                                             {"Checkout", SourceKind::window},
                                             {nullptr, SourceKind::fullscreen},
                                             {"Landing page", SourceKind::scrolling},
                                             {"Pricing", SourceKind::area},
                                             {nullptr, SourceKind::clipboard},
                                             {"Settings", SourceKind::window},
                                             {"Login", SourceKind::area}}};
    HistoryStore& store = HistoryStore::shared();
    // Today at 18:00 rather than now: the cards show their times, and the help's picture of the
    // history must come out the same at whatever hour it is made.
    const QDateTime now(QDate::currentDate(), QTime(18, 0));
    for (int i = 0; i < int(samples.size()); ++i) {
        CaptureResult capture{image, 2.0, samples[i].kind, std::nullopt, now.addSecs(-qint64(i) * 5400)};
        if (samples[i].title)
            capture.title = QString::fromLatin1(samples[i].title);
        const HistoryEntry entry = store.add(capture);
        if (i == 1)
            store.toggleFavorite(entry.id);
        if (i == 2)
            store.setUploadURL(entry.id, QStringLiteral("https://example.com/shots/dashboard.png"));
    }
}

bool UISnapshot::shoot(QWidget* window, const QString& name, const QString& dir)
{
    if (!window) {
        printLine(QStringLiteral("skip ") + name);
        return true;
    }
    window->show();
    window->raise();
    pause(0.2);
    const QImage image = window->grab().toImage();
    if (image.isNull() || !writePng(image, dir + QLatin1Char('/') + name + QStringLiteral(".png"))) {
        printLine(QStringLiteral("failed ") + name);
        return false;
    }
    printLine(QStringLiteral("  %1 %2x%3").arg(name).arg(image.width()).arg(image.height()));
    return true;
}

int UISnapshot::run(const QString& dir)
{
    Prefs::registerDefaults();
    QDir().mkpath(dir);
    const QImage mock = mockScreenshot();
    const CaptureResult capture{mock, 2.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()};
    bool ok = frameSheet(mock, dir);
    if (!ok)
        printLine(QStringLiteral("failed frames"));
    const auto shot = [&](QWidget* window, const QString& name) { ok = shoot(window, name, dir) && ok; };

    using Bg = BeautifySettings::Background;
    using Edge = BeautifySettings::Edge;
    QPointer<EditorWindowController> editor = EditorWindowController::open(capture);
    const auto editorWindow = [&]() -> QWidget* { return editor ? editor->window() : nullptr; };
    if (editor) {
        EditorDocument& doc = editor->doc();
        doc.setTool(ToolKind::arrow);
        doc.addUnselected(editorAnnotations());
        pause(1.0);
        shot(editorWindow(), QStringLiteral("editor-arrow"));
        doc.setTool(ToolKind::magnifier);
        pause(0.4);
        shot(editorWindow(), QStringLiteral("editor-magnifier"));
        doc.setTool(ToolKind::select);
        pause(0.4);
        shot(editorWindow(), QStringLiteral("editor-select"));
        const QImage crop = mock.copy(0, 0, 1000, 760);
        if (!crop.isNull()) {
            doc.addPicture(crop, 2);
            pause(0.5);
            shot(editorWindow(), QStringLiteral("editor-pip"));
        }
        setBackdrop(doc, true, Edge::torn, Bg::sunset);
        pause(1.5);
        shot(editorWindow(), QStringLiteral("editor-backdrop"));
        setBackdrop(doc, true, Edge::window, Bg::transparent);
        pause(1.2);
        shot(editorWindow(), QStringLiteral("editor-backdrop-window"));
        setBackdrop(doc, false, Edge::window, Bg::transparent);
        pause(0.8);
        setBackdrop(doc, true, Edge::torn, Bg::transparent);
        {
            QWidget host(nullptr, Qt::Window);
            host.setWindowTitle(kx::tr("Backdrop & frame", "Háttér és keret"));
            host.setAutoFillBackground(true);
            auto* layout = new QVBoxLayout(&host);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(new BeautifyPopover(&doc));
            // As tall as the content asks for, whatever the language and the rows shown.
            layout->setSizeConstraint(QLayout::SetFixedSize);
            host.show();
            host.activateWindow();
            pause(0.6);
            shot(&host, QStringLiteral("backdrop-popover"));
        }
        setBackdrop(doc, false, Edge::none, Bg::ocean);
        doc.setTool(ToolKind::magnifier);
        doc.setTool(ToolKind::rect);
        doc.setShowAI(true);
        pause(0.6);
        shot(editorWindow(), QStringLiteral("editor-ai"));
        doc.setShowAI(false);
        doc.setTool(ToolKind::crop);
        pause(0.4);
        shot(editorWindow(), QStringLiteral("editor-crop"));
        if (QWidget* w = editorWindow())
            w->resize(800, 560);
        doc.setTool(ToolKind::blur);
        pause(0.6);
        shot(editorWindow(), QStringLiteral("editor-narrow"));
        if (QWidget* w = editorWindow())
            w->close();
    } else {
        for (const char* name :
             {"editor-arrow", "editor-magnifier", "editor-select", "editor-pip", "editor-backdrop",
              "editor-backdrop-window", "backdrop-popover", "editor-ai", "editor-crop", "editor-narrow"})
            shot(nullptr, QString::fromLatin1(name));
    }

    seedHistory(mock);
    HistoryWindowController::shared().show();
    pause(1.0);
    shot(HistoryWindowController::shared().window(), QStringLiteral("history"));

    const std::array<const char*, 5> tabs{"general", "shortcuts", "capture", "upload", "ai"};
    for (int i = 0; i < 5; ++i) {
        SettingsWindowController::shared().show(i);
        pause(0.6);
        shot(SettingsWindowController::shared().window(),
             QStringLiteral("settings-") + QLatin1String(tabs[i]));
    }

    const std::array<std::pair<const char*, double>, 3> topics{
        {{"editor", 0.8}, {"start", 0.5}, {"contact", 0.5}}};
    for (const auto& [topic, wait] : topics) {
        HelpWindowController::shared().show(QString::fromLatin1(topic));
        pause(wait);
        shot(HelpWindowController::shared().window(), QStringLiteral("help-") + QLatin1String(topic));
    }

    PaletteWindowController::shared().show(mockScreenshot());
    pause(0.6);
    shot(PaletteWindowController::shared().window(), QStringLiteral("palette"));

    {
        std::unique_ptr<QWidget> tips(iconTipWindow());
        tips->show();
        tips->activateWindow();
        pause(0.5);
        shot(tips.get(), QStringLiteral("icon-tip"));
    }

    Toast::present(new ToastView(kx::tr("Copied to clipboard", "Vágólapra másolva"),
                                 QStringLiteral("1600 × 1000 px"), QStringLiteral("checkmark.circle.fill")),
                   3);
    pause(0.5);
    shot(Toast::current(), QStringLiteral("toast"));

    const auto nothing = [] {};
    Toast::present(
        new QuickPreviewView(fitted(mock, 700), QStringLiteral("1600 × 1000 px · Area"),
                             QuickPreviewActions{nothing, nothing, nothing, nothing, nothing, nothing}),
        30);
    pause(0.5);
    shot(Toast::current(), QStringLiteral("preview"));

    Toast::dismiss();
    PinManager::shared().pin(mock, 2);
    pause(0.5);
    const QList<PinWindow*>& pins = PinManager::shared().pins();
    shot(pins.isEmpty() ? nullptr : static_cast<QWidget*>(pins.last()), QStringLiteral("pin"));

    printLine(QStringLiteral("snapshots written to ") + dir);
    return ok ? 0 : 1;
}

}  // namespace kx
