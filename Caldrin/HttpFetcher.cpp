#include "HttpFetcher.h"

#include "TransferError.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <qcoro/qcoronetworkreply.h>

#include <memory>

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// Qt reports an HTTP error status as a reply error too; those replies carry a
// whole body and are answers, not failed transfers.
bool isStatusError(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
           error == QNetworkReply::ProtocolInvalidOperationError ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

QString sizeText(qint64 bytes) {
    if (bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    return QStringLiteral("%1 bytes").arg(bytes);
}

QString durationText(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0)
        return QStringLiteral("%1 s").arg(duration.count() / 1000);
    return QStringLiteral("%1 ms").arg(duration.count());
}

} // namespace

HttpFetcher::HttpFetcher(QObject* parent)
    : HttpFetcher(Limits(), parent) {}

HttpFetcher::HttpFetcher(Limits limits, QObject* parent)
    : QObject(parent)
    , m_limits(limits)
    , m_manager(this) {
    m_manager.setTransferTimeout(static_cast<int>(m_limits.transferTimeout.count()));
    // Qt's default already; stated because the behaviour depends on it.
    m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

std::optional<QUrl> HttpFetcher::webAddress(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!isWebAddress(url))
        return std::nullopt;
    return url;
}

bool HttpFetcher::isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

QCoro::Task<HttpFetcher::Response> HttpFetcher::get(QUrl url) {
    const Limits limits = m_limits;
    std::unique_ptr<QNetworkReply, DeleteLater> reply(m_manager.get(QNetworkRequest(url)));

    // The body is read as it arrives, so that Qt never buffers more than one
    // chunk beyond the limit. The abort is queued: aborting inside readyRead
    // would finish the reply, and resume this coroutine, in the middle of
    // Qt's own signal emission.
    QByteArray body;
    bool tooLarge = false;
    QObject connections; // ends the two connections below with this frame
    QNetworkReply* const raw = reply.get();
    const auto refuse = [&tooLarge, &body, raw] {
        if (tooLarge)
            return;
        tooLarge = true;
        body.clear();
        QMetaObject::invokeMethod(raw, &QNetworkReply::abort, Qt::QueuedConnection);
    };
    QObject::connect(raw, &QNetworkReply::metaDataChanged, &connections, [raw, &limits, &refuse] {
        const QVariant length = raw->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limits.maxBodyBytes)
            refuse();
    });
    QObject::connect(raw, &QNetworkReply::readyRead, &connections, [raw, &body, &tooLarge, &limits, &refuse] {
        const QByteArray chunk = raw->readAll();
        if (tooLarge)
            return;
        body += chunk;
        if (body.size() > limits.maxBodyBytes)
            refuse();
    });

    // The flag tells this abort from Qt's own on the transfer time-out. Queued
    // too: this timer lives in the frame that the abort resumes and may end.
    bool pastDeadline = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, raw, [raw, &pastDeadline] {
        pastDeadline = true;
        QMetaObject::invokeMethod(raw, &QNetworkReply::abort, Qt::QueuedConnection);
    });
    deadline.start(limits.overallDeadline);

    co_await raw;
    deadline.stop();

    const QNetworkReply::NetworkError error = raw->error();
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool answered = error == QNetworkReply::NoError || (status.isValid() && isStatusError(error));
    if (answered && !tooLarge) {
        body += raw->readAll();
        tooLarge = body.size() > limits.maxBodyBytes;
    }
    // When the server's close is seen together with the last bytes, Qt ends
    // the reply as a success however short of the announced length it fell.
    // An encoded body is announced by its encoded length: no measure then.
    const QVariant announced = raw->header(QNetworkRequest::ContentLengthHeader);
    if (answered && !tooLarge && announced.isValid() && !raw->hasRawHeader("Content-Encoding") &&
        body.size() < announced.toLongLong())
        throw TransferError(TransferError::Kind::Failed, QStringLiteral("Connection closed"));
    if (tooLarge) {
        throw TransferError(
            TransferError::Kind::BodyTooLarge,
            QStringLiteral("Response body larger than %1 refused").arg(sizeText(limits.maxBodyBytes)));
    }
    if (error == QNetworkReply::OperationCanceledError) {
        if (pastDeadline) {
            throw TransferError(TransferError::Kind::TimedOut,
                                QStringLiteral("Transfer timed out: no whole response within %1")
                                    .arg(durationText(limits.overallDeadline)));
        }
        // Nothing else cancels our replies: this is the transfer time-out.
        throw TransferError(TransferError::Kind::TimedOut,
                            QStringLiteral("Transfer timed out: nothing received for %1")
                                .arg(durationText(limits.transferTimeout)));
    }
    if (!answered)
        throw TransferError(TransferError::Kind::Failed, raw->errorString());

    Response response;
    response.body = body;
    if (status.isValid())
        response.statusCode = status.toInt();
    co_return response;
}
