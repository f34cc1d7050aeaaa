#pragma once
// A scripted HTTP server on 127.0.0.1 standing in for the AI providers, and an in-memory key
// store. Each request is recorded and gets `reply`, or waits for release() while it is empty.
#include "platform/Keychain.h"

#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace kx::test {

struct SeenRequest {
    QByteArray head;  // request line and headers as sent
    QByteArray body;
    bool hasHeader(const QByteArray& line) const { return head.contains("\r\n" + line + "\r\n"); }
};

inline QByteArray httpReply(int status, const QByteArray& type, const QByteArray& body)
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

class MemoryKeys : public SecretStore {
public:
    MemoryKeys() { Keychain::setStore(this); }
    ~MemoryKeys() override { Keychain::setStore(nullptr); }
    std::optional<QString> get(const QString& account) override
    {
        return keys.contains(account) ? std::optional(keys[account]) : std::nullopt;
    }
    bool set(const QString& account, const QString& value) override
    {
        return keys.insert(account, value), true;
    }
    QHash<QString, QString> keys;
};

}  // namespace kx::test
