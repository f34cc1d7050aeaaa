// The toast's placement, one-at-a-time rule and lifetimes; the preview card's buttons,
// clicks and hover hold; the countdown's steps.
#include "TestSupport.h"
#include "capture/notice/Countdown.h"
#include "capture/notice/QuickPreviewView.h"
#include "core/Localisation.h"
#include "ui/ChromeButton.h"
#include "ui/FloatingPanel.h"
#include "ui/Theme.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTest>

using namespace kx;

namespace {

ToastView* note(const QString& title)
{
    return new ToastView(title, QString(), "checkmark.circle.fill"_sym);
}

ToastView* warning(const QString& title)
{
    return new ToastView(title, "Something needs you.", "exclamationmark.triangle.fill"_sym);
}

bool noPanelShows()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<FloatingPanel*>(w) && w->isVisible())
            return false;
    return true;
}

void settle()
{
    // Let an earlier test's toasts (and those waiting) finish fading and go.
    while (Toast::current())
        Toast::dismiss();
    ASSERT_TRUE(kx::test::waitFor(noPanelShows, 5000));
}

QuickPreviewActions recording(QStringList* log, bool withUpload)
{
    QuickPreviewActions a;
    a.edit = [log] { *log << "edit"; };
    a.copy = [log] { *log << "copy"; };
    a.pin = [log] { *log << "pin"; };
    a.save = [log] { *log << "save"; };
    if (withUpload)
        a.upload = [log] { *log << "upload"; };
    a.close = [log] { *log << "close"; };
    return a;
}

void click(QWidget* w, const QPointF& at)
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at.toPoint());
}

}  // namespace

TEST(ToastPlacement, RestsSixteenFromTheRightAndBottomOfTheVisibleArea)
{
    EXPECT_EQ(Toast::restPosition(QRect(0, 0, 1920, 1056), QSize(300, 90)),
              QPoint(1920 - 300 - 16, 1056 - 90 - 16));
    // a second screen to the right, with a panel at its top
    EXPECT_EQ(Toast::restPosition(QRect(1920, 30, 1280, 994), QSize(300, 90)),
              QPoint(1920 + 1280 - 316, 30 + 994 - 106));
    EXPECT_EQ(Countdown::panelRect(QRect(1920, 0, 1280, 1024)), QRect(1920 + 640 - 72, 512 - 72, 144, 144));
    // Stacked: right-aligned, each one's lower margin over the upper margin of the one below.
    EXPECT_EQ(
        Toast::stackPositions(QRect(0, 0, 1920, 1056), {QSize(380, 300), QSize(300, 90), QSize(200, 70)}),
        (QList<QPoint>{{1920 - 380 - 16, 1056 - 300 - 16},
                       {1920 - 300 - 16, 1056 - 300 - 16 - 90 + 14},
                       {1920 - 200 - 16, 1056 - 300 - 16 - 90 + 14 - 70 + 14}}));
}

TEST(Toast, OnlyOneAtATimeAndTheReplacedOneGoesAtOnceWithItsTimer)
{
    settle();
    Toast::present(note("First"), 3);
    QPointer<FloatingPanel> first = Toast::current();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(Toast::pendingDismissMs(), 3000);

    Toast::present(note("Second"), 0);
    QPointer<FloatingPanel> second = Toast::current();
    EXPECT_NE(second, first);
    EXPECT_TRUE(!first || !first->isVisible());  // gone without a fade
    EXPECT_EQ(Toast::pendingDismissMs(), -1);    // and its timer with it
    // Deleted later: a replaced card may be the sender of the call that replaced it.
    EXPECT_TRUE(kx::test::waitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !first;
    }));
    EXPECT_TRUE(second->isVisible());
}

