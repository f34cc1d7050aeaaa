// The AI panel offscreen against the local server, and the inline Markdown formatter.
#include "analysis/ai/AIPanel.h"
#include "analysis/ai/MarkdownInline.h"

#include "FakeAIServer.h"
#include "TestSupport.h"
#include "capture/history/HistoryStore.h"
#include "core/Prefs.h"
#include "ui/ChromeButton.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace kx;
using namespace kx::test;

namespace {

QByteArray answer(const char* markdown)
{
    return httpReply(
        200, "application/json",
        QJsonDocument(QJsonObject{{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", markdown}}}}})
            .toJson());
}

class AIPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keys.keys = {{"anthropic.apiKey", "sk-ant-test"}};
        qputenv("KAPTORIX_TEST_AI_BASE_URL", server.baseUrl());
    }
    AIPanel* makePanel(QWidget* window, const std::shared_ptr<AIAnalysisModel>& model, const QUuid& id = {})
    {
        auto* panel = new AIPanel(
            model, [] { return QImage(64, 48, QImage::Format_RGB32); }, id, {}, window);
        (new QVBoxLayout(window))->addWidget(panel);
        window->resize(340, 700);
        window->show();
        return panel;
    }
    template <typename T = QWidget>
    static T* part(QWidget* panel, const char* name)
    {
        return panel->findChild<T*>(QString::fromLatin1(name));
    }
    MemoryKeys keys;
    FakeAIServer server;
};

}  // namespace

TEST_F(AIPanelTest, WithoutAKeyTheNoticeAndHintShowAndNothingIsSent)
{
    keys.keys.clear();
    QWidget window;
    AIPanel* panel = makePanel(&window, AIAnalysisModel::create());
    ASSERT_TRUE(waitFor([&] { return part(panel, "keyNotice")->isVisible(); }));
    EXPECT_TRUE(part(panel, "hint")->isVisible());
    part<ChromeButton>(panel, "analyze")->click();
    ASSERT_TRUE(waitFor([&] { return part(panel, "errorNotice")->isVisible(); }));
    EXPECT_EQ(part<QLabel>(panel, "errorText")->text(),
              "Add your Anthropic Claude API key in Settings → AI.");
    EXPECT_EQ(server.connections, 0);
}

TEST_F(AIPanelTest, AnalyzingThenFormattedAnswerThenErrorAboveTheKeptAnswer)
{
    QWidget window;
    auto model = AIAnalysisModel::create();
    AIPanel* panel = makePanel(&window, model);
    auto* analyze = part<ChromeButton>(panel, "analyze");
    analyze->click();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 1; }));
    EXPECT_EQ(analyze->title(), "Analyzing…");
    EXPECT_FALSE(analyze->isEnabled());
    EXPECT_FALSE(part(panel, "hint")->isVisible());

    const char* md = "**Login** form, see `main.cpp` and [docs](https://example.org)\n| a | b |\n|---|---|";
    server.release(answer(md));
    ASSERT_TRUE(waitFor([&] { return !model->loading(); }));
    auto* view = part<QTextBrowser>(panel, "answer");
    const QString html = view->document()->toHtml();
    EXPECT_TRUE(html.contains("font-weight:700;\">Login</span>")) << html.toStdString();
    EXPECT_TRUE(html.contains("<a href=\"https://example.org\">"));
    EXPECT_TRUE(view->toPlainText().startsWith("Login form, see main.cpp and docs\n| a | b |\n|---|---|"));

    server.reply = httpReply(500, "text/html", "<html>oops</html>");
    analyze->click();
    ASSERT_TRUE(waitFor([&] { return part(panel, "errorNotice")->isVisible(); }));
    EXPECT_EQ(part<QLabel>(panel, "errorText")->text(), "API HTTP 500: <html>oops</html>");
    EXPECT_EQ(part<QLabel>(panel, "errorText")->textFormat(), Qt::PlainText);
    EXPECT_TRUE(view->toPlainText().startsWith("Login form"));
    window.grab().save(artifactDir("ai") + "/panel.png");
    part<ChromeButton>(panel, "copy")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(md));
}

TEST_F(AIPanelTest, SummaryFollowsThePresetAtArrivalAndSurvivesTheWindow)
{
    HistoryStore& history = HistoryStore::shared();
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::white);
    const QUuid id =
        history.add(CaptureResult{img, 1.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()}).id;
    auto sink = [](const QUuid& entry, const QString& text) {
        HistoryStore::shared().setAISummary(entry, text);
    };

    auto* window = new QWidget;
    auto model = AIAnalysisModel::create(sink);
    AIPanel* panel = makePanel(window, model, id);
    part<ChromeButton>(panel, "analyze")->click();  // describe…
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 1; }));
    model->setPreset(AIPreset::uiux);  // …but a review arrives
    server.release(answer("A review"));
    ASSERT_TRUE(waitFor([&] { return !model->loading(); }));
    EXPECT_FALSE(history.entry(id)->aiSummary.has_value());

    model->setPreset(AIPreset::seo);
    part<ChromeButton>(panel, "analyze")->click();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 2; }));
    std::weak_ptr<AIAnalysisModel> alive = model;
    delete window;  // closing the editor mid-request
    model.reset();
    EXPECT_FALSE(alive.expired());
    server.release(answer("alt: a login form"));
    ASSERT_TRUE(waitFor([&] { return history.entry(id)->aiSummary == QStringLiteral("alt: a login form"); }));
    EXPECT_TRUE(waitFor([&] { return alive.expired(); }));
}

TEST(MarkdownInline, FormatsInlineOnlyAndEscapesTheRest)
{
    const QList<QPair<QString, QString>> table{
        {"**b** and *i* and ***both***", "<b>b</b> and <i>i</i> and <b><i>both</i></b>"},
        {"`a<b>` snake_case_name \\*lit\\*", "<code>a&lt;b&gt;</code> snake_case_name *lit*"},
        {"[x](https://e.org) <mailto:a@b.c>",
         "<a href=\"https://e.org\">x</a> <a href=\"mailto:a@b.c\">mailto:a@b.c</a>"},
        {"[run](javascript:alert) <script>", "run &lt;script&gt;"},
        {"```\ncode\n```", "```<br>code<br>```"},
        {"| a | b |\n# Title\n- item", "| a | b |<br># Title<br>- item"},
        {"* not emphasis *", "* not emphasis *"},
    };
    for (const auto& [md, inner] : table)
        EXPECT_EQ(inlineMarkdownHtml(md), "<div style=\"white-space: pre-wrap;\">" + inner + "</div>")
            << md.toStdString();
    EXPECT_FALSE(isOpenableLink(QUrl("file:///etc/passwd")));
}
