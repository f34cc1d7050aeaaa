// The openers reach the one help window: the editor's rail on "editor", the tray without a
// topic (keeping the page last shown).
#include "app/TrayApp.h"
#include "core/CaptureResult.h"
#include "core/Localisation.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/EditorServices.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/ToolRail.h"
#include "help/HelpNav.h"
#include "help/HelpView.h"
#include "help/HelpWindowController.h"
#include "ui/ChromeButton.h"

#include <gtest/gtest.h>
#include <QAbstractButton>

using namespace kx;

TEST(HelpOpenersTest, RailOpensTheEditorPageOthersKeepTheLastPage)
{
    Lang::overrideForTests("en");
    HelpNav::shared().setTopic("pins");

    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const CaptureResult capture{image, 1.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()};
    EditorWindowController* editor = EditorWindowController::open(capture, QUuid(), EditorServices::live());
    ASSERT_NE(editor, nullptr);
    editor->root()->rail()->helpButton()->click();
    auto& help = HelpWindowController::shared();
    ASSERT_NE(help.window(), nullptr);
    EXPECT_TRUE(help.window()->isVisible());
    EXPECT_EQ(help.view()->pageId(), "editor");
    help.window()->close();

    // The tray's Help item passes no topic.
    TrayApp::Windows::real().help(std::nullopt);
    EXPECT_TRUE(help.window()->isVisible());
    EXPECT_EQ(help.view()->pageId(), "editor");
    editor->window()->close();
}
