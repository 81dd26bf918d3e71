#include "FakeStore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace {

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

bool safeName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1String("..")) &&
           !name.contains(QLatin1Char('\\'));
}

} // namespace

FakeStore::FakeStore(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &FakeStore::handleConnection);
}

FakeStore::~FakeStore() {
    for (const auto& socket : std::as_const(m_stalled)) {
        if (socket)
            socket->abort();
    }
}

bool FakeStore::listen(quint16 port) {
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 FakeStore::port() const {
    return m_server->serverPort();
}

QString FakeStore::origin() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void FakeStore::setResponse(const QString& pathAndQuery, const Response& response) {
    m_responses.insert(pathAndQuery, response);
}

void FakeStore::setJson(const QString& pathAndQuery, const QByteArray& json, int status) {
    Response response;
    response.status = status;
    response.body = json;
    setResponse(pathAndQuery, response);
}

void FakeStore::setFixturesDirectory(const QString& directory) {
    m_fixtures = directory;
}

FakeStore::Response FakeStore::htmlError(int status) {
    Response response;
    response.status = status;
    response.contentType = "text/html; charset=utf-8";
    response.body = "<!DOCTYPE html><html><head><title>" + QByteArray::number(status) + " " +
                    reasonPhrase(status) + "</title></head><body><h1>" + reasonPhrase(status) +
                    "</h1><p>The requested URL was not found on this server.</p></body></html>";
    return response;
}

FakeStore::Response FakeStore::redirect(int status, const QByteArray& location) {
    Response response;
    response.status = status;
    response.contentType = "text/html; charset=utf-8";
    response.body = "<html><body>Moved</body></html>";
    response.headers.append({"Location", location});
    return response;
}

QString FakeStore::refusedOrigin() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void FakeStore::handleConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket->property("answered").toBool())
                return;
            QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
            socket->setProperty("buffer", buffer);
            if (!buffer.contains("\r\n\r\n"))
                return;
            socket->setProperty("answered", true);
            const QByteArray head = buffer.left(buffer.indexOf("\r\n\r\n"));
            const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
            handleRequest(socket, requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString(),
                          head);
        });
    }
}

void FakeStore::handleRequest(QTcpSocket* socket, const QString& pathAndQuery, const QByteArray& head) {
    m_requests.append(pathAndQuery);
    m_requestHeads.append(head);
    emit requestReceived(pathAndQuery);
    const Response response = responseFor(pathAndQuery);
    if (response.delayMs > 0) {
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(response.delayMs, this, [this, guarded, response] {
            if (guarded)
                send(guarded, response);
        });
    } else {
        send(socket, response);
    }
}

FakeStore::Response FakeStore::responseFor(const QString& pathAndQuery) const {
    if (m_responder) {
        if (std::optional<Response> generated = m_responder(pathAndQuery))
            return *generated;
    }
    if (const auto it = m_responses.constFind(pathAndQuery); it != m_responses.cend())
        return *it;
    if (m_fixtures.isEmpty())
        return htmlError(404);
    const QUrl url(QStringLiteral("http://store") + pathAndQuery);
    const QString path = url.path();
    static const QRegularExpression feed(QStringLiteral("^/[^/]+/rss/([^/]+)/limit=\\d+/json$"));
    static const QRegularExpression page(QStringLiteral("^/[^/]+/app/[^/]*/id(\\d+)$"));
    static const QRegularExpression image(QStringLiteral("^/(?:images|image/thumb/.+)/([^/]+)$"));
    if (const auto match = feed.match(path); match.hasMatch() && safeName(match.captured(1)))
        return fileResponse(QStringLiteral("feeds/") + match.captured(1) + QStringLiteral(".json"),
                            "application/json");
    if (path == QLatin1String("/lookup")) {
        const QString id = QUrlQuery(url).queryItemValue(QStringLiteral("id"), QUrl::FullyDecoded);
        if (safeName(id))
            return fileResponse(QStringLiteral("lookup/") + id + QStringLiteral(".json"),
                                "text/javascript; charset=utf-8");
        return htmlError(404);
    }
    if (const auto match = page.match(path); match.hasMatch())
        return fileResponse(QStringLiteral("pages/") + match.captured(1) + QStringLiteral(".html"),
                            "text/html; charset=utf-8");
    if (const auto match = image.match(path); match.hasMatch() && safeName(match.captured(1))) {
        const QString name = match.captured(1);
        const QByteArray type = name.endsWith(QLatin1String(".png"))   ? "image/png"
                                : name.endsWith(QLatin1String(".svg")) ? "image/svg+xml"
                                                                       : "image/jpeg";
        return fileResponse(QStringLiteral("images/") + name, type);
    }
    return htmlError(404);
}

FakeStore::Response FakeStore::fileResponse(const QString& relativePath,
                                            const QByteArray& contentType) const {
    QFile file(QDir(m_fixtures).filePath(relativePath));
    if (!file.open(QIODevice::ReadOnly))
        return htmlError(404);
    Response response;
    response.contentType = contentType;
    response.body = file.readAll();
    if (!contentType.startsWith("image/"))
        response.body.replace("{{origin}}", origin().toUtf8());
    return response;
}

void FakeStore::send(QTcpSocket* socket, const Response& response) {
    if (response.behaviour == Behaviour::Close) {
        socket->abort();
        return;
    }
    const bool whole = response.behaviour == Behaviour::Normal || response.behaviour == Behaviour::Trickle;
    const qsizetype announced = whole ? response.body.size() : response.body.size() + 4096;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " " +
                      reasonPhrase(response.status) + "\r\nContent-Type: " + response.contentType + "\r\n";
    if (response.announceLength)
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    switch (response.behaviour) {
    case Behaviour::Normal:
        socket->write(head + response.body);
        socket->disconnectFromHost();
        break;
    case Behaviour::Truncate:
        socket->write(head + response.body);
        socket->flush();
        socket->disconnectFromHost();
        break;
    case Behaviour::Stall:
        socket->write(head + response.body.left(response.body.size() / 2));
        socket->flush();
        m_stalled.append(socket);
        break;
    case Behaviour::Trickle: {
        socket->write(head);
        socket->flush();
        m_stalled.append(socket);
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, body = response.body]() mutable {
            if (body.isEmpty()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(body.left(1));
            socket->flush();
            body.remove(0, 1);
        });
        timer->start(response.trickleIntervalMs);
        break;
    }
    case Behaviour::Close:
        break;
    }
}
