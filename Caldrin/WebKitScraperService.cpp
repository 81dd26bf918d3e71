#include "WebKitScraperService.h"

#include "AtomicTextFile.h"
#include "BuiltInConfiguration.h"
#include "Console.h"
#include "HttpFetcher.h"
#include "ScraperPage.h"
#include "ScraperRequestFilter.h"
#include "UserCharacters.h"
#include "WebKitNavigationError.h"

#include <QCoreApplication>
#include <QCoroTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <algorithm>

namespace {

// Finds the app's screenshots among the page's pictures: gallery pictures
// first, then image addresses anywhere in the HTML; keeps tall or wide pictures
// from the screenshot folders, falls back to looser tests when none pass, keeps
// one address per image and returns at most ten, sorted.
// __IMAGE_HOST_DOMAIN__ and __IMAGE_SERVER_HOST_PATTERN__ are replaced once by
// the built-in values, as JavaScript string literals.
const char* const screenshotScriptTemplate = R"JS((function () {
    const imageHostDomain = __IMAGE_HOST_DOMAIN__;
    const imageServerHostPattern = __IMAGE_SERVER_HOST_PATTERN__;

    console.log('🔍 Starting screenshot extraction...');
    console.log('📱 Approach 1: Looking for screenshot gallery section...');
    const selectors = [
        'section.l-content-width.section.section--bordered.whats-new__content picture',
        'section[class*="screenshot"] picture',
        'div[class*="screenshot"] picture',
        '[class*="product-hero"] picture',
        'picture[class*="we-screenshot"]',
        '.we-screenshot-viewer picture',
        'section picture',
        'picture'
    ];
    const collected = [];
    for (const selector of selectors) {
        const matches = document.querySelectorAll(selector);
        console.log('  Trying selector: "' + selector + '" - found ' + matches.length + ' elements');
        if (matches.length > 0) {
            for (const element of matches) {
                for (const source of element.querySelectorAll('source, img')) {
                    const text = source.getAttribute('srcset') || source.getAttribute('src') || '';
                    for (const piece of text.split(',')) {
                        const address = piece.trim().split(' ')[0];
                        if (address && address.includes(imageHostDomain) && address.includes('/image/thumb/')) {
                            const clean = address.split('?')[0];
                            collected.push(clean);
                            console.log('    ✅ Found screenshot: ' + clean);
                        }
                    }
                }
            }
        }
        if (collected.length > 0) {
            console.log('  ✅ Found ' + collected.length + ' screenshots with selector: ' + selector);
            break;
        }
    }

    if (collected.length === 0) {
        console.log('📋 Approach 2: Scanning entire HTML for screenshot URLs...');
        const html = document.documentElement.innerHTML;
        const pattern = new RegExp('https://' + imageServerHostPattern + '/image/thumb/[^"\'\\s]+', 'g');
        const found = html.match(pattern) || [];
        for (const match of found) {
            collected.push(match.replace(/\\/g, '').split('?')[0]);
        }
        console.log('  Found ' + found.length + ' URLs from HTML');
    }

    console.log('📊 Total URLs before filtering: ' + collected.length);
    if (collected.length > 0) {
        console.log('🔍 Sample URLs found:');
        collected.slice(0, 5).forEach(function (address, index) {
            console.log('  [' + (index + 1) + '] ' + address);
        });
        if (collected.length > 5) {
            console.log('  ... and ' + (collected.length - 5) + ' more');
        }
    } else {
        console.log('⚠️ WARNING: Found 0 URLs! Page may not have loaded properly or has different structure.');
    }

