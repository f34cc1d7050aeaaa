#include "analysis/ai/AIService.h"

#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/Keychain.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <QStringDecoder>
#include <QThreadPool>
#include <atomic>
#include <memory>

namespace kx {

namespace {

std::atomic<int> g_timeoutMs{AIService::kTimeoutMs};
QUrl g_testBase;  // set by tests only, before any request

QString providerTitle(AIProvider provider)
{
    return provider == AIProvider::openai ? QStringLiteral("OpenAI ChatGPT")
                                          : QStringLiteral("Anthropic Claude");
}

QString missingKey(AIProvider provider)
{
    const QString p = providerTitle(provider);
    return kx::tr(
        QStringLiteral("Add your ") + p + QStringLiteral(" API key in Settings → AI."),
        QStringLiteral("Add meg a(z) ") + p + QStringLiteral(" API-kulcsot a Beállítások → AI fülön."),
        QStringLiteral("Trage deinen ") + p + QStringLiteral("-API-Schlüssel unter Einstellungen → AI ein."));
}

QString badKey(AIProvider provider)
{
    const QString p = providerTitle(provider);
    return kx::tr(
        QStringLiteral("The ") + p +
            QStringLiteral(" API key contains a line break or control character – enter it again in "
                           "Settings → AI."),
        QStringLiteral("A(z) ") + p +
            QStringLiteral(" API-kulcs sortörést vagy vezérlőkaraktert tartalmaz – add meg újra a "
                           "Beállítások → AI fülön."),
        QStringLiteral("Der ") + p +
            QStringLiteral("-API-Schlüssel enthält einen Zeilenumbruch oder ein Steuerzeichen – trage "
                           "ihn unter Einstellungen → AI neu ein."));
}

QString emptyResponse()
{
    return kx::tr(QStringLiteral("Empty response."), QStringLiteral("Üres válasz."),
                  QStringLiteral("Leere Antwort."));
}

QString timedOut()
{
    return kx::tr(QStringLiteral("The request timed out."),
                  QStringLiteral("A kérés túllépte az időkorlátot."),
                  QStringLiteral("Zeitüberschreitung bei der Anfrage."));
}

// Qt would copy such a character into the header line.
bool hasControlCharacter(const QString& key)
{
    for (const QChar c : key) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

QJsonObject textPart(const QString& prompt)
{
    return {{QStringLiteral("type"), QStringLiteral("text")}, {QStringLiteral("text"), prompt}};
}

QByteArray claudeBody(const QString& model, const AIService::Encoded& image, const QString& prompt)
{
    const QJsonObject source{{QStringLiteral("type"), QStringLiteral("base64")},
                             {QStringLiteral("media_type"), image.mediaType},
                             {QStringLiteral("data"), QString::fromLatin1(image.data.toBase64())}};
    const QJsonArray content{
        QJsonObject{{QStringLiteral("type"), QStringLiteral("image")}, {QStringLiteral("source"), source}},
        textPart(prompt)};
    const QJsonObject body{
        {QStringLiteral("model"), model},
        {QStringLiteral("max_tokens"), AIService::kMaxTokens},
        {QStringLiteral("messages"), QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                                            {QStringLiteral("content"), content}}}}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

QByteArray openAIBody(const QString& model, const AIService::Encoded& image, const QString& prompt)
{
    const QString url = QStringLiteral("data:") + image.mediaType + QStringLiteral(";base64,") +
                        QString::fromLatin1(image.data.toBase64());
    const QJsonArray content{
        QJsonObject{{QStringLiteral("type"), QStringLiteral("image_url")},
                    {QStringLiteral("image_url"), QJsonObject{{QStringLiteral("url"), url}}}},
        textPart(prompt)};
    const QJsonObject body{
        {QStringLiteral("model"), model},
        {QStringLiteral("max_completion_tokens"), AIService::kMaxTokens},
        {QStringLiteral("messages"), QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                                            {QStringLiteral("content"), content}}}}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

QString answerOf(AIProvider provider, const QJsonObject& reply)
{
    if (provider == AIProvider::openai) {
        const QJsonValue content = reply.value(QStringLiteral("choices"))
                                       .toArray()
                                       .at(0)
                                       .toObject()
                                       .value(QStringLiteral("message"))
                                       .toObject()
                                       .value(QStringLiteral("content"));
        return content.isString() ? content.toString() : QString();
    }
    QStringList texts;
    for (const QJsonValue& block : reply.value(QStringLiteral("content")).toArray()) {
        const QJsonObject o = block.toObject();
        if (o.value(QStringLiteral("type")).toString() == QLatin1String("text") &&
            o.value(QStringLiteral("text")).isString())
            texts.append(o.value(QStringLiteral("text")).toString());
    }
    return texts.join(QLatin1Char('\n'));
}

// The one network access manager, on the UI thread for the life of the application.
QNetworkAccessManager* network()
{
    static QNetworkAccessManager* nam = [] {
        auto* n = new QNetworkAccessManager(QCoreApplication::instance());
        n->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        return n;
    }();
    return nam;
}

using SharedPromise = std::shared_ptr<QPromise<AIService::Outcome>>;

void settle(const SharedPromise& promise, const AIService::Outcome& outcome)
{
    promise->addResult(outcome);
    promise->finish();
}

void send(AIProvider provider, const AIService::Request& r, const SharedPromise& promise)
{
    QNetworkRequest req(r.url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setTransferTimeout(g_timeoutMs.load());
    for (const auto& [name, value] : r.headers)
        req.setRawHeader(name, value);
    QNetworkReply* reply = network()->post(req, r.body);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, provider, promise] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        AIService::Outcome outcome;
        if (status > 0)
            outcome = AIService::readReply(provider, status, reply->readAll());
        else if (reply->error() == QNetworkReply::OperationCanceledError ||
                 reply->error() == QNetworkReply::TimeoutError)
            outcome.error = timedOut();  // only the transfer time-out cancels our requests
        else
            outcome.error = reply->errorString();
        settle(promise, outcome);
    });
}

}  // namespace

