// The AI service and panel against a scripted HTTP server on 127.0.0.1 (in this process):
// the exact requests, every kind of reply, what must never be sent, the panel's states and the
// summary handed back; and the inline Markdown formatter.
#include "analysis/ai/AIPanel.h"
#include "analysis/ai/AIService.h"
#include "analysis/ai/MarkdownInline.h"

#include "TestSupport.h"
#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "platform/Keychain.h"
#include "ui/ChromeButton.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace kx;
using namespace kx::test;

namespace {

struct SeenRequest {
    QByteArray head;  // request line and headers as sent
    QByteArray body;
    bool hasHeader(const QByteArray& line) const { return head.contains("\r\n" + line + "\r\n"); }
};

QByteArray httpReply(int status, const QByteArray& type, const QByteArray& body)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + type +
           "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

class FakeAIServer : public QTcpServer {
public:
    FakeAIServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                ++connections;
                connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
            }
        });
    }
    QByteArray baseUrl() const { return "http://127.0.0.1:" + QByteArray::number(serverPort()); }
    void release(const QByteArray& raw)
    {
        for (QTcpSocket* s : std::exchange(held_, {}))
            answer(s, raw);
    }

    QByteArray reply;
    QList<SeenRequest> requests;
    int connections = 0;

private:
    static void answer(QTcpSocket* s, const QByteArray& raw)
    {
        s->write(raw);
        s->disconnectFromHost();
    }
    void read(QTcpSocket* s)
    {
        QByteArray& buf = buffers_[s];
        buf += s->readAll();
        const qsizetype end = buf.indexOf("\r\n\r\n"), at = buf.toLower().indexOf("content-length:");
        const qsizetype length =
            at < 0 ? 0 : buf.mid(at + 15, buf.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (end < 0 || buf.size() < end + 4 + length)
            return;
        requests.append({buf.left(end + 2), buf.mid(end + 4, length)});
        buffers_.remove(s);
        reply.isEmpty() ? held_.append(s) : answer(s, reply);
    }
    QHash<QTcpSocket*, QByteArray> buffers_;
    QList<QTcpSocket*> held_;
};

struct MemoryKeys : SecretStore {
    MemoryKeys() { Keychain::setStore(this); }
    ~MemoryKeys() override { Keychain::setStore(nullptr); }
    std::optional<QString> get(const QString& account) override
    {
        return keys.contains(account) ? std::optional(keys[account]) : std::nullopt;
    }
    bool set(const QString&, const QString&) override { return false; }
    QHash<QString, QString> keys;
};

QByteArray answer(const QString& md)
{
    // Both providers' shapes, so either reads its answer.
    const QJsonObject text{{"type", "text"}, {"text", md}}, choice{{"message", QJsonObject{{"content", md}}}};
    const QJsonObject both{{"content", QJsonArray{text}}, {"choices", QJsonArray{choice}}};
    return httpReply(200, "application/json", QJsonDocument(both).toJson());
}

class AITest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keys.keys = {{"anthropic.apiKey", "sk-ant-test"}, {"openai.apiKey", "sk-oa-test"}};
        AIService::setBaseUrlForTests(QUrl(QString::fromLatin1(server.baseUrl())));
        Prefs::remove("ai.provider");
        AIService::setTimeoutForTests(0);
    }
    void TearDown() override { delete window; }
    AIService::Outcome ask(const QImage& image = QImage(40, 20, QImage::Format_RGB32))
    {
        QFuture<AIService::Outcome> f = AIService::analyze(image, QStringLiteral("What is it?"));
        EXPECT_TRUE(waitFor([&] { return f.isFinished(); }, 20000));
        return f.isFinished() && f.resultCount() ? f.result() : AIService::Outcome{};
    }
    QJsonObject body(int i) const { return QJsonDocument::fromJson(server.requests.value(i).body).object(); }
    void open(const QUuid& id = {}, AIAnalysisModel::SummarySink sink = {})
    {
        model = AIAnalysisModel::create(std::move(sink));
        window = new QWidget;
        panel = new AIPanel(
            model, [] { return QImage(64, 48, QImage::Format_RGB32); }, id, {}, window);
        (new QVBoxLayout(window))->addWidget(panel);
        window->show();
    }
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