TEST(Toast, ADurationArmsTheDismissZeroOrLessStaysAndDismissIsIdempotent)
{
    settle();
    Toast::present(note("Short"), 0.2);
    QPointer<FloatingPanel> panel = Toast::current();
    EXPECT_EQ(Toast::pendingDismissMs(), 200);
    EXPECT_TRUE(kx::test::waitFor([&] { return Toast::current() == nullptr && !panel; }, 5000));

    for (double seconds : {0.0, -2.0}) {
        Toast::present(note("Stays"), seconds);
        EXPECT_EQ(Toast::pendingDismissMs(), -1);
    }
    Toast::schedule(3.0);  // rearms
    EXPECT_EQ(Toast::pendingDismissMs(), 3000);
    Toast::schedule(0);  // disarms
    EXPECT_EQ(Toast::pendingDismissMs(), -1);
    panel = Toast::current();
    Toast::dismiss();
    EXPECT_EQ(Toast::current(), nullptr);
    Toast::dismiss();  // nothing left to dismiss
    EXPECT_TRUE(kx::test::waitFor([&] { return !panel; }, 3000));
    Toast::dismiss();  // and nothing at all showing
}

// Warnings show one after the other, each for all of its time; a confirmation does not wait
// for them, and the card below them keeps its place and its time.
TEST(Toast, WarningsShowInTurnForTheirWholeTimeBesideTheCard)
{
    settle();
    QStringList log;
    QObject ctx;
    QObject::connect(&Toast::events(), &ToastEvents::noticeShown, &ctx,
                     [&](const QString& t, const QString&) { log << "shown " + t; });
    QObject::connect(&Toast::events(), &ToastEvents::noticeEnded, &ctx,
                     [&](const QString& t, const QString&, bool whole) {
                         log << QString("ended %1 %2").arg(t, whole ? "whole" : "cut");
                     });
    QStringList actions;
    auto* card =
        new QuickPreviewView(QImage(800, 500, QImage::Format_RGB32), "info", recording(&actions, false));
    Toast::present(card, 0);
    Toast::present(warning("First"), 0.3);
    Toast::present(warning("Second"), 0.3);
    EXPECT_EQ(Toast::waiting(), QStringList{"Second"});
    EXPECT_EQ(Toast::pendingDismissMs(), 300);
    Toast::present(note("Copied"), 0);
    ASSERT_EQ(Toast::shown().size(), 3);
    EXPECT_EQ(Toast::shown().first(), card->window());
    EXPECT_EQ(Toast::card(), card->window());
    EXPECT_EQ(Toast::current(), Toast::shown().last());

    const QStringList warnings{"shown First", "ended First whole", "shown Second", "ended Second whole"};
    ASSERT_TRUE(test::waitFor([&] { return log.filter("Second").size() == 2; }, 10000))
        << log.join(", ").toStdString();
    QStringList seen = log;
    seen.removeAll("shown Copied");
    EXPECT_EQ(seen, warnings);
    EXPECT_EQ(Toast::card(), card->window()) << "no notice takes the card's place";

    // The card goes: the confirmation left alone comes down to the corner.
    Toast::dismiss(card->window());
    ASSERT_EQ(Toast::shown().size(), 1);
    FloatingPanel* left = Toast::shown().first();
    const QPoint corner =
        Toast::restPosition(QGuiApplication::primaryScreen()->availableGeometry(), left->size());
    EXPECT_TRUE(test::waitFor([&] { return left->pos() == corner; }))
        << left->pos().x() << "," << left->pos().y();
    EXPECT_TRUE(actions.isEmpty());
    settle();
    EXPECT_TRUE(log.contains("ended Copied cut"));
}

TEST(ToastView, TintFollowsTheSymbolAndLongTextsWrapWithinTheMaximumWidth)
{
    EXPECT_EQ(ToastView::tintFor("exclamationmark.triangle.fill"_sym), Theme::systemOrange());
    EXPECT_EQ(ToastView::tintFor("exclamationmark.bubble"_sym), Theme::systemOrange());
    EXPECT_EQ(ToastView::tintFor("icloud.and.arrow.up"_sym), Theme::systemBlue());
    EXPECT_EQ(ToastView::tintFor("icloud.and.arrow.up.fill"_sym), Theme::systemGreen());
    EXPECT_EQ(ToastView::tintFor("checkmark.circle.fill"_sym), Theme::systemGreen());

    ToastView shortOne("Saved", QString(), "checkmark.circle.fill"_sym);
    ToastView withSubtitle("Saved", "Kaptorix 2026-10-09 14.32.05.png", "checkmark.circle.fill"_sym);
    ToastView longOne(QString("Upload failed – saved for a retry ").repeated(4),
                      QString("word ").repeated(200), "exclamationmark.triangle.fill"_sym);
    EXPECT_LT(shortOne.sizeHint().width(), withSubtitle.sizeHint().width());
    EXPECT_LE(longOne.sizeHint().width(), 360 + 12 + 16 + 2 * 14);
    // two title lines and three subtitle lines at most
    EXPECT_LT(longOne.sizeHint().height(), 2 * 14 + 2 * 10 + 2 * 20 + 3 * 18 + 4);
}