AIService::Settings AIService::Settings::current()
{
    Settings s;
    s.provider = Prefs::aiProvider();
    s.model = AIService::modelName(s.provider);
    s.endpoint = AIService::endpoint(s.provider);
    return s;
}

QString AIService::keyAccount(AIProvider provider)
{
    return provider == AIProvider::openai ? QStringLiteral("openai.apiKey")
                                          : QStringLiteral("anthropic.apiKey");
}

QString AIService::modelName(AIProvider provider)
{
    const bool openai = provider == AIProvider::openai;
    const QVariant v = Prefs::value(openai ? QStringLiteral("ai.openaiModel") : QStringLiteral("ai.model"));
    if (!v.isValid())
        return openai ? QStringLiteral("gpt-5.5") : QStringLiteral("claude-sonnet-5-5");
    return v.toString();  // an empty stored name is sent as it is
}

QUrl AIService::endpoint(AIProvider provider)
{
    QUrl url(provider == AIProvider::openai ? QStringLiteral("https://api.openai.com")
                                            : QStringLiteral("https://api.anthropic.com"));
    const QUrl test = g_testBase;
    const bool loopback = test.host() == QLatin1String("127.0.0.1") || test.host() == QLatin1String("::1");
    if (test.isValid() && loopback &&
        (test.scheme() == QLatin1String("http") || test.scheme() == QLatin1String("https")))
        url = test;
    url.setPath(provider == AIProvider::openai ? QStringLiteral("/v1/chat/completions")
                                               : QStringLiteral("/v1/messages"));
    return url;
}

void AIService::setBaseUrlForTests(const QUrl& base)
{
    g_testBase = base;
}

void AIService::setTimeoutForTests(int ms)
{
    g_timeoutMs.store(ms > 0 ? ms : kTimeoutMs);
}