TEST_F(AITest, RequestsAreExactForBothProviders)
{
    server.reply =
        httpReply(200, "application/json",
                  R"({"content":[{"type":"text","text":"One"},{"type":"x"},{"type":"text","text":"Two"}]})");
    QImage wide(3000, 1000, QImage::Format_RGB32);
    wide.fill(Qt::darkCyan);
    EXPECT_EQ(ask(wide).answer, QStringLiteral("One\nTwo"));
    const SeenRequest& claude = server.requests.value(0);
    EXPECT_TRUE(claude.head.startsWith("POST /v1/messages HTTP/1.1\r\n"));
    EXPECT_TRUE(claude.hasHeader("x-api-key: sk-ant-test") &&
                claude.hasHeader("anthropic-version: 2023-06-01") &&
                claude.hasHeader("content-type: application/json"));
    EXPECT_EQ(body(0)["model"].toString(), "claude-sonnet-5-5");
    EXPECT_EQ(body(0)["max_tokens"].toInt(), 2048);
    const QJsonArray content = body(0)["messages"][0]["content"].toArray();
    EXPECT_EQ(content[0]["source"]["media_type"].toString(), "image/png");
    const QByteArray png = QByteArray::fromBase64(content[0]["source"]["data"].toString().toLatin1());
    EXPECT_EQ(QImage::fromData(png, "PNG").size(), QSize(1568, 523));
    EXPECT_EQ(content[1]["text"].toString(), "What is it?");

    Prefs::set("ai.provider", "openai");
    server.reply = httpReply(200, "application/json", R"({"choices":[{"message":{"content":"Hi"}}]})");
    EXPECT_EQ(ask().answer, QStringLiteral("Hi"));
    const SeenRequest& openai = server.requests.value(1);
    EXPECT_TRUE(openai.head.startsWith("POST /v1/chat/completions HTTP/1.1\r\n"));
    EXPECT_TRUE(openai.hasHeader("Authorization: Bearer sk-oa-test") &&
                openai.hasHeader("Content-Type: application/json"));
    EXPECT_EQ(body(1)["model"].toString(), "gpt-5.5");
    EXPECT_EQ(body(1)["max_completion_tokens"].toInt(), 2048);
    EXPECT_TRUE(body(1)["messages"][0]["content"][0]["image_url"]["url"].toString().startsWith(
        "data:image/png;base64,"));
}

