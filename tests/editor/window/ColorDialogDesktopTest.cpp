// The custom colour's dialog on small screens at scale 2 under a real window manager: its frame
// on the work area, every field reachable by scrolling, and Qt's own words in German.
#include "../EditorTestPages.h"
#include "ChildProcess.h"
#include "EditorFakes.h"
#include "TestSupport.h"

#include "core/Localisation.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/controls/ColorWindow.h"
#include "editor/window/controls/InspectorBar.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QColorDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QWindow>

using namespace kx;

TEST(ColorDialogDesktop, WholeOnTheWorkAreaWithEveryFieldReachableAndInGerman)
{
    if (!test::haveDisplay() || QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "no X display";
    ASSERT_TRUE(test::waitForWindowManager());
    Lang::overrideForTests("de");
    ASSERT_TRUE(installQtTranslations()) << "Qt's German translations (qt6-translations-l10n) missing";

    auto rec = std::make_shared<test::Recorded>();
    QPointer<EditorWindowController> editor =
        EditorWindowController::open(test::plainCapture(1600, 1000, 2), QUuid(), test::fakeServices(rec));
    ASSERT_TRUE(test::waitFor([&] { return editor->window()->isVisible(); }));
    auto* bar = editor->window()->findChild<InspectorBar*>();
    ASSERT_TRUE(bar);
    auto* well = bar->findChild<QAbstractButton*>(QStringLiteral("customColor"));
    ASSERT_TRUE(well);
    well->click();
    ColorWindow* window = bar->colorWindow();
    ASSERT_TRUE(window);
    const QRect area = window->screen()->availableGeometry();
    ASSERT_TRUE(test::waitFor(
        [&] {
            return window->windowHandle() && window->windowHandle()->isExposed() &&
                   area.contains(window->frameGeometry()) && window->frameGeometry() != window->geometry();
        },
        20000))
        << window->frameGeometry().width() << "×" << window->frameGeometry().height() << " on "
        << area.width() << "×" << area.height();

    // Each field scrolled into sight lies on the screen, not under its edge.
    QColorDialog* dialog = bar->colorDialog();
    QList<QWidget*> fields;
    for (QSpinBox* s : dialog->findChildren<QSpinBox*>())
        fields << s;
    for (QLineEdit* e : dialog->findChildren<QLineEdit*>())
        if (!qobject_cast<QSpinBox*>(e->parentWidget()))
            fields << e;
    EXPECT_EQ(fields.size(), 8);  // hue, saturation, value, red, green, blue, alpha and HTML
    for (QWidget* f : fields) {
        // Scrolled by hand: ensureWidgetVisible() brings only a text field's cursor into view.
        QScrollArea* scroll = window->scrollArea();
        const QRect r(f->mapTo(dialog, QPoint()), f->size());
        for (auto [bar, lo, hi, room] :
             {std::tuple{scroll->verticalScrollBar(), r.top(), r.bottom(), scroll->viewport()->height()},
              std::tuple{scroll->horizontalScrollBar(), r.left(), r.right(), scroll->viewport()->width()}}) {
            if (hi >= bar->value() + room)
                bar->setValue(hi + 1 - room);
            if (lo < bar->value())
                bar->setValue(lo);
        }
        EXPECT_TRUE(test::waitFor([&] {
            return f->visibleRegion() == QRegion(f->rect()) &&
                   area.contains(QRect(f->mapToGlobal(QPoint(0, 0)), f->size()));
        })) << f->metaObject()->className()
            << " at " << f->mapTo(dialog, QPoint(0, 0)).y() << " seen "
            << f->visibleRegion().boundingRect().height() << " of " << f->height() << "; dialog "
            << dialog->height() << " in " << window->scrollArea()->viewport()->height() << " scrolled "
            << window->scrollArea()->verticalScrollBar()->value() << "/"
            << window->scrollArea()->verticalScrollBar()->maximum();
    }

    // Qt's words in the language of the interface.
    QStringList words;
    for (QLabel* l : dialog->findChildren<QLabel*>())
        words << l->text();
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        words << b->text();
    for (const char* english : {"&Red:", "&Green:", "Bl&ue:", "A&lpha channel:", "&Basic colors",
                                "&Custom colors", "&Add to Custom Colors", "&Pick Screen Color"})
        EXPECT_FALSE(words.contains(QLatin1String(english))) << english;
    EXPECT_TRUE(words.contains(QStringLiteral("&Rot:"))) << words.join(" | ").toStdString();
    EXPECT_EQ(window->windowTitle(), "Eigene Farbe");
    test::rootScreenshot(test::artifactDir(QStringLiteral("color-dialog")) +
                         QStringLiteral("/%1x%2.png").arg(area.width()).arg(area.height()));
    window->close();
    delete editor.data();
    Lang::overrideForTests("en");
}