// Names of files in notices: short ones as they are, long ones by their ends, the file's own
// name and extension kept; the home folder as ~.
TEST(ToastView, LongPathsAndNamesAreShortenedInTheMiddle)
{
    const QString home = QDir::homePath();
    const struct {
        QString path;
        int max;
        QString shown;
    } paths[] = {
        {"/cfg/Kaptorix/Kaptorix.conf", 40, "/cfg/Kaptorix/Kaptorix.conf"},
        {home + "/.config/Kaptorix/Kaptorix.conf", 40, "~/.config/Kaptorix/Kaptorix.conf"},
        {"/srv/homes/alexandra/settings/from/the/old/laptop/Kaptorix/Kaptorix.conf", 40,
         "/srv/…/old/laptop/Kaptorix/Kaptorix.conf"},
        {home + "/a/very/long/way/down/to/the/Pictures/Kaptorix", 30, "~/a/…/to/the/Pictures/Kaptorix"},
        // No folder fits beside the head: the name alone, itself shortened when it must be.
        {"/srv/" + QString(60, 'x') + "/" + QString(50, 'n') + ".png", 40,
         "…/" + QString(17, 'n') + "…" + QString(16, 'n') + ".png"},
    };
    for (const auto& p : paths) {
        const QString shown = ToastView::shortPath(p.path, p.max);
        EXPECT_EQ(shown.toStdString(), p.shown.toStdString());
        EXPECT_LE(shown.size(), p.max) << p.path.toStdString();
    }
    EXPECT_EQ(ToastView::shortName("Shot.png", 40).toStdString(), "Shot.png");
    EXPECT_EQ(ToastView::shortName("Screenshot from the quarterly review.png", 20).toStdString(),
              "Screensh… review.png");
    EXPECT_EQ(ToastView::shortName("README-of-the-project-with-a-long-name", 20).toStdString(),
              "README-of-…long-name");

    // An excerpt of a long text shows whole: three lines, the last ending in "…".
    const QString copied = QString("A line of recognised text\n").repeated(12);
    const QString shown = ToastView::excerpt(copied);
    EXPECT_TRUE(ToastView::showsWhole("Text copied", shown));
    EXPECT_EQ(shown.count('\n'), 2);
    EXPECT_TRUE(shown.startsWith("A line of recognised text\nA line of recognised text\nA line"));
    EXPECT_TRUE(shown.endsWith("…"));
    EXPECT_EQ(ToastView::excerpt("Hi"), "Hi");
}

TEST(QuickPreview, UploadButtonOnlyWhenGivenAndEachButtonRunsItsClosure)
{
    const QImage shot(1440, 900, QImage::Format_ARGB32_Premultiplied);
    QStringList log;
    QuickPreviewView four(shot, "1440 × 900 px · Area", recording(&log, false));
    QuickPreviewView five(shot, "1440 × 900 px · Area", recording(&log, true));
    ASSERT_EQ(four.buttons().size(), 4);
    ASSERT_EQ(five.buttons().size(), 5);
    EXPECT_GT(five.sizeHint().width(), four.sizeHint().width());
    EXPECT_TRUE(five.buttons().first()->chromeStyle().prominent);
    EXPECT_FALSE(five.buttons().at(1)->chromeStyle().prominent);
    for (ChromeButton* b : five.buttons())
        b->click();
    EXPECT_EQ(log, (QStringList{"edit", "copy", "pin", "save", "upload"}));
}

// Each caption stands whole under its symbol, in every language: the label is 48 pt wide and
// its text may reach 4 pt beyond it on each side.
TEST(QuickPreview, EveryCaptionFitsItsButtonInEachLanguage)
{
    const QFontMetricsF fm(Theme::font(10, QFont::Medium));
    for (const char* lang : {"en", "de", "hu"}) {
        Lang::overrideForTests(lang);
        QStringList log;
        QuickPreviewView card(QImage(80, 50, QImage::Format_RGB32), "info", recording(&log, true));
        for (const ChromeButton* b : card.buttons())
            EXPECT_LE(fm.horizontalAdvance(b->title()), 48 + 2 * 4)
                << lang << " " << b->title().toStdString();
    }
    Lang::overrideForTests("en");
}