TEST_F(AITest, NothingIsSentWithoutAUsableKeyAndEveryFailedReplyHasItsMessage)
{
    keys.keys.remove("anthropic.apiKey");
    EXPECT_EQ(ask().error, QStringLiteral("Add your Anthropic Claude API key in Settings → AI."));
    keys.keys["anthropic.apiKey"] = "sk-ant\r\nX-Evil: 1";
    EXPECT_EQ(ask().error,
              QStringLiteral("The Anthropic Claude API key contains a line break or control character – "
                             "enter it again in Settings → AI."));
    EXPECT_EQ(server.connections, 0);
    keys.keys["anthropic.apiKey"] = "   ";  // blanks are a key: sent
    const QByteArray html = "<html><body>" + QByteArray(400, 'x') + "</body></html>";
    const QList<QPair<QByteArray, QString>> table{
        {httpReply(401, "application/json", R"({"error":{"message":"invalid x-api-key"}})"),
         "API HTTP 401: invalid x-api-key"},
        {httpReply(429, "application/json", R"({"error":{"message":"Slow down"}})"),
         "API HTTP 429: Slow down"},
        {httpReply(500, "text/html", html), "API HTTP 500: " + QString::fromLatin1(html.left(300))},
        {httpReply(200, "application/json", R"({"content":[{"type":"text","te)"), "Empty response."},
        {httpReply(302, "text/plain", "").replace("X\r\n", "X\r\nLocation: " + server.baseUrl() + "/v2\r\n"),
         "API HTTP 302: "}};
    for (const auto& [raw, expected] : table) {
        server.reply = raw;
        EXPECT_EQ(ask().error, expected);
    }
    EXPECT_EQ(server.requests.size(), table.size());  // the redirect was not followed

    server.reply.clear();  // silence
    AIService::setTimeoutForTests(400);
    EXPECT_EQ(ask().error, "The request timed out.");
    server.close();
    EXPECT_EQ(ask().error, "Connection refused");
    AIService::setBaseUrlForTests(QUrl("http://example.org:1"));  // only loopback may stand in
    EXPECT_EQ(AIService::endpoint(AIProvider::claude), QUrl("https://api.anthropic.com/v1/messages"));
    // The shipped program takes no address from its environment.
    AIService::setBaseUrlForTests(QUrl());
    qputenv("KAPTORIX_TEST_AI_BASE_URL", server.baseUrl());
    EXPECT_EQ(AIService::endpoint(AIProvider::openai), QUrl("https://api.openai.com/v1/chat/completions"));
    qunsetenv("KAPTORIX_TEST_AI_BASE_URL");
}

TEST_F(AITest, SelfSignedHttpsFailsWithTheTlsError)
{
    QTemporaryDir dir;
    const QString key = dir.filePath("k.pem"), cert = dir.filePath("c.pem");
    ASSERT_EQ(run("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                              "-days", "1", "-subj", "/CN=127.0.0.1"}),
              0);
    QFile kf(key), cf(cert);
    ASSERT_TRUE(kf.open(QIODevice::ReadOnly) && cf.open(QIODevice::ReadOnly));
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setPrivateKey(QSslKey(kf.readAll(), QSsl::Rsa));
    conf.setLocalCertificate(QSslCertificate(cf.readAll()));
    QSslServer tls;
    tls.setSslConfiguration(conf);
    ASSERT_TRUE(tls.listen(QHostAddress::LocalHost));
    AIService::setBaseUrlForTests(QUrl("https://127.0.0.1:" + QString::number(tls.serverPort())));
    const QString error = ask().error;
    EXPECT_TRUE(error.startsWith("SSL handshake failed")) << error.toStdString();
}

TEST(AIPieces, LargePngBecomesJpegAndExcerptKeepsWholeCharacters)
{
    QImage noise(1500, 1500, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        QRandomGenerator(y).fillRange(reinterpret_cast<quint32*>(noise.scanLine(y)), noise.width());
    EXPECT_EQ(AIService::encode(noise)->mediaType, "image/jpeg");
    EXPECT_EQ(AIService::encode(noise.copy(0, 0, 300, 300))->mediaType, "image/png");
    EXPECT_EQ(AIService::excerpt(QByteArray(299, 'a') + "é and more"), QString(299, 'a'));
}

TEST_F(AITest, PanelStatesFromMissingKeyToAnswerToErrorAboveTheKeptAnswer)
{
    keys.keys.remove("anthropic.apiKey");
    open();
    ASSERT_TRUE(waitFor([&] { return part("keyNotice")->isVisible() && part("hint")->isVisible(); }));
    part<ChromeButton>("analyze")->click();
    ASSERT_TRUE(waitFor([&] { return part("errorNotice")->isVisible(); }));
    EXPECT_EQ(part<WrappingText>("errorText")->text(), "Add your Anthropic Claude API key in Settings → AI.");
    EXPECT_EQ(server.connections, 0);
    Prefs::set("ai.provider", "openai");  // a provider with a key: the notice goes
    EXPECT_TRUE(waitFor([&] { return part("keyNotice")->isHidden(); }));
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
    EXPECT_EQ(part<WrappingText>("errorText")->text(), "API HTTP 500: <html>oops</html>");
    EXPECT_FALSE(part<WrappingText>("errorText")->document()->toHtml().contains("<html>oops"))
        << "server text is never markup";
    EXPECT_TRUE(view->toPlainText().startsWith("Login form"));
    part<ChromeButton>("copy")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), md);
}

TEST_F(AITest, KeyNoticeIsAskedAgainWhenAKeyIsWrittenAtAnalyzeAndAfterEachAnswer)
{
    keys.keys.remove("anthropic.apiKey");
    open();
    ASSERT_TRUE(waitFor([&] { return part("keyNotice")->isVisible(); }));
    // The settings' secret field announces a written key by its account.
    keys.keys.insert("anthropic.apiKey", "sk-new");
    PrefsNotifier::shared().announce("anthropic.apiKey");
    ASSERT_TRUE(waitFor([&] { return part("keyNotice")->isHidden(); }));

    // Gone while a request is out: the answer brings the notice back.
    auto* analyze = part<ChromeButton>("analyze");
    analyze->click();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 1; }));
    keys.keys.remove("anthropic.apiKey");
    server.release(answer("fine"));
    ASSERT_TRUE(waitFor([&] { return !model->loading(); }));
    EXPECT_TRUE(waitFor([&] { return part("keyNotice")->isVisible(); }));

    // Back without any announcement: pressing Analyze looks again (while the request is out).
    keys.keys.insert("anthropic.apiKey", "sk-new");
    analyze->click();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 2; }));
    EXPECT_TRUE(waitFor([&] { return part("keyNotice")->isHidden(); }));
    EXPECT_TRUE(model->loading());
    server.release(httpReply(500, "text/plain", QByteArray(280, 'x')));

    // A long error without spaces wraps inside the panel instead of running past its edge.
    ASSERT_TRUE(waitFor([&] { return part("errorNotice")->isVisible(); }));
    auto* error = part<WrappingText>("errorText");
    ASSERT_TRUE(waitFor([&] { return error->height() > 2 * error->fontMetrics().height(); }));
    EXPECT_TRUE(error->text().endsWith(QString(20, 'x')));
    EXPECT_LE(error->document()->idealWidth(), error->viewport()->width() + 1);
    EXPECT_LE(error->mapTo(panel, QPoint(error->width(), 0)).x(), AIPanel::kWidth - 14);
    EXPECT_FALSE(error->verticalScrollBar()->isVisible());  // short enough to show whole
    EXPECT_LE(error->document()->size().height(), error->viewport()->height() + 1);

    // The hint's symbol is 26 pt.
    QSizeF glass;
    for (auto* l : part("hint")->findChildren<QLabel*>())
        if (!l->pixmap().isNull())
            glass = l->pixmap().deviceIndependentSize();
    EXPECT_EQ(glass, QSizeF(26, 26));
}

