#include "archive/picturefetcher.h"

#include "base/failure.h"

#include <QEventLoop>
#include <QLocale>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

const QString FetchFailed = QStringLiteral("Das Satellitenbild konnte nicht geladen werden.");
constexpr qint64 ReadBufferSize = 256 * 1024;

}

PictureFetcher::PictureFetcher(QUrl address, std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent),
      m_address(std::move(address)),
      m_timeout(timeout)
{
    m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

QByteArray PictureFetcher::fetch()
{
    QNetworkRequest request(m_address);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    // The server publishes a new picture every hour under the same address: never a cached one.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // One GIF gains nothing from HTTP/2, which Qt would offer after a redirect to https, and
    // whose code in Qt has had its security advisories: HTTP/1.1 only.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // The body as it is: a GIF is compressed already, and Qt's gzip, deflate, brotli and zstd
    // decoders would be code that a stranger's bytes reach for nothing. Asked for nothing else,
    // Qt decodes nothing, so an encoded answer fails the check of the GIF as it came.
    request.setRawHeader("Accept-Encoding", "identity");

    m_aborted = false;
    // The handlers below refer to this function's locals: the reply must not call them
    // once it returns, even though the reply itself is only deleted later. A reply that
    // ended on an error without finishing is aborted, so its connection closes now.
    const auto release = [](QNetworkReply *r) {
        r->disconnect();
        if (!r->isFinished())
            r->abort();
        r->deleteLater();
    };
    std::unique_ptr<QNetworkReply, decltype(release)> reply(m_manager.get(request), release);
    m_reply = reply.get();

    QByteArray body;
    QString refusal;   // why we cut the transfer off ourselves
    auto refuse = [&](const QString &why) {
        if (refusal.isEmpty())
            refusal = why;
        reply->abort();
    };
    const QString tooLarge =
        QStringLiteral("Die Antwort ist größer als %1 MiB.").arg(MaxBodySize / (1024 * 1024));

    connect(reply.get(), &QNetworkReply::metaDataChanged, this, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!length.isValid())
            return;
        if (length.toLongLong() > MaxBodySize)
            refuse(tooLarge);
        else if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200)
            body.reserve(length.toLongLong());
    });
    // Taking the bytes as they come, straight into the body and through a small buffer,
    // keeps an endless or huge answer from piling up in memory.
    reply->setReadBufferSize(ReadBufferSize);
    connect(reply.get(), &QNetworkReply::readyRead, this, [&] {
        const qint64 available = reply->bytesAvailable();
        if (body.size() + available > MaxBodySize) {
            refuse(tooLarge);
            return;
        }
        const qsizetype received = body.size();
        body.resize(received + available);
        body.resize(received + std::max<qint64>(0, reply->read(body.data() + received, available)));
    });

    // Qt's own transfer time-out only counts idle time; the request gets a hard limit.
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [&] {
        refuse(QStringLiteral("Der Server hat nicht innerhalb von %1 Sekunden geantwortet.")
                   .arg(QLocale(QLocale::German).toString(std::chrono::duration<double>(m_timeout).count())));
    });
    deadline.start(m_timeout);

    // With a read buffer set, Qt may report an error and never finish (its decompression did,
    // which the request now avoids): either ends the wait.
    QEventLoop loop;
    connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply.get(), &QNetworkReply::errorOccurred, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    deadline.stop();
    m_reply.clear();

    if (m_aborted)
        throw Failure(FetchFailed, QStringLiteral("Der Download wurde abgebrochen."));
    if (!refusal.isEmpty())
        throw Failure(FetchFailed, refusal);

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400 || (reply->error() == QNetworkReply::NoError && status != 200)) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        throw Failure(FetchFailed,
                      QStringLiteral("Der Server antwortete mit dem Status %1.")
                          .arg((QString::number(status) + u' ' + reason).trimmed()));
    }
    if (reply->error() != QNetworkReply::NoError)
        throw Failure(FetchFailed, reply->errorString());

    body += reply->readAll();
    if (body.size() > MaxBodySize)
        throw Failure(FetchFailed, tooLarge);
    // Qt may retry a connection that was cut off and then report the shortened body as
    // complete, so the announced length is checked here.
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && announced.toLongLong() != body.size())
        throw Failure(FetchFailed,
                      QStringLiteral("Die Verbindung endete nach %1 von %2 Bytes.")
                          .arg(body.size())
                          .arg(announced.toLongLong()));
    return body;
}

void PictureFetcher::abort()
{
    m_aborted = true;
    if (m_reply)
        m_reply->abort();
}
