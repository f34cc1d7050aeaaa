// The coordinator's flows with fake grabs, overlay and recognition, and its delivery.
#include "FileLimits.h"
#include "TestSupport.h"
#include "analysis/BackgroundWork.h"
#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/ColorHistory.h"
#include "capture/coordinator/DeferredClipboard.h"
#include "capture/coordinator/Notices.h"
#include "capture/coordinator/SaveFolder.h"
#include "capture/history/HistoryStore.h"
#include "capture/notice/QuickPreviewView.h"
#include "core/ImageBufferPool.h"
#include "core/Localisation.h"
#include "core/PngEncoder.h"
#include "core/Prefs.h"
#include "ui/ChromeButton.h"
#include "ui/FloatingPanel.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QGuiApplication>
#include <QPromise>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

using namespace kx;

namespace {

struct Fixture : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
    std::unique_ptr<CaptureCoordinator> c;
    QStringList calls, notices, clipboardText;
    CaptureCoordinator::SelectDone pending;  // the open overlay
    std::optional<QRectF> grabbedRect;
    OCRResult ocr{true, {}, {}};
    QStringList codes;
    QImage frozen = QImage(400, 300, QImage::Format_ARGB32_Premultiplied);

    void SetUp() override
    {
        // Nothing left on screen or waiting from an earlier test.
        while (Toast::current())
            Toast::dismiss();
        Prefs::registerDefaults();
        for (const char* key : {"after.copy", "after.save", "after.editor", "after.preview", "after.upload",
                                "remote.host", "recentColors", "colorFormat"})
            Prefs::remove(key);
        store = std::make_unique<HistoryStore>(HistoryStore::Options{
            dir.filePath("h"),
            {},
            [](const QImage&) { return QtFuture::makeReadyFuture(std::optional<QString>()); },
            0});
        CaptureCoordinator::Environment env;
        env.history = store.get();
        env.freeze = [this]() -> Captured<QList<FrozenScreen>> {
            return QList<FrozenScreen>{{QGuiApplication::primaryScreen(), frozen, 2.0}};
        };
        env.select = [this](SelectionMode, QList<FrozenScreen>, QList<WindowInfo>,
                            CaptureCoordinator::SelectDone d) {
            calls << "select";
            pending = std::move(d);
        };
        env.grabScreen = [this](QScreen*, const std::optional<QRectF>& r, bool) -> Captured<ScreenGrab> {
            calls << "grab";
            grabbedRect = r;
            return ScreenGrab{frozen, 2.0};
        };
        env.screenUnderPointer = [] { return QGuiApplication::primaryScreen(); };
        env.screens = [] { return QGuiApplication::screens(); };
        env.recognize = [this](const QImage&) { return QtFuture::makeReadyFuture(ocr); };
        env.barcodes = [this](const QImage&) { return codes; };
        env.shutter = [this] { calls << "shutter"; };
        env.copyImage = [this](const QImage&, double, QFuture<QByteArray>) { calls << "copy"; };
        env.copyText = [this](const QString& t) { clipboardText << t; };
        env.showHistory = [this] { calls << "history"; };
        env.overlayGoneMs = 0;
        c = std::make_unique<CaptureCoordinator>(env);
        QObject::connect(&Notices::shared(), &Notices::shown, c.get(),
                         [this](const QString& t, const QString& s) { notices << t + "|" + s; });
        QObject::connect(store.get(), &HistoryStore::entriesChanged, c.get(),
                         [this] { calls << "history.add"; });
    }

    // Starts `action`, answers the overlay with `rect` (none: cancel), waits for the end.
    void capture(HotKeyAction action, std::optional<QRectF> rect, std::optional<QColor> color = {})
    {
        bool done = false;
        auto conn = QObject::connect(c.get(), &CaptureCoordinator::finished, [&] { done = true; });
        c->perform(action, 0);
        ASSERT_TRUE(test::waitFor([&] { return done || bool(pending); }, 3000));
        if (auto d = std::exchange(pending, {})) {
            std::optional<SelectionResult> r;
            if (rect)
                r = SelectionResult{QGuiApplication::primaryScreen(), *rect, frozen, 2.0, {}, color};
            d(r);
        }
        EXPECT_TRUE(test::waitFor([&] { return done; }, 3000));
        QObject::disconnect(conn);
    }
};

}  // namespace

