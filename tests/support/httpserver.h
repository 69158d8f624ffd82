#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

class QSslConfiguration;
class QTcpSocket;

// A scriptable HTTP/1.1 server on 127.0.0.1 for tests: each path answers with a
// scripted response, including broken ones (early close, stall, silence, drip).
// It runs on the event loop of the thread that creates it; every connection
// answers one request and then closes.
class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        enum class Mode {
            Normal,   // status line, Content-Length, headers, body, then close the connection
            CloseEarly,   // announce the full Content-Length, send only the first half of the body, close
            NoLength,   // no Content-Length; send the body, then close (a close is the end of body)
            Stall,   // send the status line and headers (with Content-Length), then nothing, keep the
                     // connection open
            Silent,   // accept the connection, never answer
            Drip,   // Content-Length, then one body byte every `dripInterval`, then close
        };
        int status = 200;
        QByteArray reason = "OK";
        // Extra headers, e.g. {"Location", "/next"}; a Content-Length given here replaces the true one.
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        Mode mode = Mode::Normal;
        std::chrono::milliseconds dripInterval{ 100 };
        // Runs when a request arrives, before the answer is sent. The answer was chosen
        // before the call, so setResponse() here scripts the following requests.
        std::function<void()> onRequest;
    };

    explicit TestHttpServer(QObject *parent = nullptr);   // listens at once
    // The same over TLS, as `tls` (certificate, key, ALPN's protocols) says: https://...
    explicit TestHttpServer(const QSslConfiguration &tls, QObject *parent = nullptr);

    bool isListening() const;
    // http://127.0.0.1:<port><path>
    QUrl url(const QString &path = QStringLiteral("/dyn/pictures/sat.gif")) const;
    // A request target matches a path exactly, or else with its query removed;
    // unknown paths get 404 with a small HTML body.
    void setResponse(const QString &path, const Response &response);
    int requestCount() const;   // requests received, all paths
    QStringList requestedPaths() const;   // request targets as sent, in arrival order
    QByteArrayList requestHeaders(const QByteArray &name) const;   // its value in each request, in arrival order
    QByteArrayList negotiatedProtocols() const;   // over TLS: what ALPN chose, per connection

private:
    TestHttpServer(QTcpServer *server, QObject *parent);
    void acceptConnections();
    void answer(QTcpSocket *socket, const QByteArray &head);
    Response responseFor(const QString &target) const;

    std::unique_ptr<QTcpServer> m_server;
    QByteArrayList m_negotiatedProtocols;
    QHash<QString, Response> m_responses;
    QStringList m_requestedPaths;
    QByteArrayList m_requestHeads;
};