    const tinyPatterns = ['/48x48', '/96x96', '/60x60', '/100x100', '/230x0', '/460x0', '/512x512'];
    const strict = [];
    for (const address of collected) {
        if (address.includes('/Features')) {
            console.log('❌ Rejecting Features folder (category icon): ' + address.substring(address.lastIndexOf('/Features')));
            continue;
        }
        if (address.includes('/Prod-')) {
            console.log('❌ Skipping app icon (Prod-)');
            continue;
        }
        if (!/\/Purple(Source|\d+)\//.test(address)) {
            console.log('❌ Not in Purple screenshot folder, skipping');
            continue;
        }
        console.log('✅ Found URL in Purple screenshot folder!');
        const tiny = tinyPatterns.find(function (pattern) { return address.includes(pattern); });
        if (tiny !== undefined) {
            console.log('❌ Skipping tiny icon: ' + tiny);
            continue;
        }
        const size = address.match(/(\d+)x(\d+)/);
        if (!size) {
            console.log('❌ No dimensions in URL, skipping');
            continue;
        }
        const width = parseInt(size[1], 10);
        const height = parseInt(size[2], 10);
        console.log('📐 Checking: ' + width + 'x' + height);
        if (width < 800 && height < 800) {
            console.log('❌ Too small (< 800px)');
            continue;
        }
        const ratio = Math.max(width, height) / Math.min(width, height);
        console.log('   Ratio: ' + ratio.toFixed(2));
        if (ratio >= 1.3) {
            console.log('✅ REAL SCREENSHOT: ' + width + 'x' + height + ', ratio ' + ratio.toFixed(2));
            strict.push(address);
        } else {
            console.log('❌ Too square (ratio < 1.3)');
        }
    }
    console.log('After filtering: ' + strict.length + ' URLs');
    let candidates = strict;

    if (candidates.length === 0) {
        console.log('⚠️ Strict filtering resulted in 0 screenshots! Trying relaxed filtering...');
        const relaxed = [];
        for (const address of collected) {
            if (address.includes('/Prod-') || address.includes('/Features')) {
                continue;
            }
            const size = address.match(/(\d+)x(\d+)/);
            if (!size) {
                continue;
            }
            const width = parseInt(size[1], 10);
            const height = parseInt(size[2], 10);
            if (width < 200 || height < 200 || (width < 400 && height < 400)) {
                continue;
            }
            const ratio = Math.max(width, height) / Math.min(width, height);
            if (ratio >= 1.2) {
                console.log('  Relaxed: keeping ' + width + 'x' + height + ' (ratio: ' + ratio.toFixed(2) + ')');
                relaxed.push(address);
            }
        }
        console.log('Fallback 1 found ' + relaxed.length + ' URLs (relaxed filtering)');
        candidates = relaxed;

        if (candidates.length === 0) {
            console.log('🚨 FALLBACK 2: Trying Purple folders with minimal filtering...');
            const purple = [];
            for (const address of collected) {
                if (address.includes('/Purple') && !address.includes('/Prod-') && !address.includes('/Features') &&
                    !['/48x48', '/96x96', '/60x60', '/100x100'].some(function (pattern) { return address.includes(pattern); })) {
                    console.log('  DEBUG: keeping Purple URL: ' + address);
                    purple.push(address);
                }
            }
            console.log('Fallback 2 found ' + purple.length + ' URLs (Purple folders only)');
            candidates = purple;
        }
    }

    const seenAddresses = new Set();
    const distinct = [];
    for (const address of candidates) {
        if (!seenAddresses.has(address)) {
            seenAddresses.add(address);
            distinct.push(address);
        }
    }
    console.log('After removing exact duplicates: ' + distinct.length + ' URLs');

    const seenIdentifiers = new Set();
    const unique = [];
    for (const address of distinct) {
        const identifier = address.match(/([a-f0-9]{8}-[a-f0-9]{4}-[a-f0-9]{4}-[a-f0-9]{4}-[a-f0-9]{12})/i);
        if (identifier) {
            if (!seenIdentifiers.has(identifier[1])) {
                seenIdentifiers.add(identifier[1]);
                unique.push(address);
                console.log('✅ Keeping unique screenshot UUID: ' + identifier[1]);
            } else {
                console.log('⏭️ Skipping duplicate UUID: ' + identifier[1]);
            }
        } else {
            unique.push(address);
            console.log('⚠️ No UUID found in URL, keeping anyway: ' + address.substring(address.lastIndexOf('/')));
        }
    }
    console.log('After UUID deduplication: ' + unique.length + ' unique screenshots');

