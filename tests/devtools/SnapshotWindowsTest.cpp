// The snapshot mode's own small window shows the magnifier's tip whole in every language.
#include "core/Localisation.h"
#include "devtools/UISnapshot.h"

#include <gtest/gtest.h>
#include <QLayout>
#include <QWidget>
#include <memory>

namespace kx {
namespace {

TEST(SnapshotWindows, TheIconTipWindowFitsItsTip)
{
    for (const char* lang : {"en", "de", "hu"}) {
        Lang::overrideForTests(QString::fromLatin1(lang));
        std::unique_ptr<QWidget> window(UISnapshot::iconTipWindow());
        window->show();
        window->layout()->activate();
        const QWidget* tip = window->findChild<QWidget*>(QStringLiteral("tip"));
        ASSERT_TRUE(tip) << lang;
        EXPECT_EQ(tip->size(), tip->sizeHint()) << lang;
        EXPECT_TRUE(window->rect().adjusted(16, 16, -16, -16).contains(tip->geometry())) << lang;
        EXPECT_GE(window->width(), 420) << lang;
        EXPECT_GE(window->height(), 160) << lang;
    }
    Lang::overrideForTests(QStringLiteral("en"));
}

}  // namespace
}  // namespace kx