TEST_F(AITest, SummaryFollowsThePresetAtArrivalAndSurvivesTheWindow)
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
         "| a | b |<br># Title<br>- item<br>* not emphasis *"}};
    for (const auto& [md, inner] : table)
        EXPECT_EQ(inlineMarkdownHtml(md), "<div style=\"white-space: pre-wrap;\">" + inner + "</div>")
            << md.toStdString();
}

// Narrowed to the least its content needs and made short, as beside a small screen's canvas,
// the panel cuts none of its controls and scrolls; at the width it asks for, the title and the
// model name are on one line each.
TEST_F(AITest, ANarrowShortPanelCutsNothingAndScrolls)
{
    keys.keys.remove("anthropic.apiKey");
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(QString::fromLatin1(lang));
        open();
        ASSERT_TRUE(waitFor([&] { return part("keyNotice")->isVisible(); }));
        const int least = panel->minimumSizeHint().width();
        EXPECT_LT(least, AIPanel::kWidth);
        panel->setFixedSize(least, 120);
        QList<QWidget*> controls = {part("title"),        part("modelName"),
                                    part("presetPicker"), part("analyze"),
                                    part("close"),        part("keyNotice")->findChild<QLabel*>()};
        QWidget* content = panel->scrollArea()->widget();
        ASSERT_TRUE(waitFor([&] { return content->width() == panel->scrollArea()->viewport()->width(); }));
        for (QWidget* w : controls) {
            ASSERT_TRUE(w);
            SCOPED_TRACE(w->objectName().toStdString());
            const QRect r(w->mapTo(content, QPoint(0, 0)), w->size());
            EXPECT_GE(w->width(), w->minimumSizeHint().width());
            if (w->hasHeightForWidth()) {
                EXPECT_GE(w->height(), w->heightForWidth(w->width()));
            }
            EXPECT_LE(r.right(), content->width() - 14)
                << r.x() << "+" << r.width() << " of " << content->width();
        }
        EXPECT_GT(panel->scrollArea()->verticalScrollBar()->maximum(), 0);

        panel->setFixedSize(panel->sizeHint().width(), 600);
        ASSERT_TRUE(waitFor([&] { return content->width() == panel->scrollArea()->viewport()->width(); }));
        for (const char* name : {"title", "modelName"}) {
            auto* l = part<QLabel>(name);
            EXPECT_LT(l->height(), 2 * l->fontMetrics().height()) << name;  // one line
        }
        delete window;
    }
    Lang::overrideForTests("en");
}
