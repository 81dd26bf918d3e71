#include "ImageLoader.h"

#include "HttpFetcher.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFuture>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <QThread>
#include <QUrl>

namespace {

constexpr qint64 diskCacheBytes = 256LL * 1024 * 1024;
constexpr int memoryCacheKilobytes = 256 * 1024;

const QString sharedLoaderName() {
    return QStringLiteral("caldrin-shared-image-loader");
}

} // namespace

ImageLoader::ImageLoader(const QString& cacheDirectory, QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this)) {
    m_network->setTransferTimeout(transferTimeoutMs);
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    if (!cacheDirectory.isEmpty()) {
        QDir().mkpath(cacheDirectory);
        m_diskCache = new QNetworkDiskCache(this);
        m_diskCache->setCacheDirectory(cacheDirectory);
        m_diskCache->setMaximumCacheSize(diskCacheBytes);
        m_network->setCache(m_diskCache);
    }
    m_images.setMaxCost(memoryCacheKilobytes);
}

ImageLoader::~ImageLoader() {
    for (auto& load : m_loads)
        discard(load.reply);
}

ImageLoader* ImageLoader::shared() {
    QCoreApplication* application = QCoreApplication::instance();
    Q_ASSERT(application && QThread::currentThread() == application->thread());
    if (auto* existing = application->findChild<ImageLoader*>(sharedLoaderName(), Qt::FindDirectChildrenOnly))
        return existing;
    auto* loader = new ImageLoader(defaultCacheDirectory(), application);
    loader->setObjectName(sharedLoaderName());
    return loader;
}

QString ImageLoader::defaultCacheDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/images");
}

bool ImageLoader::isLoadableAddress(const QString& address) {
    return !address.isEmpty() && HttpFetcher::isWebAddress(QUrl(address, QUrl::StrictMode));
}

QImage ImageLoader::decodeImage(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize declared = reader.size();
    if (declared.isValid()) {
        if (qint64(declared.width()) * declared.height() > maximumSourcePixels)
            return {};
        if (declared.width() > maximumDimension || declared.height() > maximumDimension)
            reader.setScaledSize(declared.scaled(maximumDimension, maximumDimension, Qt::KeepAspectRatio));
    }
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.width() > maximumDimension || image.height() > maximumDimension)
        image =
            image.scaled(maximumDimension, maximumDimension, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

ImageLoader::State ImageLoader::state(const QString& address) const {
    if (!isLoadableAddress(address))
        return State::Failed;
    if (m_images.contains(address))
        return State::Loaded;
    if (m_failed.contains(address))
        return State::Failed;
    if (m_loads.contains(address))
        return State::Loading;
    return State::Idle;
}

QImage ImageLoader::image(const QString& address) const {
    const QImage* cached = m_images.object(address);
    return cached ? *cached : QImage();
}

ImageLoader::State ImageLoader::request(const QString& address, QObject* requester, Freshness freshness) {
    if (!isLoadableAddress(address))
        return State::Failed;
    if (freshness == Freshness::Reload) {
        forget(address);
    } else {
        const State known = state(address);
        if (known == State::Loaded || known == State::Failed)
            return known;
        if (known == State::Loading) {
            addRequester(m_loads[address], requester);
            return State::Loading;
        }
    }
    start(address, requester, freshness);
    return State::Loading;
}

void ImageLoader::forget(const QString& address) {
    if (auto it = m_loads.find(address); it != m_loads.end()) {
        discard(it->reply);
        m_loads.erase(it);
    }
    m_images.remove(address);
    m_failed.remove(address);
    if (m_diskCache)
        m_diskCache->remove(QUrl(address));
}

void ImageLoader::start(const QString& address, QObject* requester, Freshness freshness) {
    Load& load = m_loads[address];
    load.serial = m_nextSerial++;
    addRequester(load, requester);
    const quint64 serial = load.serial;
    // Store images never change under one address: a copy on disk is used
    // however old it is, without asking the network.
    if (freshness == Freshness::UseCache && m_diskCache) {
        const QUrl url(address);
        const int status =
            m_diskCache->metaData(url).attributes().value(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 200 && status < 300) {
            if (std::unique_ptr<QIODevice> cached{m_diskCache->data(url)}) {
                decode(address, serial, cached->read(maximumBodyBytes + 1));
                return;
            }
        }
    }
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, freshness == Freshness::Reload
                                                                         ? QNetworkRequest::AlwaysNetwork
                                                                         : QNetworkRequest::PreferCache);
    request.setTransferTimeout(transferTimeoutMs);
    QNetworkReply* reply = m_network->get(request);
    load.reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > maximumBodyBytes || total > maximumBodyBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, address, serial] { replyFinished(address, serial); });
}

void ImageLoader::addRequester(Load& load, QObject* requester) {
    if (!requester)
        return;
    if (!load.requesters.contains(requester))
        load.requesters.append(requester);
    if (!m_watchedRequesters.contains(requester)) {
        m_watchedRequesters.insert(requester);
        connect(requester, &QObject::destroyed, this, &ImageLoader::requesterDestroyed);
    }
}

void ImageLoader::requesterDestroyed(QObject* requester) {
    m_watchedRequesters.remove(requester);
    for (auto it = m_loads.begin(); it != m_loads.end();) {
        it->requesters.removeAll(requester);
        // Nobody waits for this download any more: stop it. A load that is
        // already decoding finishes into the cache, which costs nothing more.
        if (it->requesters.isEmpty() && it->reply) {
            discard(it->reply);
            it = m_loads.erase(it);
        } else {
            ++it;
        }
    }
}

void ImageLoader::discard(QNetworkReply* reply) {
    if (!reply)
        return;
    reply->disconnect();
    reply->abort();
    reply->deleteLater();
}

void ImageLoader::replyFinished(const QString& address, quint64 serial) {
    auto it = m_loads.find(address);
    if (it == m_loads.end() || it->serial != serial || !it->reply)
        return;
    QNetworkReply* reply = it->reply;
    it->reply = nullptr;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300 &&
                    HttpFetcher::isWebAddress(reply->url());
    if (!ok) {
        decoded(address, serial, QImage());
        return;
    }
    decode(address, serial, reply->read(maximumBodyBytes + 1));
}

void ImageLoader::decode(const QString& address, quint64 serial, const QByteArray& bytes) {
    if (bytes.size() > maximumBodyBytes) {
        decoded(address, serial, QImage());
        return;
    }
    QtConcurrent::run(&ImageLoader::decodeImage, bytes)
        .then(this, [this, address, serial](const QImage& image) { decoded(address, serial, image); });
}

void ImageLoader::decoded(const QString& address, quint64 serial, const QImage& image) {
    auto it = m_loads.find(address);
    if (it == m_loads.end() || it->serial != serial)
        return; // cancelled or replaced by a newer load meanwhile
    m_loads.erase(it);
    if (image.isNull()) {
        m_failed.insert(address);
    } else {
        const qsizetype kilobytes = qMax<qsizetype>(1, image.sizeInBytes() / 1024);
        m_images.insert(address, new QImage(image), kilobytes);
    }
    emit finished(address);
}