    unique.sort();
    let result = unique;
    if (result.length > 10) {
        console.log('Limiting to first 10 screenshots');
        result = result.slice(0, 10);
    }
    console.log('📸 FINAL: Returning ' + result.length + ' screenshot URLs');
    return result;
})())JS";

// Decides whether the app offers in-app purchases (header subtitle, purchase
// section, page text) and collects the purchases with their prices: rows of a
// name and a price anywhere, else the known row layouts.
const char* const purchaseScriptText = R"JS((function () {
    console.log('🔍 Starting IAP extraction...');
    let hasIAP = false;
    const items = [];
    const pricePattern = /[\$€¥₽£]\s*\d+[.,]\d{2}|\d+[.,]\d{2}\s*[\$€¥₽£]/;

    const subtitle = document.querySelector('.app-header__subtitle, .product-header__subtitle, [class*="subtitle"]');
    if (subtitle && subtitle.textContent.includes('In-App Purchases')) {
        hasIAP = true;
        console.log('✅ Found IAP in subtitle');
    }
    const section = document.querySelector('[data-test-bidi*="in-app"], [aria-label*="In-App"], .in-app-purchases');
    if (section) {
        hasIAP = true;
        console.log('✅ Found IAP section');
    }
    const bodyText = document.body.innerText;
    if (bodyText.includes('In-App Purchases') || bodyText.includes('In\u2011App Purchases')) {
        hasIAP = true;
        console.log('✅ Found IAP in body text');
    }

    console.log('🔍 Searching for IAP items in page...');
    const elements = document.querySelectorAll('div, li, section');
    console.log('📋 Scanning ' + elements.length + ' elements for IAP data...');
    const excludedWords = ['In-App', 'Purchase', 'Offers', 'Copyright', 'Privacy'];
    for (const element of elements) {
        const text = element.textContent || '';
        if (!pricePattern.test(text)) {
            continue;
        }
        const children = element.children;
        if (children.length < 2) {
            continue;
        }
        let name = null;
        let price = null;
        for (const child of children) {
            const childText = (child.textContent || '').trim();
            if (pricePattern.test(childText) && childText.length < 20) {
                price = childText;
            } else if (childText.length > 2 && childText.length < 100 && !pricePattern.test(childText) &&
                       !excludedWords.some(function (word) { return childText.includes(word); })) {
                name = childText;
            }
        }
        if (name !== null && price !== null &&
            !items.some(function (item) { return item.name === name && item.price === price; })) {
            items.push({ name: name, price: price });
            console.log('✅ Found IAP: "' + name + '" - ' + price);
        }
    }

    if (items.length === 0) {
        console.log('⚠️ Approach 1 found no items, trying specific selectors...');
        const rowSelectors = [
            '.in-app-purchase__row',
            '[class*="in-app"] [class*="row"]',
            '[data-test-bidi*="in-app"] > div',
            '.we-lockup',
            'ul li',
            'ol li'
        ];
        for (const selector of rowSelectors) {
            const rows = document.querySelectorAll(selector);
            console.log('  Checking selector: ' + selector + ', found ' + rows.length + ' elements');
            for (const row of rows) {
                const text = row.textContent || '';
                const match = text.match(pricePattern);
                if (match) {
                    const price = match[0];
                    const name = text.substring(0, match.index).trim();
                    if (name && name.length > 2 && name.length < 100 &&
                        !items.some(function (item) { return item.name === name; })) {
                        items.push({ name: name, price: price });
                        console.log('✅ Found IAP (selector): "' + name + '" - ' + price);
                    }
                }
            }
            if (items.length > 0) {
                break;
            }
        }
    }

    console.log('IAP extraction complete. Found ' + items.length + ' items');
    return { hasIAP: hasIAP, info: hasIAP ? 'Offers In-App Purchases' : null, items: items };
})())JS";

