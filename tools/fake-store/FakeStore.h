#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QTcpServer;
class QTcpSocket;

// A local stand-in for the store on 127.0.0.1 and an ephemeral port: serves
// feed documents, lookup documents and product pages, from responses set by a
// test or from a fixtures folder, and on demand misbehaves (error pages,
// truncated bodies, bodies that stall, connections closed without an answer).
//
// Fixtures folder layout (the text "{{origin}}" in any served file is replaced
// by this server's origin, so documents can point back at it):
//   feeds/<feed kind>.json    for /<country>/rss/<feed kind>/limit=<n>/json
//   lookup/<id>.json          for /lookup?id=<id>
//   pages/<id>.html           for /<country>/app/<name>/id<id> (any query)
//   images/<file>             for /images/<file>, and for /image/thumb/.../<file>
//                             (screenshot-like addresses of any depth)
// Anything else, or a missing file, is a 404 with a small HTML page.
class FakeStore : public QObject {
    Q_OBJECT
public:
    enum class Behaviour {
        Normal,
        Stall,    // headers and half the body, then silence until the client gives up
        Truncate, // announces more bytes than it sends, then closes
        Close,    // closes the connection without answering
        Trickle,  // headers, then one byte of the body every trickleIntervalMs
    };
    struct Response {
        int status = 200;
        QByteArray contentType = "application/json";
        QByteArray body = {};
        Behaviour behaviour = Behaviour::Normal;
        int delayMs = 0; // wait before answering
        int trickleIntervalMs = 100;
        // Extra header lines, for example {"Location", "/elsewhere"} for a redirect.
        QList<QPair<QByteArray, QByteArray>> headers = {};
        // Without Content-Length the body runs until the connection closes.
        bool announceLength = true;
    };

    explicit FakeStore(QObject* parent = nullptr);
    ~FakeStore() override;

    // Listens on 127.0.0.1; port 0 picks an ephemeral one.
    bool listen(quint16 port = 0);
    quint16 port() const;
    QString origin() const;

    // An exact path-and-query (for example "/lookup?id=1") answered this way,
    // before any fixture.
    void setResponse(const QString& pathAndQuery, const Response& response);
    void setJson(const QString& pathAndQuery, const QByteArray& json, int status = 200);
    void setFixturesDirectory(const QString& directory);
    // Asked first for every request; a response it gives wins over the ones set
    // and the fixtures. For generated content, such as feeds that never repeat.
    using Responder = std::function<std::optional<Response>(const QString& pathAndQuery)>;
    void setResponder(Responder responder) { m_responder = std::move(responder); }

    // Every request line's path and query, in arrival order.
    QStringList requests() const { return m_requests; }
    // The header block of every request (request line and header lines), in arrival order.
    QList<QByteArray> requestHeads() const { return m_requestHeads; }
    void clearRequests() {
        m_requests.clear();
        m_requestHeads.clear();
    }
    // A response that sends the client to another address on this server.
    static Response redirect(int status, const QByteArray& location);

    static Response htmlError(int status);
    // An origin on 127.0.0.1 on which nothing listens: connections are refused.
    static QString refusedOrigin();

signals:
    void requestReceived(const QString& pathAndQuery);

private:
    void handleConnection();
    void handleRequest(QTcpSocket* socket, const QString& pathAndQuery, const QByteArray& head);
    Response responseFor(const QString& pathAndQuery) const;
    Response fileResponse(const QString& relativePath, const QByteArray& contentType) const;
    void send(QTcpSocket* socket, const Response& response);

    QTcpServer* m_server;
    QHash<QString, Response> m_responses;
    QString m_fixtures;
    Responder m_responder;
    QStringList m_requests;
    QList<QByteArray> m_requestHeads;
    QList<QPointer<QTcpSocket>> m_stalled;
};
