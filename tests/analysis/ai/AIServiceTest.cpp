// The AI service against a local server: the exact request, every kind of reply, and the
// cases in which nothing may be sent at all.
#include "analysis/ai/AIService.h"

#include "FakeAIServer.h"
#include "TestSupport.h"
#include "core/Prefs.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>

using namespace kx;
using namespace kx::test;

namespace {

class AIServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keys.keys = {{"anthropic.apiKey", "sk-ant-test"}, {"openai.apiKey", "sk-oa-test"}};
        qputenv("KAPTORIX_TEST_AI_BASE_URL", server.baseUrl());
        Prefs::remove("ai.provider");
        AIService::setTimeoutForTests(0);
    }
    AIService::Outcome ask(const QImage& image = QImage(40, 20, QImage::Format_RGB32))
    {
        QFuture<AIService::Outcome> f = AIService::analyze(image, QStringLiteral("What is it?"));
        EXPECT_TRUE(waitFor([&] { return f.isFinished(); }, 20000));
        return f.isFinished() && f.resultCount() ? f.result() : AIService::Outcome{};
    }
    QJsonObject body(int i) const { return QJsonDocument::fromJson(server.requests.value(i).body).object(); }
    MemoryKeys keys;
    FakeAIServer server;
};

}  // namespace

TEST_F(AIServiceTest, RequestsAreExactForBothProviders)
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

TEST_F(AIServiceTest, NothingIsSentWithoutAUsableKeyAndEveryFailedReplyHasItsMessage)
{
    keys.keys.remove("anthropic.apiKey");
    EXPECT_EQ(ask().error, QStringLiteral("Add your Anthropic Claude API key in Settings → AI."));
    keys.keys["anthropic.apiKey"] = "sk-ant\r\nX-Evil: 1";
    EXPECT_EQ(ask().error,
              QStringLiteral("The Anthropic Claude API key contains a line break or control character – "
                             "enter it again in Settings → AI."));
    EXPECT_EQ(server.connections, 0);
    keys.keys["anthropic.apiKey"] = "   ";  // blanks are a key
    const QByteArray html = "<html><body>" + QByteArray(400, 'x') + "</body></html>";
    const QList<QPair<QByteArray, QString>> table{
        {httpReply(401, "application/json", R"({"error":{"message":"invalid x-api-key"}})"),
         "API HTTP 401: invalid x-api-key"},
        {httpReply(429, "application/json", R"({"error":{"message":"Slow down"}})"),
         "API HTTP 429: Slow down"},
        {httpReply(500, "text/html", html), "API HTTP 500: " + QString::fromLatin1(html.left(300))},
        {httpReply(200, "application/json", R"({"content":[{"type":"text","te)"), "Empty response."},
        {httpReply(302, "text/plain", "").replace("X\r\n", "X\r\nLocation: " + server.baseUrl() + "/v2\r\n"),
         "API HTTP 302: "},
    };
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
    qputenv("KAPTORIX_TEST_AI_BASE_URL", "http://example.org:1");  // only loopback may stand in
    EXPECT_EQ(AIService::endpoint(AIProvider::claude), QUrl("https://api.anthropic.com/v1/messages"));
}

TEST_F(AIServiceTest, SelfSignedHttpsFailsWithTheTlsError)
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
    qputenv("KAPTORIX_TEST_AI_BASE_URL", "https://127.0.0.1:" + QByteArray::number(tls.serverPort()));
    const QString error = ask().error;
    EXPECT_TRUE(error.startsWith("SSL handshake failed")) << error.toStdString();
}

TEST(AIServicePieces, LargePngBecomesJpegAndExcerptKeepsWholeCharacters)
{
    QImage noise(1500, 1500, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        QRandomGenerator(y).fillRange(reinterpret_cast<quint32*>(noise.scanLine(y)), noise.width());
    EXPECT_EQ(AIService::encode(noise)->mediaType, "image/jpeg");
    EXPECT_EQ(AIService::encode(noise.copy(0, 0, 300, 300))->mediaType, "image/png");
    EXPECT_EQ(AIService::excerpt(QByteArray(299, 'a') + "é and more"), QString(299, 'a'));
    EXPECT_EQ(AIService::excerpt("\xff\xfe"), QString());
}