// The description: the description meta element, else the page's own initial state.
const char* const descriptionScriptText = R"JS((function () {
    const meta = document.querySelector('meta[name="description"]');
    if (meta) {
        return meta.getAttribute('content') || '';
    }
    if (window.__INITIAL_STATE__ && window.__INITIAL_STATE__.product && window.__INITIAL_STATE__.product.description) {
        return window.__INITIAL_STATE__.product.description;
    }
    return null;
})())JS";

// A text as a JavaScript string literal.
QString javaScriptString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// Occurrences that do not overlap: the pieces of the text split at the needle, minus one.
qsizetype occurrences(const QString& text, const QString& needle) {
    qsizetype count = 0;
    for (qsizetype at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + needle.size()))
        ++count;
    return count;
}

// The engine's code for a navigation that was aborted, for example replaced by another.
constexpr int kAbortedNavigation = -3;

bool isText(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

QString textOrEmpty(const QVariant& value) {
    return isText(value) ? value.toString() : QString();
}

} // namespace

const QString WebKitScraperService::debugFilePath = QStringLiteral("/tmp/appstore_page_debug.html");

WebKitScraperService::WebKitScraperService(QObject* parent)
    : WebKitScraperService(Durations{}, parent) {}

WebKitScraperService::WebKitScraperService(Durations durations, QObject* parent)
    : QObject(parent)
    , m_durations(durations) {
    setupWebView();
}

WebKitScraperService::~WebKitScraperService() {
    // A caller still waiting gets no data rather than waiting for ever.
    complete(m_continuation, std::nullopt);
    // The page goes before its profile.
    delete m_webView.data();
}

const QString& WebKitScraperService::screenshotScript() {
    static const QString script =
        QString::fromUtf8(screenshotScriptTemplate)
            .replace(QLatin1String("__IMAGE_HOST_DOMAIN__"),
                     javaScriptString(BuiltInConfiguration::imageHostDomain()))
            .replace(QLatin1String("__IMAGE_SERVER_HOST_PATTERN__"),
                     javaScriptString(BuiltInConfiguration::imageServerHostPattern()));
    return script;
}

const QString& WebKitScraperService::purchaseScript() {
    static const QString script = QString::fromUtf8(purchaseScriptText);
    return script;
}

const QString& WebKitScraperService::descriptionScript() {
    static const QString script = QString::fromUtf8(descriptionScriptText);
    return script;
}

void WebKitScraperService::setupWebView() {
    if (!m_profile) {
        // No storage name: off the record, nothing of the page is kept on disk.
        m_profile = new QWebEngineProfile(this);
        m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        m_profile->setSpellCheckEnabled(false);
        m_profile->setUrlRequestInterceptor(new ScraperRequestFilter(m_profile));
        connect(m_profile, &QWebEngineProfile::downloadRequested, this,
                [](QWebEngineDownloadRequest* download) { download->cancel(); });
        QWebEngineSettings* settings = m_profile->settings();
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
        settings->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
        settings->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
        settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
        settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
        settings->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
        settings->setAttribute(QWebEngineSettings::AllowGeolocationOnInsecureOrigins, false);
        settings->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
        settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
        settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
        settings->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
    }
    m_webView = new ScraperPage(m_profile, this);
    m_committed = false;
    connect(m_webView, &QWebEnginePage::loadingChanged, this, &WebKitScraperService::loadingChanged);
    // The page's address changes when a navigation puts its document in place.
    connect(m_webView, &QWebEnginePage::urlChanged, this, [this] { m_committed = true; });
}

void WebKitScraperService::discardWebView() {
    // Evaluations still waiting in the old page are answered (with nothing) as it
    // goes; their extractions then find their page gone and stop.
    delete m_webView.data();
    setupWebView();
}

