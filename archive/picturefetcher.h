#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>

class QNetworkReply;

// Fetches the current satellite picture with one HTTP GET and hands back the whole body.
// fetch() waits in an event loop of its own, so the window keeps painting meanwhile.
class PictureFetcher : public QObject
{
    Q_OBJECT

public:
    static inline const QUrl PictureAddress{ QStringLiteral("http://www.zamg.ac.at/dyn/pictures/sat.gif") };
    static constexpr std::chrono::seconds RequestTimeout{ 60 };
    static constexpr qint64 MaxBodySize = 64 * 1024 * 1024;
    static constexpr int MaxRedirects = 10;

    explicit PictureFetcher(QUrl address = PictureAddress, std::chrono::milliseconds timeout = RequestTimeout,
                            QObject *parent = nullptr);

    // The body of a successful answer (status 200 after at most MaxRedirects redirects,
    // complete, within the size cap). Throws Failure otherwise, or when abort() ends it.
    QByteArray fetch();

    // Ends a running fetch at once (the window is closing).
    void abort();

    const QUrl &address() const { return m_address; }

private:
    QUrl m_address;
    std::chrono::milliseconds m_timeout;
    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    bool m_aborted = false;
};