TEST_F(Fixture, BusyRefusesASecondCaptureButNotHistory)
{
    c->perform(HotKeyAction::area, 0);
    ASSERT_TRUE(test::waitFor([&] { return bool(pending); }));
    c->perform(HotKeyAction::fullscreen, 0);
    c->perform(HotKeyAction::history, 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(c->busy());
    EXPECT_EQ(calls, (QStringList{"select", "history"}));
    std::exchange(pending, {})(std::nullopt);
    EXPECT_FALSE(c->busy());
    EXPECT_TRUE(notices.isEmpty());  // a cancel is silent
}

TEST_F(Fixture, RepeatLastRegrabsThePlainAreaOnly)
{
    capture(HotKeyAction::repeatLast, std::nullopt);
    EXPECT_EQ(notices, QStringList{"No previous area yet|"});
    EXPECT_FALSE(c->busy());

    capture(HotKeyAction::area, QRectF(5, 6, 30, 40));
    capture(HotKeyAction::ocr, QRectF(50, 50, 10, 10));
    calls.clear();
    capture(HotKeyAction::repeatLast, std::nullopt);
    ASSERT_TRUE(grabbedRect);
    EXPECT_EQ(*grabbedRect, QRectF(5, 6, 30, 40));
    EXPECT_EQ(store->entries().size(), 2);
    EXPECT_EQ(store->entries().first().kind, SourceKind::area);

    // Clipped to its display; nothing left is the same notice as none at all.
    const QSizeF screen(1920, 1080);
    EXPECT_EQ(CaptureCoordinator::clippedArea({1900, 1000, 100, 100}, screen), QRectF(1900, 1000, 20, 80));
    EXPECT_FALSE(CaptureCoordinator::clippedArea({2000, 10, 50, 50}, screen));
}

TEST_F(Fixture, RecognisedTextAndCodesAreJoinedAndFailureIsNamed)
{
    const auto line = [](const QString& t) { return TextObservation{t, {}, 90, {}}; };
    const struct {
        QStringList lines;
        QStringList codes;
        bool ok;
        QString clipboard;  // empty: nothing copied
        QString notice;
    } rows[] = {
        {{}, {"https://q.example"}, true, "https://q.example", "Text copied|https://q.example"},
        // The notice shows the start of what was copied, as its three lines take it.
        {{"Hi"}, {"A", "B"}, true, "Hi\n\nA\nB", "Text copied|Hi\n\nA B"},
        {{}, {}, true, "", "No text found|"},
        {{}, {}, false, "", "Text recognition failed|no language data"},
    };
    for (const auto& row : rows) {
        ocr = OCRResult{row.ok, row.ok ? QString() : "no language data", {}};
        for (const QString& l : row.lines)
            ocr.lines << line(l);
        codes = row.codes;
        notices.clear();
        clipboardText.clear();
        capture(HotKeyAction::ocr, QRectF(0, 0, 50, 50));
        EXPECT_EQ(clipboardText, row.clipboard.isEmpty() ? QStringList() : QStringList{row.clipboard});
        EXPECT_EQ(notices.value(1), row.notice);
    }
    EXPECT_TRUE(store->entries().isEmpty());
}

TEST_F(Fixture, ColourPickCopiesTheFormatAndKeepsHexHistory)
{
    Prefs::set("colorFormat", "hsl");
    capture(HotKeyAction::colorPicker, QRectF(1, 1, 0, 0), QColor(255, 0, 0));
    ASSERT_EQ(clipboardText.size(), 1);
    EXPECT_TRUE(clipboardText.first().startsWith("hsl(")) << qPrintable(clipboardText.first());
    EXPECT_EQ(ColorHistory::colors(), QStringList{"#FF0000"});

    QStringList list;
    for (int i = 0; i < 14; ++i)
        list = ColorHistory::added(list, QString::number(i % 13));  // 0 comes back to the front
    EXPECT_EQ(list, (QStringList{"0", "12", "11", "10", "9", "8", "7", "6", "5", "4", "3", "2"}));
    EXPECT_EQ(ColorHistory::hexText(QColor(10, 171, 255)), "#0AABFF");
}

TEST_F(Fixture, ScrollingFailureIsReportedAndCancelIsNot)
{
    for (const bool cancelled : {false, true}) {
        notices.clear();
        c->environment().scroll = [&](QScreen*, const QRectF&, CaptureCoordinator::ScrollDone d) {
            ScrollCaptureSession::Result r;
            r.cancelled = cancelled;
            if (!cancelled)
                r.error = CaptureError::failed("display gone");
            d(r);
        };
        capture(HotKeyAction::scrolling, QRectF(0, 0, 100, 100));
        EXPECT_EQ(notices, cancelled ? QStringList()
                                     : QStringList{"Capture failed|" +
                                                   CaptureError::failed("display gone").message()});
    }
}

TEST_F(Fixture, DeliveryOrderAndEditorOverCard)
{
    Toast::dismiss();
    std::optional<QUuid> editorEntry;
    c->environment().openEditor = [&](const CaptureResult&, std::optional<QUuid> id) {
        calls << "editor";
        editorEntry = id;
    };
    // One encode: the clipboard serves and the history file holds the same bytes.
    QByteArray copied;
    c->environment().encodePng = [](const QImage&, double) {
        return QtFuture::makeReadyFuture(QByteArray("png"));
    };
    c->environment().copyImage = [&](const QImage&, double, QFuture<QByteArray> png) {
        calls << "copy";
        copied = png.result();
    };
    capture(HotKeyAction::fullscreen, std::nullopt);
    EXPECT_EQ(calls, (QStringList{"grab", "shutter", "history.add", "copy", "editor"}));
    EXPECT_EQ(editorEntry, store->entries().first().id);
    EXPECT_EQ(Toast::current(), nullptr);
    store->flush();
    QFile file(dir.filePath("h/" + uuidText(*editorEntry) + ".png"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "png");
    EXPECT_EQ(copied, "png");

    // Editor off: the card, with Upload only when a host is set.
    Prefs::set("after.editor", false);
    c->environment().upload = [&](const QImage&, double, const HistoryEntry&, std::optional<QString>) {
        calls << "upload";
    };
    for (const QString host : {"  ", "dav.example"}) {
        Prefs::set("remote.host", host);
        capture(HotKeyAction::fullscreen, std::nullopt);
        ASSERT_TRUE(Toast::current());
        auto* card = Toast::current()->findChild<QuickPreviewView*>();
        ASSERT_TRUE(card);
        EXPECT_EQ(card->buttons().size(), host.trimmed().isEmpty() ? 4 : 5);
    }
    EXPECT_FALSE(calls.contains("upload"));
}

TEST_F(Fixture, SaveFolderNumbersTakenNamesAndReportsFailure)
{
    QImage img(8, 8, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::blue);
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        const SaveOutcome out = SaveFolder::write(img, 1, dir.filePath("out"), "Shot");
        ASSERT_TRUE(out.ok);
        names << QFileInfo(out.path).fileName();
    }
    EXPECT_EQ(names, (QStringList{"Shot.png", "Shot 2.png", "Shot 3.png"}));

    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const SaveOutcome bad = SaveFolder::write(img, 1, dir.filePath("file"), "Shot");
    EXPECT_FALSE(bad.ok);
    EXPECT_FALSE(bad.error.isEmpty());
}

TEST_F(Fixture, BackgroundWorkWaitsWhileACaptureIsInFlightAndItsFilesAreWritten)
{
    ASSERT_FALSE(BackgroundWork::held());
    c->perform(HotKeyAction::area, 0);
    ASSERT_TRUE(test::waitFor([&] { return bool(pending); }));
    EXPECT_TRUE(BackgroundWork::held());  // the overlay is up
    const QFuture<int> work = BackgroundWork::run([] { return 7; });
    ASSERT_TRUE(test::waitFor([] { return BackgroundWork::waiting() == 1; }));
    EXPECT_FALSE(work.isFinished());

    // Chosen: delivered, and the history's files are still on their way.
    bool done = false;
    QObject::connect(c.get(), &CaptureCoordinator::finished, [&] { done = true; });
    std::exchange(pending, {})(
        SelectionResult{QGuiApplication::primaryScreen(), {10, 10, 50, 40}, frozen, 2.0, {}, {}});
    ASSERT_TRUE(test::waitFor([&] { return done; }));
    ASSERT_EQ(store->entries().size(), 1);
    EXPECT_TRUE(test::waitFor([] { return !BackgroundWork::held(); }));
    EXPECT_TRUE(test::waitFor([&] { return work.isFinished(); }));
    EXPECT_EQ(work.result(), 7);
    EXPECT_TRUE(QFile::exists(dir.filePath("h/" + uuidText(store->entries().first().id) + ".png")));

    // A cancelled capture lets it go too.
    c->perform(HotKeyAction::area, 0);
    ASSERT_TRUE(test::waitFor([&] { return bool(pending); }));
    EXPECT_TRUE(BackgroundWork::held());
    std::exchange(pending, {})(std::nullopt);
    EXPECT_FALSE(BackgroundWork::held());
}

TEST_F(Fixture, SaveFolderNeverReplacesAFileAndNamesWhyItCannotWrite)
{
    QImage img(8, 8, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::blue);
    const QString out = dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(out));
    // A name that is taken although nothing can be read there (a link that leads nowhere):
    // checking for a free name and then renaming over it would destroy the link.
    ASSERT_EQ(::symlink("/nonexistent/elsewhere.png", QFile::encodeName(out + "/Shot.png").constData()), 0);
    const SaveOutcome saved = SaveFolder::write(img, 1, out, "Shot");
    ASSERT_TRUE(saved.ok) << saved.error.toStdString();
    EXPECT_EQ(QFileInfo(saved.path).fileName(), "Shot 2.png");
    EXPECT_TRUE(QFileInfo(out + "/Shot.png").isSymLink());
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2);

    // A folder the user may not write to, and one that cannot be created in it, name the
    // real reason.
    const QString locked = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    for (const QString& folder : {locked, locked + "/Shots/2026"}) {
        SaveOutcome refused;
        {
            test::ObeyFileModes asAUser;
            refused = SaveFolder::write(img, 1, folder, "Shot");
        }
        EXPECT_FALSE(refused.ok);
        EXPECT_TRUE(refused.error.contains(QString::fromLocal8Bit(std::strerror(EACCES))))
            << refused.error.toStdString();
        EXPECT_TRUE(refused.error.startsWith(folder)) << refused.error.toStdString();
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(Fixture, AfterCaptureSaveWritesTheSharedPngUnlessTheExportDiffers)
{
    const QString folder = dir.filePath("saved");
    Prefs::set("saveFolder", folder);
    Prefs::set("filePattern", "Shot");
    Prefs::set("after.save", true);
    Prefs::set("after.editor", false);
    Prefs::set("after.preview", false);
    Prefs::remove("imageFormat");
    int encodes = 0;
    c->environment().encodePng = [&](const QImage&, double) {
        ++encodes;
        return QtFuture::makeReadyFuture(QByteArray("the shared png"));
    };
    const auto saved = [&](const QString& name) {
        EXPECT_TRUE(test::waitFor([&] { return QFile::exists(folder + "/" + name); }, 10000))
            << name.toStdString();
        QFile f(folder + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    frozen.fill(Qt::darkCyan);
    capture(HotKeyAction::fullscreen, std::nullopt);
    EXPECT_EQ(saved("Shot.png"), "the shared png");
    EXPECT_EQ(encodes, 1);

    // Downscaled for the folder (the capture has scale 2): its own, smaller encode.
    Prefs::set("downscaleRetina", true);
    capture(HotKeyAction::fullscreen, std::nullopt);
    const QImage small = QImage::fromData(saved("Shot 2.png"));
    EXPECT_EQ(small.size(), QSize(200, 150));
    for (const char* key : {"saveFolder", "filePattern", "downscaleRetina"})
        Prefs::remove(key);
}

TEST_F(Fixture, ACaptureTheHistoryCannotKeepIsReported)
{
    Lang::overrideForTests("en");
    Notices::watchHistory(*store);
    Notices::watchHistory(*store);  // once per store: one toast per capture
    frozen = test::noiseImage(QSize(400, 300), 3);
    {
        test::FileSizeLimit fullDisk(4096);
        capture(HotKeyAction::fullscreen, std::nullopt);
        ASSERT_TRUE(test::waitFor([&] { return !notices.isEmpty(); }, 10000));
        store->flush();
    }
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.first().startsWith(
        "Capture not kept in the history|The image file could not be written in " + dir.filePath("h")))
        << notices.first().toStdString();
    EXPECT_TRUE(store->entries().isEmpty());
}

// A capture that prunes many entries says so where it is seen: beside its preview card, which
// stays up for its own time.
TEST_F(Fixture, ManyPrunedByACaptureIsSaidBesideItsPreviewCard)
{
    // Small limits keep the test small: read as stored, not into the range Settings offers.
    Prefs::readIntoOfferedRangeForTests(false);
    const auto ranged = qScopeGuard([] { Prefs::readIntoOfferedRangeForTests(true); });
    Lang::overrideForTests("en");
    Notices::watchHistory(*store);
    store->takeStartNotices();  // the launch's
    Prefs::set("after.editor", false);
    Prefs::set("after.copy", false);
    for (int i = 0; i < 7; ++i)
        store->add(CaptureResult{frozen, 1.0, SourceKind::area, {}, QDateTime::currentDateTimeUtc()});
    Prefs::set("history.max", 1);
    auto restore = qScopeGuard([] { Prefs::remove("history.max"); });
    const QString said = "7 captures removed from the history|The history keeps at most 1.";
    QStringList onScreen;
    QObject::connect(&Toast::events(), &ToastEvents::noticeShown, c.get(),
                     [&](const QString& t, const QString& s) { onScreen << t + "|" + s; });
    capture(HotKeyAction::fullscreen, std::nullopt);
    ASSERT_TRUE(Toast::card());
    ASSERT_TRUE(Toast::card()->findChild<QuickPreviewView*>());
    ASSERT_TRUE(test::waitFor([&] {
        return std::any_of(onScreen.cbegin(), onScreen.cend(),
                           [&](const QString& n) { return n.startsWith(said); });
    })) << onScreen.join('\n').toStdString();
    EXPECT_EQ(Toast::shown().size(), 2);
    EXPECT_EQ(Toast::shown().value(0), Toast::card()) << "the card keeps its corner";
    EXPECT_EQ(Toast::pendingDismissMs(Toast::card()), 6000);
    // The same warning as at the start.
    auto* notice = Toast::shown().value(1)->findChild<ToastView*>();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->symbol(), "exclamationmark.triangle.fill");
    EXPECT_EQ(store->entries().size(), 1);
}

// A scrolling capture that ends early is still a capture: with the editor off its card shows,
// for all of its time, and the reason shows above it, whatever the reason; a save that fails
// after it shows there too.
TEST_F(Fixture, AScrollingCaptureThatEndsEarlyShowsItsCardAndWhy)
{
    Lang::overrideForTests("en");
    Prefs::set("after.editor", false);
    auto restore = qScopeGuard([] {
        Prefs::remove("after.save");
        Prefs::remove("saveFolder");
    });
    const QString reasons[] = {
        "Maximum height reached",
        "Could not follow the scroll: the content repeats itself, so the image is the first screen.",
        "Could not follow the scroll: the image ends where stitching stopped.",
        "A part of the page kept changing while it scrolled past (a video or an animation taller than the "
        "view): the image ends there.",
        "Could not follow the scroll past a part of the page that keeps changing (a canvas or a video): the "
        "image ends there.",
        "A blank stretch taller than the selection could not be followed: the image ends before it.",
        "The display went away: the image ends where it was.",
    };
    QString note;
    c->environment().scroll = [&](QScreen*, const QRectF&, CaptureCoordinator::ScrollDone d) {
        ScrollCaptureSession::Result r;
        r.image = QImage(100, 900, QImage::Format_RGB32);
        r.image.fill(Qt::white);
        r.note = note;
        d(r);
    };
    QStringList ended;
    QObject::connect(&Toast::events(), &ToastEvents::cardEnded, c.get(),
                     [&](bool whole) { ended << QString("card %1").arg(whole ? "whole" : "cut"); });
    QObject::connect(&Toast::events(), &ToastEvents::noticeEnded, c.get(),
                     [&](const QString& t, const QString&, bool whole) {
                         ended << QString("%1 %2").arg(t, whole ? "whole" : "cut");
                     });
    for (const QString& reason : reasons) {
        SCOPED_TRACE(reason.toStdString());
        while (Toast::current())
            Toast::dismiss();
        ended.clear();
        notices.clear();
        note = reason;
        capture(HotKeyAction::scrolling, QRectF(0, 0, 100, 100));
        EXPECT_EQ(notices, QStringList{"Scrolling capture ended early|" + reason});
        const QList<FloatingPanel*> shown = Toast::shown();
        ASSERT_EQ(shown.size(), 2);
        ASSERT_TRUE(shown[0]->findChild<QuickPreviewView*>()) << "the card keeps its corner";
        auto* why = shown[1]->findChild<ToastView*>();
        ASSERT_TRUE(why);
        EXPECT_EQ(why->subtitle(), reason);
        EXPECT_TRUE(ToastView::showsWhole(why->title(), why->subtitle()));
        // Above the card, clear of its surface; the card's time untouched.
        EXPECT_LE(shown[1]->geometry().bottom() + 1, shown[0]->y() + Toast::stackOverlap);
        EXPECT_EQ(shown[1]->geometry().right(), shown[0]->geometry().right());
        EXPECT_EQ(Toast::pendingDismissMs(shown[0]), 6000);
        EXPECT_EQ(Toast::pendingDismissMs(shown[1]), 5000);
        EXPECT_TRUE(ended.isEmpty()) << ended.join(", ").toStdString();
    }
    // The last one left alone: both go when their own time is up, the notice first.
    ASSERT_TRUE(test::waitFor([&] { return ended.size() == 2; }, 15000)) << ended.join(", ").toStdString();
    EXPECT_EQ(ended, (QStringList{"Scrolling capture ended early whole", "card whole"}));

    // A save that fails: the card stays and the failure shows beside it.
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Prefs::set("after.save", true);
    Prefs::set("saveFolder", dir.filePath("blocker"));
    note.clear();
    notices.clear();
    capture(HotKeyAction::scrolling, QRectF(0, 0, 100, 100));
    ASSERT_TRUE(test::waitFor([&] { return !notices.filter("Save failed|").isEmpty(); }, 5000));
    ASSERT_EQ(Toast::shown().size(), 2);
    EXPECT_EQ(Toast::shown().value(0), Toast::card());
    EXPECT_TRUE(Toast::shown().value(1)->findChild<ToastView*>()->title().startsWith("Save failed"));
}

// The card ends by its own actions only: an upload's progress beside it leaves it up; Copy ends
// it and not the notice; Save ends it once the file is written, and leaves it up when the save
// fails, with the failure beside it.
TEST_F(Fixture, TheCardEndsByItsOwnActionsOnly)
{
    Lang::overrideForTests("en");
    Prefs::set("after.editor", false);
    Prefs::set("after.upload", true);
    Prefs::set("remote.host", "dav.example");
    Prefs::set("saveFolder", dir.filePath("saved"));
    auto restore = qScopeGuard([] {
        for (const char* key : {"after.upload", "remote.host", "saveFolder"})
            Prefs::remove(key);
    });
    int uploads = 0;
    c->environment().upload = [&](const QImage&, double, const HistoryEntry&, std::optional<QString>) {
        ++uploads;
        Toast::present(new ToastView("Uploading…", QString(), "icloud.and.arrow.up"), 20);
    };
    auto button = [](int i) { return Toast::card()->findChild<QuickPreviewView*>()->buttons().at(i); };

    capture(HotKeyAction::fullscreen, std::nullopt);
    ASSERT_EQ(Toast::shown().size(), 2);
    ASSERT_TRUE(Toast::card());
    EXPECT_EQ(uploads, 1);
    button(1)->click();  // Copy
    EXPECT_EQ(Toast::card(), nullptr);
    ASSERT_EQ(Toast::shown().size(), 1) << "the upload's notice stays";
    EXPECT_EQ(Toast::current()->findChild<ToastView*>()->title(), "Uploading…");

    Prefs::set("after.upload", false);
    capture(HotKeyAction::fullscreen, std::nullopt);
    ASSERT_TRUE(Toast::card());
    button(3)->click();  // Save
    ASSERT_TRUE(test::waitFor([&] { return !notices.filter("Saved|").isEmpty(); }, 5000));
    EXPECT_EQ(Toast::card(), nullptr);

    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Prefs::set("saveFolder", dir.filePath("blocker"));
    capture(HotKeyAction::fullscreen, std::nullopt);
    QPointer<FloatingPanel> card = Toast::card();
    ASSERT_TRUE(card);
    button(3)->click();
    ASSERT_TRUE(test::waitFor([&] { return !notices.filter("Save failed|").isEmpty(); }, 5000));
    ASSERT_EQ(Toast::card(), card.data()) << "the card stays for another try";
    button(4)->click();  // Upload: the card makes way for the upload's own notice
    EXPECT_EQ(uploads, 2);
    EXPECT_EQ(Toast::card(), nullptr);
}

// With after.save on, each capture lands in the save folder; a failing save says so once,
// a good one not at all.
TEST_F(Fixture, AfterCaptureSaveReportsOnlyAFailureAndThatOnce)
{
    Toast::dismiss();
    Prefs::set("after.copy", false);
    Prefs::set("after.editor", false);
    Prefs::set("after.preview", false);
    Prefs::set("after.save", true);
    Prefs::set("saveFolder", dir.filePath("saved"));
    auto restore = qScopeGuard([] {
        Prefs::remove("after.save");
        Prefs::remove("saveFolder");
    });
    capture(HotKeyAction::fullscreen, std::nullopt);
    ASSERT_TRUE(test::waitFor([&] { return !QDir(dir.filePath("saved")).isEmpty(QDir::Files); }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(notices.filter("Save failed|").size(), 0) << notices.join('\n').toStdString();

    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Prefs::set("saveFolder", dir.filePath("blocker"));  // a file where the folder should be
    capture(HotKeyAction::fullscreen, std::nullopt);
    ASSERT_TRUE(test::waitFor([&] { return !notices.filter("Save failed|").isEmpty(); }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(notices.filter("Save failed|").size(), 1) << notices.join('\n').toStdString();
    EXPECT_EQ(store->entries().size(), 2);  // the history keeps both captures
}

// The clipboard keeps the capture's PNG, not its pixels, once the encode is done; readers of
// the image or the TIFF get the same pixels from it.
TEST(DeferredClipboard, DropsThePixelsOnceThePngIsReadyAndServesThemFromIt)
{
    ImageBufferPool pool(2, 60000);
    QImage image = pool.take(QSize(700, 500), QImage::Format_RGB32);
    image.fill(QColor(30, 120, 200));
    for (int y = 0; y < 500; y += 7)
        image.setPixel(y, y, qRgb(250, 10, 10));
    const QImage expected = image.copy();
    QPromise<QByteArray> png;
    png.start();
    auto* mime = new DeferredImageMime(image, 2.0, png.future());
    image = QImage();
    EXPECT_EQ(pool.buffersInUse(), 1);  // held while the PNG is being made

    png.addResult(*encodePng(expected, 0));
    png.finish();
    EXPECT_TRUE(test::waitFor([&] { return pool.buffersInUse() == 0; }));
    const QImage fromQt = qvariant_cast<QImage>(mime->imageData());
    EXPECT_EQ(test::maxChannelDifference(fromQt.convertToFormat(QImage::Format_RGB32), expected), 0);
    const QImage fromTiff = QImage::fromData(mime->data(QStringLiteral("image/tiff")), "TIFF");
    EXPECT_EQ(test::maxChannelDifference(fromTiff.convertToFormat(QImage::Format_RGB32), expected), 0);
    delete mime;
}