std::optional<AIService::Encoded> AIService::encode(const QImage& image)
{
    const QImage fit = fitted(image, kMaxEdge);
    Encoded out{encoded(fit, ImageFormat::png, 0.9, 1.0).value_or(QByteArray()), QStringLiteral("image/png")};
    if (out.data.size() > kMaxPngBytes) {
        if (std::optional<QByteArray> jpeg = encoded(fit, ImageFormat::jpg, 0.85, 1.0);
            jpeg && !jpeg->isEmpty())
            out = {*jpeg, QStringLiteral("image/jpeg")};
    }
    if (out.data.isEmpty())
        return std::nullopt;
    return out;
}

AIService::Prepared AIService::prepare(const Settings& settings, const std::optional<QString>& key,
                                       const QImage& image, const QString& prompt)
{
    if (!key || key->isEmpty())
        return {std::nullopt, missingKey(settings.provider)};
    if (hasControlCharacter(*key))
        return {std::nullopt, badKey(settings.provider)};
    const std::optional<Encoded> img = encode(image);
    if (!img) {
        return {std::nullopt, kx::tr(QStringLiteral("Could not encode the image."),
                                     QStringLiteral("A kép kódolása sikertelen."),
                                     QStringLiteral("Das Bild konnte nicht kodiert werden."))};
    }
    Request r;
    r.url = settings.endpoint;
    if (settings.provider == AIProvider::openai) {
        r.headers = {{"Authorization", "Bearer " + key->toUtf8()}, {"Content-Type", "application/json"}};
        r.body = openAIBody(settings.model, *img, prompt);
    } else {
        r.headers = {{"x-api-key", key->toUtf8()},
                     {"anthropic-version", "2023-06-01"},
                     {"content-type", "application/json"}};
        r.body = claudeBody(settings.model, *img, prompt);
    }
    return {r, QString()};
}

QString AIService::excerpt(const QByteArray& body, int maxBytes)
{
    qsizetype n = std::min<qsizetype>(maxBytes, body.size());
    // Back to the start of a character the cut would split.
    while (n > 0 && n < body.size() && (uchar(body[n]) & 0xC0) == 0x80)
        --n;
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(body.left(n));
    return decode.hasError() ? QString() : text;
}

AIService::Outcome AIService::readReply(AIProvider provider, int status, const QByteArray& body)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    const QJsonObject reply = doc.isObject() ? doc.object() : QJsonObject();
    if (status < 200 || status > 299) {
        const QJsonValue message =
            reply.value(QStringLiteral("error")).toObject().value(QStringLiteral("message"));
        const QString text = message.isString() ? message.toString() : excerpt(body);
        return {std::nullopt,
                QStringLiteral("API HTTP ") + QString::number(status) + QStringLiteral(": ") + text};
    }
    const QString answer = answerOf(provider, reply);
    if (answer.isEmpty())
        return {std::nullopt, emptyResponse()};
    return {answer, QString()};
}

QFuture<AIService::Outcome> AIService::analyze(const QImage& image, const QString& prompt)
{
    const Settings settings = Settings::current();
    auto promise = std::make_shared<QPromise<Outcome>>();
    promise->start();
    QFuture<Outcome> result = promise->future();
    QNetworkAccessManager* nam = network();
    Keychain::getAsync(keyAccount(settings.provider))
        .then(QThreadPool::globalInstance(),
              [settings, image, prompt](const std::optional<QString>& key) {
                  return prepare(settings, key, image, prompt);
              })
        .then(nam, [settings, promise](const Prepared& prepared) {
            if (prepared.request)
                send(settings.provider, *prepared.request, promise);
            else
                settle(promise, {std::nullopt, prepared.error});
        });
    return result;
}

QFuture<bool> AIService::hasKey()
{
    return Keychain::getAsync(keyAccount(Prefs::aiProvider())).then([](const std::optional<QString>& key) {
        return key.has_value() && !key->isEmpty();
    });
}

}  // namespace kx
