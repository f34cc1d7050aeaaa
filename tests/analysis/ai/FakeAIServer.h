#pragma once
// A scripted HTTP server on 127.0.0.1 standing in for the AI providers, plus an in-memory key
// store. Requests are recorded; each gets `reply`, or waits for release() while it is empty.
#include "platform/Keychain.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace kx::test {

struct SeenRequest {
    QByteArray head;  // request line and header lines, as sent
    QByteArray body;
    bool hasHeader(const QByteArray& line) const { return head.contains("\r\n" + line + "\r\n"); }
};

inline QByteArray httpReply(int status, const QByteArray& type, const QByteArray& body, qsizetype length = -1)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + type +
           "\r\nConnection: close\r\nContent-Length: " +
           QByteArray::number(length < 0 ? body.size() : length) + "\r\n\r\n" + body;
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
        for (const QPointer<QTcpSocket>& s : held_) {
            if (s) {
                s->write(raw);
                s->disconnectFromHost();
            }
        }
        held_.clear();
    }

    QByteArray reply;
    QList<SeenRequest> requests;
    int connections = 0;

private:
    void read(QTcpSocket* s)
    {
        QByteArray& buf = buffers_[s];
        buf += s->readAll();
        const qsizetype end = buf.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buf.left(end + 2);
        const qsizetype at = head.toLower().indexOf("content-length:");
        const qsizetype length =
            at < 0 ? 0 : head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
        if (buf.size() < end + 4 + length)
            return;
        requests.append({head, buf.mid(end + 4, length)});
        buffers_.remove(s);
        if (reply.isEmpty()) {
            held_.append(s);
            return;
        }
        s->write(reply);
        s->disconnectFromHost();
    }
    QHash<QTcpSocket*, QByteArray> buffers_;
    QList<QPointer<QTcpSocket>> held_;
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
        keys[account] = value;
        return true;
    }
    QHash<QString, QString> keys;
};

}  // namespace kx::test
