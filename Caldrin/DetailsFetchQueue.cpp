#include "DetailsFetchQueue.h"

#include "AppEnrichment.h"
#include "AppModel.h"
#include "Console.h"
#include "ErrorText.h"
#include "ModelContext.h"
#include "StoreError.h"
#include "UserCharacters.h"

#include <QLocale>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <qcoro/qcorotimer.h>

#include <charconv>

namespace {

const QString kRule = QString(80, QLatin1Char('='));

QString yesNo(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

qsizetype countOf(const std::optional<QStringList>& list) {
    return list ? list->size() : 0;
}

} // namespace

DetailsFetchQueue::DetailsFetchQueue(ModelContext& modelContext, QObject* parent)
    : DetailsFetchQueue(modelContext, Timing(), parent) {}

DetailsFetchQueue::DetailsFetchQueue(ModelContext& modelContext, Timing timing, QObject* parent)
    : QObject(parent)
    , m_modelContext(modelContext)
    , m_timing(timing)
    , m_webKitScraper(std::make_shared<WebKitScraperService>(timing.scraper))
    , m_detailsService(std::make_shared<AppDetailsService>(timing.http)) {}

DetailsFetchQueue::~DetailsFetchQueue() = default;

void DetailsFetchQueue::setStatusMessage(const QString& message) {
    m_statusMessage = message;
}

void DetailsFetchQueue::addToQueue(const QList<QSharedPointer<AppModel>>& apps) {
    QList<Waiting> waiting;
    waiting.reserve(apps.size());
    for (const auto& app : apps) {
        if (app)
            waiting.append(Waiting{app, app->persistentId(), app->appleID()});
    }
    addToQueue(waiting);
}

void DetailsFetchQueue::addToQueue(const QList<Waiting>& apps) {
    WaitingApps waiting;
    for (const Waiting& app : apps)
        waiting.append(app);
    addToQueue(std::move(waiting));
}

void DetailsFetchQueue::addToQueue(WaitingApps apps) {
    // Compared with the apps already waiting, not with the rest of the list:
    // all are looked at before any is appended.
    qsizetype added = apps.size();
    if (m_queue.isEmpty()) {
        m_queue = std::move(apps);
    } else {
        QList<Waiting> fresh;
        while (!apps.isEmpty()) {
            Waiting app = apps.takeFirst();
            if (m_queue.count(app.appleID) == 0)
                fresh.append(std::move(app));
        }
        added = fresh.size();
        for (const Waiting& app : std::as_const(fresh))
            m_queue.append(app);
    }
    m_totalCount = m_queue.size();
    Console::print(QStringLiteral("📋 Added %1 apps to queue. Total: %2").arg(added).arg(m_totalCount));
    emit changed();
    if (!m_isProcessing)
        QTimer::singleShot(0, this, &DetailsFetchQueue::startDrain);
}

QSharedPointer<AppModel> DetailsFetchQueue::recordOf(const Waiting& waiting) {
    if (waiting.record)
        return waiting.record;
    try {
        return m_modelContext.recordWithPersistentId<AppModel>(waiting.persistentId);
    } catch (const StoreError& error) {
        Console::print(QStringLiteral("❌ Could not read app %1 from the store: %2")
                           .arg(waiting.appleID, error.description()));
        return nullptr;
    }
}

void DetailsFetchQueue::startDrain() {
    // Not awaited by anyone: the drain catches everything itself.
    processQueue();
}

QCoro::Task<> DetailsFetchQueue::processQueue() {
    if (m_isProcessing || m_queue.isEmpty())
        co_return;
    QPointer<DetailsFetchQueue> self(this);
    m_isProcessing = true;
    m_processedCount = 0;
    m_totalCount = m_queue.size();
    Console::print(QStringLiteral("🚀 Starting queue processing: %1 apps").arg(m_totalCount));
    emit changed();
    while (!m_queue.isEmpty()) {
        const Waiting waiting = m_queue.takeFirst();
        const QSharedPointer<AppModel> app = recordOf(waiting);
        if (!app || app->isDeleted())
            continue; // gone since it was queued (the window's reset)
        m_currentApp = app->name();
        setStatusMessage(QStringLiteral("Processing %1/%2: %3")
                             .arg(m_processedCount + 1)
                             .arg(m_totalCount)
                             .arg(app->name()));
        emit changed();
        QCoro::Task<> processing = processApp(app);
        co_await processing;
        if (!self)
            co_return;
        ++m_processedCount;
        emit changed();
        QCoro::Task<> pause = QCoro::sleepFor(m_timing.pauseBetweenApps);
        co_await pause;
        if (!self)
            co_return;
    }
    m_isProcessing = false;
    m_currentApp.reset();
    setStatusMessage(QStringLiteral("Queue complete. Processed %1 apps").arg(m_processedCount));
    Console::print(QStringLiteral("✅ Queue processing complete"));
    emit changed();
}

QCoro::Task<> DetailsFetchQueue::processApp(QSharedPointer<AppModel> app) {
    QPointer<DetailsFetchQueue> self(this);
    const std::shared_ptr<AppDetailsService> detailsService = m_detailsService;
    const std::shared_ptr<WebKitScraperService> webKitScraper = m_webKitScraper;
    Console::print(QStringLiteral("\n") + kRule);
    Console::print(QStringLiteral("🔍 Processing: ") + app->name());
    Console::print(QStringLiteral("   Apple ID: ") + app->appleID());
    Console::print(QStringLiteral("   URL: ") + app->appStoreURL());
    Console::print(kRule);
    Console::print(QStringLiteral("📡 Step 1: Fetching from iTunes API..."));

    QString failure;
    try {
        QCoro::Task<std::optional<iTunesAppDetails>> lookup = detailsService->fetchAppDetails(app->appleID());
        const std::optional<iTunesAppDetails> details = co_await lookup;
        if (!self)
            co_return;
        if (details) {
            AppEnrichment::copyLookupDetails(*app, *details);

            Console::print(QStringLiteral("  📱 Checking API for screenshots..."));
            Console::print(
                QStringLiteral("    iPhone screenshots: %1").arg(countOf(details->screenshotUrls)));
            Console::print(
                QStringLiteral("    iPad screenshots: %1").arg(countOf(details->ipadScreenshotUrls)));
            Console::print(
                QStringLiteral("    AppleTV screenshots: %1").arg(countOf(details->appletvScreenshotUrls)));
            const std::pair<const std::optional<QStringList>*, const char*> sources[] = {
                {&details->screenshotUrls, "iPhone"},
                {&details->ipadScreenshotUrls, "iPad"},
                {&details->appletvScreenshotUrls, "AppleTV"}};
            const QStringList* chosen = nullptr;
            for (const auto& [list, device] : sources) {
                if (*list && !(*list)->isEmpty()) {
                    chosen = &**list;
                    Console::print(QStringLiteral("  ✅ Got %1 %2 screenshots from API")
                                       .arg(chosen->size())
                                       .arg(QString::fromLatin1(device)));
                    break;
                }
            }
            if (chosen) {
                app->setScreenshotURLs(*chosen);
                Console::print(QStringLiteral("  💾 Saved %1 screenshots to app model").arg(chosen->size()));
            } else {
                Console::print(QStringLiteral("  ⚠️ No screenshots in iTunes API response"));
            }
        }

        const bool needsPage = countOf(app->screenshotURLs()) == 0;
        Console::print(QStringLiteral("\n📊 After iTunes API:"));
        Console::print(QStringLiteral("   Screenshots: %1").arg(countOf(app->screenshotURLs())));
        Console::print(QStringLiteral("   Description: ") + yesNo(app->hasAppDescription()));
        Console::print(QStringLiteral("   Needs WebKit? ") + yesNo(needsPage));

        if (needsPage) {
            Console::print(QStringLiteral("\n🌐 Step 2: Launching WebKit scraper..."));
            Console::print(QStringLiteral("   This may take 5-10 seconds..."));
            QCoro::Task<std::optional<WebKitScrapedData>> scrape =
                webKitScraper->scrapePage(app->appStoreURL());
            const std::optional<WebKitScrapedData> scraped = co_await scrape;
            if (!self)
                co_return;
            if (scraped) {
                Console::print(QStringLiteral("  🌐 WebKit scraper returned successfully"));
                const AppEnrichment::Merged merged = AppEnrichment::mergeScrapedData(*app, *scraped);
                if (merged.tookScreenshots) {
                    Console::print(QStringLiteral("  ✅ Got %1 screenshots from WebKit")
                                       .arg(scraped->screenshotURLs.size()));
                    for (qsizetype i = 0; i < scraped->screenshotURLs.size(); ++i)
                        Console::print(
                            QStringLiteral("    [%1] %2").arg(i + 1).arg(scraped->screenshotURLs.at(i)));
                } else {
                    Console::print(QStringLiteral("  ⚠️ WebKit returned 0 screenshots"));
                }
                if (merged.purchaseItems > 0)
                    Console::print(QStringLiteral("  💰 Found %1 IAP products").arg(merged.purchaseItems));
                if (scraped->hasInAppPurchases)
                    Console::print(QStringLiteral("  💰 Has In-App Purchases"));
            }
        }

        app->setDetailsFetched(true);
        // The wait for the disk happens off the main thread.
        QCoro::Task<> saving = m_modelContext.saveAsync();
        co_await saving;
    } catch (const std::exception& error) {
        failure = ErrorText::describe(error);
    } catch (...) {
        failure = ErrorText::unknown();
    }

    if (!self)
        co_return; // the queue went away meanwhile: nobody to report to
    if (!failure.isNull()) {
        Console::print(QStringLiteral("\n❌ ERROR processing ") + app->name() + QStringLiteral(":"));
        Console::print(QStringLiteral("   ") + failure);
        Console::print(kRule + QStringLiteral("\n"));
        co_return;
    }

    Console::print(QStringLiteral("\n✅ FINAL RESULTS for ") + app->name() + QStringLiteral(":"));
    Console::print(QStringLiteral("   ✓ Details fetched: YES"));
    if (const std::optional<QString>& description = app->appDescription())
        Console::print(
            QStringLiteral("   ✓ Description: YES (%1 chars)").arg(UserCharacters::count(*description)));
    else
        Console::print(QStringLiteral("   ✓ Description: NO"));
    const qsizetype screenshots = countOf(app->screenshotURLs());
    Console::print(QStringLiteral("   ✓ Screenshots: %1").arg(screenshots));
    if (screenshots > 0) {
        const QString& first = app->screenshotURLs()->first();
        Console::print(QStringLiteral("   ✓ First screenshot: ") +
                       first.mid(first.lastIndexOf(QLatin1Char('/')) + 1));
    }
    Console::print(QStringLiteral("   ✓ IAP: ") + yesNo(app->hasInAppPurchases().value_or(false)));
    Console::print(kRule + QStringLiteral("\n"));
}

void DetailsFetchQueue::clearQueue() {
    m_queue.clear();
    m_totalCount = 0;
    setStatusMessage(QStringLiteral("Queue cleared"));
    emit changed();
}

QString DetailsFetchQueue::queueStatus() const {
    if (m_isProcessing)
        return QStringLiteral("Processing %1/%2").arg(m_processedCount + 1).arg(m_totalCount);
    if (m_queue.isEmpty())
        return QStringLiteral("Queue empty");
    return QStringLiteral("Queue: %1 apps waiting").arg(m_queue.size());
}

std::optional<QString> DetailsFetchQueue::formatFileSize(const std::optional<QString>& bytes) {
    if (!bytes)
        return std::nullopt;
    // An optional sign and at least one ASCII digit, nothing else.
    QByteArray text = bytes->toLatin1();
    if (bytes->size() != text.size() || text.isEmpty())
        return std::nullopt;
    // One sign at most: "+-5" is no number.
    const bool plus = text.startsWith('+');
    if (plus)
        text.remove(0, 1);
    const qsizetype digitsFrom = !plus && text.startsWith('-') ? 1 : 0;
    if (text.size() == digitsFrom)
        return std::nullopt;
    for (qsizetype i = digitsFrom; i < text.size(); ++i) {
        if (text.at(i) < '0' || text.at(i) > '9')
            return std::nullopt;
    }
    qint64 value = 0;
    const auto [end, error] = std::from_chars(text.constData(), text.constData() + text.size(), value);
    if (error != std::errc() || end != text.constData() + text.size())
        return std::nullopt;
    // Decimal units, with the precision a file-size text usually has: whole
    // kilobytes, one decimal for megabytes, two from gigabytes on.
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    const int precision = magnitude < 1000000 ? 0 : magnitude < 1000000000 ? 1 : 2;
    return QLocale().formattedDataSize(value, precision, QLocale::DataSizeSIFormat);
}
