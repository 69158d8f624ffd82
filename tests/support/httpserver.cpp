#include "httpserver.h"

#include <QPointer>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

constexpr int kNotFound = 404;

TestHttpServer::Response errorResponse(int status, const QByteArray &reason)
{
    TestHttpServer::Response response;
    response.status = status;
    response.reason = reason;
    response.headers = { { "Content-Type", "text/html" } };
    response.body = "<html><body><h1>" + QByteArray::number(status) + ' ' + reason + "</h1></body></html>\n";
    return response;
}

QByteArray statusAndHeaders(const TestHttpServer::Response &response)
{
    using Mode = TestHttpServer::Response::Mode;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    bool lengthGiven = false;
    for (const auto &[name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
        lengthGiven = lengthGiven || name.compare("Content-Length", Qt::CaseInsensitive) == 0;
    }
    if (response.mode != Mode::NoLength && !lengthGiven)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

}   // namespace

TestHttpServer::TestHttpServer(QObject *parent) : TestHttpServer(new QTcpServer, parent) { }

TestHttpServer::TestHttpServer(const QSslConfiguration &tls, QObject *parent) : TestHttpServer(new QSslServer, parent)
{
    static_cast<QSslServer *>(m_server.get())->setSslConfiguration(tls);
}

TestHttpServer::TestHttpServer(QTcpServer *server, QObject *parent) : QObject(parent), m_server(server)
{
    // A TLS connection is pending once its handshake is over.
    connect(server, &QTcpServer::pendingConnectionAvailable, this, &TestHttpServer::acceptConnections);
    if (!server->listen(QHostAddress::LocalHost, 0))
        qWarning("TestHttpServer: cannot listen: %s", qPrintable(server->errorString()));
}

bool TestHttpServer::isListening() const
{
    return m_server->isListening();
}

QUrl TestHttpServer::url(const QString &path) const
{
    const bool tls = qobject_cast<QSslServer *>(m_server.get());
    return QUrl(QStringLiteral("%1://127.0.0.1:%2").arg(tls ? "https" : "http").arg(m_server->serverPort()) + path);
}

void TestHttpServer::setResponse(const QString &path, const Response &response)
{
    m_responses.insert(path, response);
}

int TestHttpServer::requestCount() const
{
    return int(m_requestedPaths.size());
}

QStringList TestHttpServer::requestedPaths() const
{
    return m_requestedPaths;
}

QByteArrayList TestHttpServer::requestHeaders(const QByteArray &name) const
{
    QByteArrayList values;
    for (const QByteArray &head : m_requestHeads) {
        QByteArray value;
        for (const QByteArray &line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                value = line.mid(colon + 1).trimmed();
        }
        values.append(value);
    }
    return values;
}

QByteArrayList TestHttpServer::negotiatedProtocols() const
{
    return m_negotiatedProtocols;
}

void TestHttpServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        // Owned by us rather than the QTcpServer member, so open connections are
        // closed only after our signal connections are gone.
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (auto *tls = qobject_cast<QSslSocket *>(socket))
            m_negotiatedProtocols.append(tls->sslConfiguration().nextNegotiatedProtocol());

        struct Request
        {
            QByteArray data;
            bool answered = false;
        };
        auto request = std::make_shared<Request>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            // Keep draining after the answer: closing with unread input makes the
            // kernel reset the connection, which can destroy the answer in flight.
            const QByteArray data = socket->readAll();
            if (request->answered)
                return;
            request->data += data;
            if (!request->data.contains("\r\n\r\n"))
                return;
            request->answered = true;
            answer(socket, request->data.left(request->data.indexOf("\r\n\r\n")));
        });
    }
}

TestHttpServer::Response TestHttpServer::responseFor(const QString &target) const
{
    if (const auto it = m_responses.constFind(target); it != m_responses.cend())
        return *it;
    // Absolute-form targets ("http://host/path") are reduced to their path.
    const QUrl url = QUrl::fromEncoded(target.toLatin1());
    const QString path =
        url.isRelative() ? target.section(QLatin1Char('?'), 0, 0) : url.path(QUrl::FullyEncoded);
    return m_responses.value(path, errorResponse(kNotFound, "Not Found"));
}

void TestHttpServer::answer(QTcpSocket *socket, const QByteArray &head)
{
    using Mode = Response::Mode;
    // "GET /path HTTP/1.1"
    const QString target = QString::fromLatin1(head.left(head.indexOf('\r')).split(' ').value(1));
    m_requestedPaths.append(target);
    m_requestHeads.append(head);
    const Response response = responseFor(target);
    if (response.onRequest) {
        const QPointer<QTcpSocket> alive(socket);
        response.onRequest();
        if (!alive)
            return;
    }
    if (response.mode == Mode::Silent)
        return;

    socket->write(statusAndHeaders(response));
    switch (response.mode) {
    case Mode::Normal:
    case Mode::NoLength:
        // One write: QTcpSocket buffers it and sends as the peer reads.
        socket->write(response.body);
        socket->disconnectFromHost();   // closes once the buffer is sent
        break;
    case Mode::CloseEarly:
        socket->write(response.body.left(response.body.size() / 2));
        socket->disconnectFromHost();
        break;
    case Mode::Stall:
    case Mode::Silent:
        break;
    case Mode::Drip: {
        if (response.body.isEmpty()) {
            socket->disconnectFromHost();
            break;
        }
        auto *timer = new QTimer(socket);
        timer->setInterval(response.dripInterval);
        connect(timer, &QTimer::timeout, socket,
                [socket, timer, body = response.body, sent = qsizetype(0)]() mutable {
                    socket->write(body.constData() + sent, 1);
                    if (++sent == body.size()) {
                        timer->stop();
                        socket->disconnectFromHost();
                    }
                });
        timer->start();
        break;
    }
    }
}