QCoro::Task<std::optional<WebKitScrapedData>> WebKitScraperService::scrapePage(const QString& url) {
    const QUrl address(url, QUrl::StrictMode);
    // Only web addresses are loaded: anything else (file:, relative paths, ...) is no address here.
    if (url.isEmpty() || !HttpFetcher::isWebAddress(address))
        co_return std::nullopt;
    if (!m_webView)
        co_return std::nullopt;
    Console::print(QStringLiteral("🌐 WebKit scraping: ") + url);

    // A caller that did not wait for the previous scrape must not leave that
    // one's caller waiting for ever: it ends with no data.
    complete(m_continuation, std::nullopt);
    auto pending = std::make_shared<PendingScrape>();
    pending->serial = ++m_serial;
    m_continuation = pending;
    m_webView->load(address);
    // The time-out belongs to this scrape alone: it cannot end a later one.
    pending->timer = new QTimer(this);
    pending->timer->setSingleShot(true);
    std::weak_ptr<PendingScrape> weak = pending;
    connect(pending->timer, &QTimer::timeout, this, [this, weak] { timeoutExpired(weak.lock()); });
    pending->timer->start(m_durations.timeout);

    // Nothing of this service is touched after the wait: it may be gone by then.
    co_return co_await Completion(pending);
}

std::optional<WebKitScrapedData> WebKitScraperService::Completion::await_resume() const {
    if (m_pending->error)
        std::rethrow_exception(m_pending->error);
    return m_pending->result;
}

void WebKitScraperService::complete(std::shared_ptr<PendingScrape> pending,
                                    std::optional<WebKitScrapedData> result, std::exception_ptr error) {
    if (!pending || pending->completed)
        return;
    pending->completed = true;
    pending->result = std::move(result);
    pending->error = std::move(error);
    if (m_continuation == pending)
        m_continuation.reset();
    if (pending->timer) {
        pending->timer->stop();
        pending->timer->deleteLater();
        pending->timer = nullptr;
    }
    if (std::coroutine_handle<> waiting = pending->waiting) {
        // Resumed from the event loop, so the caller never runs inside our own
        // signal handlers (and may delete this service when it gets its data).
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiting] { waiting.resume(); }, Qt::QueuedConnection);
    }
}

void WebKitScraperService::timeoutExpired(const std::shared_ptr<PendingScrape>& pending) {
    if (!pending || pending->completed || m_continuation != pending)
        return;
    Console::print(QStringLiteral("⏰ WebKit scraping timeout"));
    complete(pending, std::nullopt);
    // The page may be stuck in its own script, where neither a new load nor an
    // evaluation would ever be served: the next scrape gets a fresh page.
    discardWebView();
}

void WebKitScraperService::loadingChanged(const QWebEngineLoadingInfo& info) {
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        m_committed = false;
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        pageFinished();
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // An HTTP error status with a page is still a page that finished loading.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
            pageFinished();
            return;
        }
        // A navigation replaced by another (the next load, the page's own
        // redirect) is no failure of the page; the time-out still guards.
        if (info.errorCode() == kAbortedNavigation)
            return;
        // Failed before any of the page arrived (refused connection, unknown
        // name, TLS failure, no network; the engine shows its own error page):
        // the page will never come, so the scrape fails now rather than pass
        // for a time-out. Once a page of this scrape has loaded and is being
        // read, a later navigation of that page's own that fails is not ours.
        if (info.isErrorPage() && m_continuation && m_continuation->pageLoaded)
            return;
        navigationFailed(info);
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        // Stopped after the document arrived (the page stopped its own load):
        // a failure. Stopped before that (a refused address, a download): the
        // page stays as it was.
        if (m_committed)
            navigationFailed(info);
        return;
    }
}

void WebKitScraperService::pageFinished() {
    if (m_continuation)
        m_continuation->pageLoaded = true;
    Console::print(QStringLiteral("✅ WebKit page loaded"));
    // Each finished navigation gets its own extraction, started from the event loop.
    const quint64 serial = m_serial;
    QPointer<ScraperPage> page = m_webView;
    QTimer::singleShot(0, this, [this, serial, page] { extractPageData(serial, page); });
}

