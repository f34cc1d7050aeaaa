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

QByteArray answer(const QString& md)
{
    const QJsonObject text{{"type", "text"}, {"text", md}};
    return httpReply(200, "application/json",
                     QJsonDocument(QJsonObject{{"content", QJsonArray{text}}}).toJson());
}

class AIPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keys.keys = {{"anthropic.apiKey", "sk-ant-test"}};
        qputenv("KAPTORIX_TEST_AI_BASE_URL", server.baseUrl());
    }
    void open(const QUuid& id = {}, AIAnalysisModel::SummarySink sink = {})
    {
        model = AIAnalysisModel::create(std::move(sink));
        window = new QWidget;
        panel = new AIPanel(
            model, [] { return QImage(64, 48, QImage::Format_RGB32); }, id, {}, window);
        (new QVBoxLayout(window))->addWidget(panel);
        window->show();
    }
    void TearDown() override { delete window; }
    template <typename T = QWidget>
    T* part(const char* name) const
    {
        return panel->findChild<T*>(QString::fromLatin1(name));
    }
    MemoryKeys keys;
    FakeAIServer server;
    std::shared_ptr<AIAnalysisModel> model;
    QPointer<QWidget> window;
    AIPanel* panel = nullptr;
};

}  // namespace

TEST_F(AIPanelTest, WithoutAKeyTheNoticeAndHintShowNothingIsSentAndAProviderSwitchRechecks)
{
    keys.keys = {{"openai.apiKey", "sk-oa"}};
    open();
    ASSERT_TRUE(waitFor([&] { return part("keyNotice")->isVisible() && part("hint")->isVisible(); }));
    part<ChromeButton>("analyze")->click();
    ASSERT_TRUE(waitFor([&] { return part("errorNotice")->isVisible(); }));
    EXPECT_EQ(part<QLabel>("errorText")->text(), "Add your Anthropic Claude API key in Settings → AI.");
    EXPECT_EQ(server.connections, 0);
    Prefs::set("ai.provider", "openai");
    EXPECT_TRUE(waitFor([&] { return part("keyNotice")->isHidden(); }));
    Prefs::remove("ai.provider");
}

TEST_F(AIPanelTest, AnalyzingThenFormattedAnswerThenErrorAboveTheKeptAnswer)
{
    open();
    auto* analyze = part<ChromeButton>("analyze");
    analyze->click();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 1; }));
    EXPECT_EQ(analyze->title(), "Analyzing…");
    EXPECT_FALSE(analyze->isEnabled() || part("hint")->isVisible());

    const QString md = "**Login** form, see `main.cpp` and [docs](https://example.org)\n| a | b |\n|---|---|";
    server.release(answer(md));
    ASSERT_TRUE(waitFor([&] { return !model->loading(); }));
    auto* view = part<QTextBrowser>("answer");
    const QString html = view->document()->toHtml();
    EXPECT_TRUE(html.contains("font-weight:700;\">Login</span>") &&
                html.contains("<a href=\"https://example.org\">"))
        << html.toStdString();
    EXPECT_TRUE(view->toPlainText().startsWith("Login form, see main.cpp and docs\n| a | b |\n|---|---|"));

    server.reply = httpReply(500, "text/html", "<html>oops</html>");
    analyze->click();
    ASSERT_TRUE(waitFor([&] { return part("errorNotice")->isVisible(); }));
    EXPECT_EQ(part<QLabel>("errorText")->text(), "API HTTP 500: <html>oops</html>");
    EXPECT_EQ(part<QLabel>("errorText")->textFormat(), Qt::PlainText);  // never markup from a server
    EXPECT_TRUE(view->toPlainText().startsWith("Login form"));
    window->grab().save(artifactDir("ai") + "/panel.png");
    part<ChromeButton>("copy")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), md);
}

TEST_F(AIPanelTest, SummaryFollowsThePresetAtArrivalAndSurvivesTheWindow)
{
    HistoryStore& history = HistoryStore::shared();
    const QImage img(64, 48, QImage::Format_RGB32);
    const QUuid id = history.add({img, 1.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()}).id;
    open(id,
         [](const QUuid& entry, const QString& text) { HistoryStore::shared().setAISummary(entry, text); });
    part<ChromeButton>("analyze")->click();  // describe…
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 1; }));
    model->setPreset(AIPreset::uiux);  // …but a review arrives
    server.release(answer("A review"));
    ASSERT_TRUE(waitFor([&] { return !model->loading(); }));
    EXPECT_FALSE(history.entry(id)->aiSummary.has_value());

    model->setPreset(AIPreset::seo);
    part<ChromeButton>("analyze")->click();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 2; }));
    std::weak_ptr<AIAnalysisModel> alive = std::exchange(model, nullptr);
    delete window;  // closing the editor mid-request
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
        {"| a | b |\n# Title\n- item\n* not emphasis *",
         "| a | b |<br># Title<br>- item<br>* not emphasis *"},
    };
    for (const auto& [md, inner] : table)
        EXPECT_EQ(inlineMarkdownHtml(md), "<div style=\"white-space: pre-wrap;\">" + inner + "</div>")
            << md.toStdString();
    EXPECT_FALSE(isOpenableLink(QUrl("file:///etc/passwd")));
}