TEST(QuickPreview, ThumbnailClickEditsInfoClickDoesNothingAndWideOrTallImagesFit)
{
    QStringList log;
    QuickPreviewView card(QImage(2000, 500, QImage::Format_RGB32), "info", recording(&log, false));
    card.resize(card.sizeHint());
    EXPECT_EQ(card.thumbnailRect().size(), QSizeF(280, 70));
    click(&card, card.thumbnailRect().center());
    click(&card, QPointF(card.width() / 2.0, card.thumbnailRect().bottom() + 14));  // the info line
    click(&card, QPointF(3, 3));                                                    // the outer margin
    EXPECT_EQ(log, QStringList{"edit"});
    EXPECT_EQ(QuickPreviewView::fittedThumbnail(QSizeF(300, 1200)), QSizeF(45, 180));
    EXPECT_EQ(QuickPreviewView::fittedThumbnail(QSizeF(56, 35)), QSizeF(280, 175));

    EXPECT_FALSE(card.closeButtonVisible());
    QMouseEvent move(QEvent::MouseMove, card.thumbnailRect().center(),
                     card.mapToGlobal(card.thumbnailRect().center()), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&card, &move);
    EXPECT_TRUE(card.closeButtonVisible());
}

TEST(QuickPreview, HoverHoldsTheCardAndLeavingGivesThreeSecondsButOnlyForTheCardOnScreen)
{
    settle();
    QStringList log;
    auto* card = new QuickPreviewView(QImage(800, 500, QImage::Format_RGB32), "info", recording(&log, true));
    Toast::present(card, 6);
    EXPECT_EQ(Toast::pendingDismissMs(), 6000);
    QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), QPointF(20, 20));
    QApplication::sendEvent(card, &enter);
    EXPECT_EQ(Toast::pendingDismissMs(), -1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(card, &leave);
    EXPECT_EQ(Toast::pendingDismissMs(), 3000);

    // A notice beside the card keeps its own time while the card is hovered and left.
    Toast::present(new ToastView("Uploading…", QString(), "icloud.and.arrow.up"_sym), 20);
    QApplication::sendEvent(card, &enter);
    EXPECT_EQ(Toast::pendingDismissMs(card->window()), -1);
    QApplication::sendEvent(card, &leave);
    EXPECT_EQ(Toast::pendingDismissMs(), 20000);
    EXPECT_EQ(Toast::pendingDismissMs(card->window()), 3000);
    // A card replaced by a newer one changes nothing with a late leave.
    QPointer<QuickPreviewView> old = card;
    Toast::present(new QuickPreviewView(QImage(80, 50, QImage::Format_RGB32), "info", recording(&log, true)),
                   6);
    if (old)
        QApplication::sendEvent(old, &leave);
    EXPECT_EQ(Toast::pendingDismissMs(Toast::card()), 6000);
    settle();
}

TEST(Countdown, CountsDownOneStepPerSecondThenHidesBeforeDone)
{
    bool immediate = false;
    EXPECT_EQ(Countdown::run(0, [&] { immediate = true; }), nullptr);
    EXPECT_TRUE(immediate);
    EXPECT_EQ(Countdown::run(-3, nullptr), nullptr);

    settle();
    QList<int> shown;
    bool done = false;
    bool panelGoneAtDone = false;
    CountdownModel* model = Countdown::run(2, [&] {
        done = true;
        panelGoneAtDone = noPanelShows();
    });
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->remaining(), 2);
    EXPECT_EQ(model->total(), 2);
    QObject::connect(model, &CountdownModel::remainingChanged, [&](int n) { shown << n; });
    EXPECT_TRUE(kx::test::waitFor([&] { return done; }, 10000));
    EXPECT_EQ(shown, QList<int>{1});  // 2 was shown first; 0 is never shown
    EXPECT_TRUE(panelGoneAtDone);
    EXPECT_DOUBLE_EQ(CountdownView::progress(1, 5), 0.2);
}