void WebKitScraperService::navigationFailed(const QWebEngineLoadingInfo& info) {
    const WebKitNavigationError error(info.errorString(), info.errorDomain(), info.errorCode());
    Console::print(QStringLiteral("❌ WebKit load failed: ") + error.description());
    std::weak_ptr<PendingScrape> weak = m_continuation;
    QTimer::singleShot(0, this, [this, weak, error] {
        complete(weak.lock(), std::nullopt, std::make_exception_ptr(error));
    });
}

bool WebKitScraperService::isCurrent(quint64 serial, const QPointer<ScraperPage>& page) const {
    return page && page == m_webView && serial == m_serial;
}

QCoro::Task<> WebKitScraperService::extractPageData(quint64 serial, QPointer<ScraperPage> page) {
    // After every suspension the extraction goes on only while its service and
    // page are there and no later scrape has started: its lines must not mingle
    // with another scrape's, and its data belong to its own scrape alone.
    QPointer<WebKitScraperService> self(this);
    const auto current = [&] { return self && isCurrent(serial, page); };
    using World = PageEvaluation::World;

    if (!page) {
        if (m_continuation && m_continuation->serial == serial)
            complete(m_continuation, std::nullopt);
        co_return;
    }

    Console::print(QStringLiteral("⏳ Waiting for page to fully load..."));
    co_await QCoro::sleepFor(m_durations.pageWait);
    if (!current())
        co_return;
    WebKitScrapedData data;

    // The page's own scripts cannot reach the isolated world, so they cannot
    // disturb these evaluations; only the description script, which reads the
    // page's own initial state, runs in the page's world.
    const PageEvaluation::Outcome title =
        co_await PageEvaluation(page, QStringLiteral("document.title"), World::Isolated);
    if (!current())
        co_return;
    if (title.ok) {
        Console::print(QStringLiteral("📄 Page title: ") + textOrEmpty(title.value));
        const PageEvaluation::Outcome href =
            co_await PageEvaluation(page, QStringLiteral("window.location.href"), World::Isolated);
        if (!current())
            co_return;
        if (href.ok)
            Console::print(QStringLiteral("🔗 Current URL: ") + textOrEmpty(href.value));
        else
            Console::print(QStringLiteral("❌ Error getting page info: ") + href.error);
    } else {
        Console::print(QStringLiteral("❌ Error getting page info: ") + title.error);
    }

    const PageEvaluation::Outcome html =
        co_await PageEvaluation(page, QStringLiteral("document.documentElement.outerHTML"), World::Isolated);
    if (!current())
        co_return;
    if (!html.ok) {
        Console::print(QStringLiteral("❌ Error saving HTML: ") + html.error);
    } else if (isText(html.value)) {
        const QString text = html.value.toString();
        const QString failure = AtomicTextFile::write(debugFilePath, text);
        if (failure.isEmpty())
            Console::print(QStringLiteral("💾 Saved HTML to: ") + debugFilePath);
        else
            Console::print(QStringLiteral("⚠️ Could not save HTML to: ") + debugFilePath +
                           QStringLiteral(" (") + failure + QStringLiteral(")"));
        Console::print(QStringLiteral("📊 HTML length: %1 chars").arg(UserCharacters::count(text)));
        if (text.contains(QLatin1String("In-App Purchases")) ||
            text.contains(QStringLiteral("In\u2011App Purchases")))
            Console::print(QStringLiteral("✅ HTML contains 'In-App Purchases' text"));
        else
            Console::print(QStringLiteral("❌ HTML does NOT contain 'In-App Purchases' text"));
        const QString domain = BuiltInConfiguration::imageHostDomain();
        Console::print(QStringLiteral("📸 Found %1 occurrences of '%2' in HTML")
                           .arg(occurrences(text, domain))
                           .arg(domain));
    }

    const PageEvaluation::Outcome screenshots =
        co_await PageEvaluation(page, screenshotScript(), World::Isolated);
    if (!current())
        co_return;
    data.screenshotURLs = takeScreenshots(screenshots);

    const PageEvaluation::Outcome purchases =
        co_await PageEvaluation(page, purchaseScript(), World::Isolated);
    if (!current())
        co_return;
    PurchaseFindings findings = takePurchases(purchases);
    data.hasInAppPurchases = findings.hasInAppPurchases;
    data.inAppPurchaseInfo = std::move(findings.info);
    data.inAppPurchaseItems = std::move(findings.items);

    const PageEvaluation::Outcome description =
        co_await PageEvaluation(page, descriptionScript(), World::Page);
    if (!current())
        co_return;
    data.description = takeDescription(description);

    if (m_continuation && m_continuation->serial == serial)
        complete(m_continuation, std::move(data));
}

