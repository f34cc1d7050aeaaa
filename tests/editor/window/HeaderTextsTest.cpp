// The editor header folded as far as it goes, in every language: each "⋯" item is named as its
// button's tip names the button, "&" shows as itself, every row shows whole, no two dividers
// meet, and the copy popover's rows show their whole texts.
#include "../EditorTestPages.h"
#include "TestSupport.h"

#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/CopyButton.h"
#include "editor/window/HeaderBar.h"
#include "editor/window/Popover.h"
#include "ui/ChromeButton.h"
#include "ui/ChromeParts.h"
#include "ui/HelpTip.h"
#include "ui/Theme.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMenu>
#include <algorithm>

using namespace kx;

namespace {

// A menu text as the menu shows it: "&&" is "&", a lone "&" marks the next letter and vanishes.
QString shown(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

bool isDivider(const QWidget* w)
{
    return dynamic_cast<const VDivider*>(w) || w->findChild<VDivider*>();
}

}  // namespace

TEST(HeaderTexts, FoldedItemsAndCopyRowsAreNamedAsTheirControlsAndShowWhole)
{
    const struct {
        const char* lang;
        const char* copy;
        const char* copyAndClose;
    } languages[] = {{"en", "Copy", "Copy and close"},
                     {"de", "Kopieren", "Kopieren und schließen"},
                     {"hu", "Másolás", "Másolás és bezárás"}};
    for (const auto& l : languages) {
        SCOPED_TRACE(l.lang);
        Lang::overrideForTests(l.lang);
        EditorDocument doc(test::plainCapture(400, 300, 2));
        HeaderBar::Hooks hooks;
        hooks.beautifyContent = [] { return new QWidget; };
        hooks.addCapture = hooks.redact = hooks.ocr = hooks.palette = hooks.ai = hooks.upload = hooks.pin =
            true;
        HeaderBar header(doc, EditorActions{}, hooks);
        header.show();
        header.setMinimumWidth(0);  // as a window manager that ignores the minimum would
        header.resize(header.minimumSizeHint().width(), HeaderBar::kHeight);
        ASSERT_TRUE(test::waitFor([&] { return header.fit().folded == int(header.foldOrder().size()); }));

        // Each folded button has a visible "⋯" row with its name (a trailing "…" where it opens more).
        const QList<QAction*> rows = header.moreMenu()->actions();
        for (ChromeButton* b : header.foldOrder()) {
            const QString name = helpTipOf(b)->title;
            SCOPED_TRACE(name.toStdString());
            const auto it = std::find_if(rows.begin(), rows.end(), [&](QAction* a) {
                return a->isVisible() && (shown(a->text()) == name || shown(a->text()) == name + "…");
            });
            ASSERT_NE(it, rows.end());
            if (QAction* item = header.foldedItem(b)) {
                EXPECT_EQ(item, *it);
            }
        }
        const QFontMetrics menuFont(header.moreMenu()->font());
        for (QAction* a : rows) {
            if (!a->isVisible() || a->isSeparator())
                continue;
            SCOPED_TRACE(a->text().toStdString());
            EXPECT_GE(header.moreMenu()->actionGeometry(a).width(),
                      menuFont.horizontalAdvance(shown(a->text())));
        }

        // Left to right, never a divider next to a divider.
        QList<QWidget*> controls;
        for (QWidget* c : header.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (c->isVisible())
                controls << c;
        std::sort(controls.begin(), controls.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        for (int i = 1; i < controls.size(); ++i) {
            EXPECT_FALSE(isDivider(controls[i - 1]) && isDivider(controls[i])) << controls[i]->x();
        }

        // The copy choices: their texts whole inside rows shown whole in the popover.
        CopyButton* copy = header.copyButton();
        copy->setShowChoices(true);
        ASSERT_TRUE(copy->choices());
        ASSERT_TRUE(test::waitFor([&] { return copy->choices()->isVisible(); }));
        const QList<CopyChoiceRow*> choices = copy->choices()->findChildren<CopyChoiceRow*>();
        ASSERT_EQ(choices.size(), 2);
        EXPECT_EQ(choices[0]->text(), QString::fromUtf8(l.copy));
        EXPECT_EQ(choices[1]->text(), QString::fromUtf8(l.copyAndClose));
        const QFontMetricsF rowFont(Theme::font(12.5, QFont::Medium));
        for (CopyChoiceRow* row : choices) {
            SCOPED_TRACE(row->text().toStdString());
            EXPECT_GE(row->textRect().width(), rowFont.horizontalAdvance(row->text()));
            EXPECT_TRUE(QRectF(row->rect()).contains(row->textRect()));
            EXPECT_EQ(row->visibleRegion(), QRegion(row->rect()));
        }
        copy->setShowChoices(false);
    }
    Lang::overrideForTests("en");
}
