#pragma once
// One question about one image to the Anthropic Messages API or the OpenAI Chat Completions
// API, with the user's own key from the keyring. The key read, the image fitting and encoding
// and the request body run on a worker; the UI thread only sends and reads the reply, through
// one QNetworkAccessManager. Redirects are never followed (the key must not reach another
// host) and TLS errors are never ignored.

#include "core/Enums.h"

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <optional>

namespace kx {

class AIService {
public:
    // The answer, or the localised text of what went wrong.
    struct Outcome {
        std::optional<QString> answer;
        QString error;
    };

    // Provider, model and endpoint, read from the settings when a request starts.
    struct Settings {
        AIProvider provider = AIProvider::claude;
        QString model;
        QUrl endpoint;
        static Settings current();
    };

    struct Request {
        QUrl url;
        QList<QPair<QByteArray, QByteArray>> headers;  // in sending order, names as written
        QByteArray body;
    };
    // A request ready to send, or the error that stops it before anything is sent.
    struct Prepared {
        std::optional<Request> request;
        QString error;
    };

    struct Encoded {
        QByteArray data;
        QString mediaType;
    };

    // Starts one analysis; call on the UI thread. The future resolves on the UI thread.
    static QFuture<Outcome> analyze(const QImage& image, const QString& prompt);
    // Whether the selected provider's key is stored and not empty; asked on the keyring thread.
    static QFuture<bool> hasKey();

    // The pieces, pure and thread-safe (tests and benchmarks).
    static Prepared prepare(const Settings& settings, const std::optional<QString>& key, const QImage& image,
                            const QString& prompt);
    // Fitted to 1568 px, PNG; JPEG when the PNG exceeds 3,500,000 bytes. Nothing on failure.
    static std::optional<Encoded> encode(const QImage& image);
    static Outcome readReply(AIProvider provider, int status, const QByteArray& body);
    // At most `maxBytes` of the body as text, cut back to a whole UTF-8 character.
    static QString excerpt(const QByteArray& body, int maxBytes = 300);

    static QString keyAccount(AIProvider provider);
    static QString modelName(AIProvider provider);
    // The public endpoint, or the tests' base address when it is on 127.0.0.1 or ::1.
    static QUrl endpoint(AIProvider provider);

    static constexpr int kMaxEdge = 1568;
    static constexpr qint64 kMaxPngBytes = 3'500'000;
    static constexpr int kMaxTokens = 2048;
    static constexpr int kTimeoutMs = 120'000;
    // Tests: a shorter idle time-out; 0 restores the default.
    static void setTimeoutForTests(int ms);
    // Tests: a loopback server in place of the public APIs (an empty URL restores them).
    static void setBaseUrlForTests(const QUrl& base);
};

}  // namespace kx
