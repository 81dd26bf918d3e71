#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

// One plain HTTP GET at a time per call: Qt's default headers only, redirects
// followed as far as they do not lower security (Qt's default policy), no
// cache, no retry of our own. A transfer that receives nothing for the
// transfer time-out is abandoned, so is one that has not ended by its overall
// deadline (a server trickling a byte now and then never trips the first), and
// a body larger than the size limit is refused before it can exhaust memory.
// The status code is reported, never judged: a 404 page is a response like any
// other.
class HttpFetcher : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kTransferTimeout{60000};
    // A feed of 100 entries is a few hundred kilobytes and a lookup a few dozen:
    // three minutes carry either over a link of a few kilobytes a second, yet
    // bound an hourly run's three feeds to nine minutes and one queued app's
    // lookup to three.
    static constexpr std::chrono::milliseconds kOverallDeadline{std::chrono::minutes(3)};
    static constexpr qint64 kMaxBodyBytes = 64 * 1024 * 1024;

    // The one place where tests shorten the time-out or lower the size limit;
    // the program always uses the defaults.
    struct Limits {
        std::chrono::milliseconds transferTimeout = kTransferTimeout;
        std::chrono::milliseconds overallDeadline = kOverallDeadline;
        qint64 maxBodyBytes = kMaxBodyBytes;
    };

    struct Response {
        QByteArray body;
        std::optional<int> statusCode; // absent when the answer was not HTTP
    };

    explicit HttpFetcher(QObject* parent = nullptr);
    explicit HttpFetcher(Limits limits, QObject* parent = nullptr);

    // Throws TransferError when no whole response arrived. The fetcher must
    // outlive the task.
    QCoro::Task<Response> get(QUrl url);

    // The address as a web address, or nullopt when the text is not a valid
    // absolute http or https URL with a host.
    static std::optional<QUrl> webAddress(const QString& text);
    // Whether the URL is a valid absolute http or https URL with a host.
    static bool isWebAddress(const QUrl& url);

private:
    Limits m_limits;
    QNetworkAccessManager m_manager;
};