QStringList WebKitScraperService::takeScreenshots(const PageEvaluation::Outcome& outcome) {
    if (!outcome.ok) {
        Console::print(QStringLiteral("❌ Error extracting screenshots: ") + outcome.error);
        return {};
    }
    const bool isList = outcome.value.typeId() == QMetaType::QVariantList;
    const QVariantList list = outcome.value.toList();
    if (!isList || !std::all_of(list.cbegin(), list.cend(), isText)) {
        Console::print(QStringLiteral("⚠️ Screenshots JavaScript returned nil or wrong type"));
        return {};
    }
    QStringList addresses;
    for (const QVariant& address : list)
        addresses.append(address.toString());
    Console::print(QStringLiteral("📸 WebKit found %1 screenshots").arg(addresses.size()));
    if (addresses.isEmpty())
        Console::print(QStringLiteral("⚠️ WARNING: No screenshots found after filtering!"));
    for (qsizetype index = 0; index < addresses.size(); ++index)
        Console::print(QStringLiteral("  [%1] %2").arg(index + 1).arg(addresses[index]));
    return addresses;
}

WebKitScraperService::PurchaseFindings
WebKitScraperService::takePurchases(const PageEvaluation::Outcome& outcome) {
    PurchaseFindings findings;
    if (!outcome.ok) {
        Console::print(QStringLiteral("❌ Error extracting IAP: ") + outcome.error);
        return findings;
    }
    if (outcome.value.typeId() != QMetaType::QVariantMap)
        return findings;
    const QVariantMap result = outcome.value.toMap();
    const QVariant verdict = result.value(QStringLiteral("hasIAP"));
    findings.hasInAppPurchases = verdict.typeId() == QMetaType::Bool && verdict.toBool();
    const QVariant info = result.value(QStringLiteral("info"));
    if (isText(info))
        findings.info = info.toString();
    const QVariant items = result.value(QStringLiteral("items"));
    const QVariantList list = items.toList();
    const bool isListOfObjects = items.typeId() == QMetaType::QVariantList &&
                                 std::all_of(list.cbegin(), list.cend(), [](const QVariant& item) {
                                     return item.typeId() == QMetaType::QVariantMap;
                                 });
    if (isListOfObjects) {
        for (const QVariant& item : list) {
            const QVariantMap object = item.toMap();
            const QVariant name = object.value(QStringLiteral("name"));
            const QVariant price = object.value(QStringLiteral("price"));
            if (isText(name) && isText(price))
                findings.items.append(InAppPurchaseItem(name.toString(), price.toString()));
        }
    }
    Console::print(QStringLiteral("💰 IAP: %1, Items: %2")
                       .arg(findings.hasInAppPurchases ? QStringLiteral("true") : QStringLiteral("false"))
                       .arg(findings.items.size()));
    return findings;
}

std::optional<QString> WebKitScraperService::takeDescription(const PageEvaluation::Outcome& outcome) {
    if (!outcome.ok) {
        Console::print(QStringLiteral("❌ Error extracting description: ") + outcome.error);
        return std::nullopt;
    }
    if (!isText(outcome.value))
        return std::nullopt;
    const QString description = outcome.value.toString();
    Console::print(QStringLiteral("📝 Description: ") + UserCharacters::leading(description, 50) +
                   QStringLiteral("..."));
    return description;
}
