#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class QNetworkAccessManager;
class QNetworkDiskCache;
class QNetworkReply;

// The one loader of remote images (app icons, screenshots) that every view
// shares. Responses are kept in a disk cache under the application's cache
// directory and decoded images in a bounded memory cache, so a list row that is
// painted again, or a view opened again, finds its image at once.
//
// Only http and https addresses are loaded; anything else fails at once. Bodies
// are capped in size and decoded on a worker thread, scaled down when they are
// larger than any screen needs, so a huge or hostile image cannot freeze the
// window. A load belongs to the objects that requested it: when all of them are
// gone before it arrives it is cancelled.
class ImageLoader : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Loading, Loaded, Failed };
    enum class Freshness {
        UseCache, // answer from the memory or disk cache when possible
        Reload,   // forget what is known about the address and ask the network again
    };

    static constexpr qint64 maximumBodyBytes = 40LL * 1024 * 1024;
    // Decoded images larger than this on either side are scaled down to it.
    static constexpr int maximumDimension = 4096;
    // Images declaring more pixels than this are refused without decoding.
    static constexpr qint64 maximumSourcePixels = 120LL * 1000 * 1000;
    static constexpr int transferTimeoutMs = 60 * 1000;

    // A loader whose disk cache lives in cacheDirectory (none when empty).
    explicit ImageLoader(const QString& cacheDirectory, QObject* parent = nullptr);
    ~ImageLoader() override;

    // The application's loader: a child of the application object, created on
    // first use, with its disk cache in <CacheLocation>/images. Main thread only.
    static ImageLoader* shared();
    static QString defaultCacheDirectory();
    // True for an absolute http or https address with a host.
    static bool isLoadableAddress(const QString& address);
    // Decodes image bytes with the size limits above; a null image when the
    // bytes are no image or too large. Safe on any thread.
    static QImage decodeImage(const QByteArray& bytes);

    State state(const QString& address) const;
    // The decoded image while it is in the memory cache; null otherwise.
    QImage image(const QString& address) const;
    // Starts loading the address unless it is loaded, loading or known to fail
    // (Reload forces a new network load). Returns the state after the call;
    // finished() follows once a started load ends. The requester keeps the load
    // alive: when every requester of a pending load is destroyed, it is cancelled.
    State request(const QString& address, QObject* requester, Freshness freshness = Freshness::UseCache);

    QNetworkAccessManager& network() { return *m_network; }

signals:
    // The address is now Loaded or Failed.
    void finished(const QString& address);

private:
    struct Load {
        QPointer<QNetworkReply> reply;
        QList<QObject*> requesters;
        quint64 serial = 0;
    };

    void start(const QString& address, QObject* requester, Freshness freshness);
    void replyFinished(const QString& address, quint64 serial);
    void decode(const QString& address, quint64 serial, const QByteArray& bytes);
    void decoded(const QString& address, quint64 serial, const QImage& image);
    void addRequester(Load& load, QObject* requester);
    void requesterDestroyed(QObject* requester);
    void forget(const QString& address);
    static void discard(QNetworkReply* reply);

    QNetworkAccessManager* m_network;
    QNetworkDiskCache* m_diskCache = nullptr;
    QCache<QString, QImage> m_images;
    QSet<QString> m_failed;
    QHash<QString, Load> m_loads;
    QSet<QObject*> m_watchedRequesters;
    quint64 m_nextSerial = 1;
};
