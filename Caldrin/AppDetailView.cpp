#include "AppDetailView.h"

#include "AddToFavoritesSheet.h"
#include "AppIconView.h"
#include "AppModel.h"
#include "BuiltInConfiguration.h"
#include "BusyIndicator.h"
#include "ButtonStyles.h"
#include "Divider.h"
#include "ElidedLabel.h"
#include "FavoriteAppleIDs.h"
#include "FavoritesService.h"
#include "FlowLayout.h"
#include "HttpFetcher.h"
#include "InfoItem.h"
#include "LabelStyles.h"
#include "ModelContext.h"
#include "ScreenshotThumbnail.h"
#include "ScreenshotViewerSheet.h"
#include "SymbolLabel.h"
#include "SymbolTable.h"
#include "SystemColors.h"
#include "TextStyles.h"
#include "UserCharacters.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using Style = TextStyles::Style;

namespace {

constexpr int defaultPadding = 16;
constexpr int actionIconSize = 16;

// The characters a query component may carry as they are (RFC 3986), less the
// ones that end or split a query value: "&", "=", "+" and "#".
const QByteArray kQueryValueSafe = QByteArrayLiteral("!$'()*,;:@/?");

QString orNotAvailable(const std::optional<QString>& value) {
    return value.value_or(QStringLiteral("N/A"));
}

QVBoxLayout* column(QWidget* widget, int spacing) {
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// A frame filled with a colour, with rounded corners.
QFrame* card(const QString& name, const QColor& fill, int radius, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setStyleSheet(QStringLiteral("QFrame#%1 { background-color: %2; border-radius: %3px; }")
                             .arg(name, SystemColors::css(fill))
                             .arg(radius));
    return frame;
}

} // namespace

AppDetailView::AppDetailView(QSharedPointer<AppModel> app, ModelContext& modelContext, QWidget* parent)
    : AppDetailView(std::move(app), modelContext, Options(), parent) {}

AppDetailView::AppDetailView(QSharedPointer<AppModel> app, ModelContext& modelContext, Options options,
                             QWidget* parent)
    : QScrollArea(parent)
    , m_app(std::move(app))
    , m_modelContext(modelContext)
    , m_options(std::move(options)) {
    if (!m_options.openUrl)
        m_options.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (!m_options.loader)
        m_options.loader = ImageLoader::shared();

    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("detailContent"));
    content->setBackgroundRole(QPalette::Window);
    content->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(sectionSpacing);

    auto divider = [content] { return new Divider(Qt::Horizontal, content); };
    layout->addWidget(buildHeader(content));
    layout->addWidget(divider());
    layout->addWidget(buildInformation(content));
    layout->addWidget(m_noticeDivider = divider());
    layout->addWidget(buildNotice(content));
    layout->addWidget(m_descriptionDivider = divider());
    layout->addWidget(buildDescription(content));
    layout->addWidget(m_screenshotsDivider = divider());
    layout->addWidget(buildScreenshots(content));
    layout->addWidget(divider());
    layout->addWidget(buildAdditionalInformation(content));
    layout->addStretch();
    setWidget(content);

    connect(m_app.data(), &AppModel::changed, this, &AppDetailView::refresh);
    refresh();
}

AppDetailView::~AppDetailView() = default;

QLabel* AppDetailView::heading(const QString& text, QWidget* parent) const {
    return LabelStyles::make(text, TextStyles::font(Style::Headline), parent);
}

// --- Building -------------------------------------------------------------------

QWidget* AppDetailView::buildHeader(QWidget* content) {
    const QPalette& colors = palette();
    auto* header = new QWidget(content);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);

    m_icon = new AppIconView(iconSide, 24, header, m_options.loader);
    m_icon->setObjectName(QStringLiteral("appIcon"));
    auto* shadow = new QGraphicsDropShadowEffect(m_icon);
    shadow->setBlurRadius(8);
    shadow->setOffset(0, 1);
    shadow->setColor(QColor(0, 0, 0, 70));
    m_icon->setGraphicsEffect(shadow);
    row->addWidget(m_icon, 0, Qt::AlignTop);

    auto* texts = new QWidget(header);
    auto* textColumn = column(texts, 8);
    m_name = LabelStyles::make(QString(), TextStyles::font(Style::Title, QFont::Bold), texts);
    m_name->setObjectName(QStringLiteral("appName"));
    m_name->setWordWrap(true);
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_developer =
        LabelStyles::make(QString(), TextStyles::font(Style::Title3), SystemColors::secondary(colors), texts);
    m_developer->setObjectName(QStringLiteral("developerName"));
    m_developer->setWordWrap(true);
    textColumn->addWidget(m_name);
    textColumn->addWidget(m_developer);

    // Category, price and the purchases mark.
    const QFont subheadline = TextStyles::font(Style::Subheadline);
    auto* marksRow = new QWidget(texts);
    auto* marks = new FlowLayout(marksRow, 12, 4);
    m_category = new SymbolLabel(QStringLiteral("folder.fill"), QString(), marksRow);
    m_price = new SymbolLabel(QStringLiteral("dollarsign.circle.fill"), QString(), marksRow);
    m_purchasesMark = new SymbolLabel(QStringLiteral("creditcard.fill"), QStringLiteral("IAP"), marksRow);
    m_purchasesMark->setTextColor(SystemColors::purple());
    for (SymbolLabel* mark : {m_category, m_price, m_purchasesMark}) {
        mark->setTextFont(subheadline);
        marks->addWidget(mark);
    }
    textColumn->addWidget(marksRow);

    // Stars, rating and count.
    m_ratingRow = new QWidget(texts);
    auto* rating = new QHBoxLayout(m_ratingRow);
    rating->setContentsMargins(0, 0, 0, 0);
    rating->setSpacing(4);
    for (int i = 0; i < 5; ++i) {
        auto* star = new QLabel(m_ratingRow);
        star->setObjectName(QStringLiteral("star%1").arg(i));
        m_stars.append(star);
        rating->addWidget(star);
    }
    m_ratingValue =
        LabelStyles::make(QString(), TextStyles::font(Style::Subheadline, QFont::DemiBold), m_ratingRow);
    m_ratingValue->setObjectName(QStringLiteral("ratingValue"));
    m_ratingCount = LabelStyles::make(QString(), subheadline, SystemColors::secondary(colors), m_ratingRow);
    m_ratingCount->setObjectName(QStringLiteral("ratingCount"));
    rating->addWidget(m_ratingValue);
    rating->addWidget(m_ratingCount);
    rating->addStretch();
    textColumn->addWidget(m_ratingRow);

    // The actions.
    m_openInAppStore = new QPushButton(QStringLiteral("Open in App Store"), texts);
    ButtonStyles::makeProminent(m_openInAppStore);
    m_developerPage = new QPushButton(QStringLiteral("Developer Page"), texts);
    ButtonStyles::makeBordered(m_developerPage);
    m_developerPage->setToolTip(QStringLiteral("View all apps by this developer"));
    m_copyLink = new QPushButton(QStringLiteral("Copy Link"), texts);
    ButtonStyles::makeBordered(m_copyLink);
    m_favorite = new QPushButton(texts);
    m_favorite->setObjectName(QStringLiteral("favoriteButton"));
    ButtonStyles::makeBordered(m_favorite);
    m_favorite->setToolTip(QStringLiteral("Add to Favorites"));
    m_favorite->setIconSize(QSize(actionIconSize, actionIconSize));
    m_reload = new QPushButton(texts);
    m_reload->setObjectName(QStringLiteral("reloadButton"));
    ButtonStyles::makeBordered(m_reload);
    m_reload->setToolTip(QStringLiteral("Reload app details"));
    m_reload->setIcon(SymbolTable::tintedIcon(QStringLiteral("arrow.clockwise"),
                                              colors.color(QPalette::ButtonText), actionIconSize));
    m_reload->setIconSize(QSize(actionIconSize, actionIconSize));
    // One height for the row, whatever each style makes of its button; the row
    // wraps in a narrow column.
    auto* actions = new QWidget(texts);
    auto* flow = new FlowLayout(actions, 12, 8);
    const int buttonHeight = m_openInAppStore->sizeHint().height();
    for (QPushButton* button : {m_openInAppStore, m_developerPage, m_copyLink, m_favorite, m_reload}) {
        button->setFixedHeight(buttonHeight);
        flow->addWidget(button);
    }
    m_favorite->setFixedWidth(buttonHeight + 8);
    m_reload->setFixedWidth(buttonHeight + 8);
    textColumn->addSpacing(8);
    textColumn->addWidget(actions);
    row->addWidget(texts, 1, Qt::AlignTop);

    connect(m_openInAppStore, &QPushButton::clicked, this, [this] { openAddress(m_app->appStoreURL()); });
    connect(m_developerPage, &QPushButton::clicked, this, [this] {
        if (m_app->developerURL())
            openAddress(*m_app->developerURL());
    });
    connect(m_copyLink, &QPushButton::clicked, this, [this] { copyToClipboard(m_app->appStoreURL()); });
    connect(m_favorite, &QPushButton::clicked, this, &AppDetailView::showAddToFavorites);
    connect(m_reload, &QPushButton::clicked, this, [this] {
        // A new task, started from the event loop rather than inside the click.
        QTimer::singleShot(0, this, [this] { refetchDetails(); });
    });
    return header;
}

QWidget* AppDetailView::buildInformation(QWidget* content) {
    auto* section = new QWidget(content);
    auto* layout = column(section, 8);
    layout->addWidget(heading(QStringLiteral("Information"), section));

    auto* items = new QHBoxLayout;
    items->setSpacing(16);
    m_version = new InfoItem(QStringLiteral("Version"), QString(), section);
    m_size = new InfoItem(QStringLiteral("Size"), QString(), section);
    m_ageRating = new InfoItem(QStringLiteral("Age Rating"), QString(), section);
    m_released = new InfoItem(QStringLiteral("Released"), QString(), section);
    for (InfoItem* item : {m_version, m_size, m_ageRating, m_released})
        items->addWidget(item, 1);
    layout->addLayout(items);

    m_purchaseInfo = new SymbolLabel(QStringLiteral("creditcard.fill"), QString(), section);
    m_purchaseInfo->setObjectName(QStringLiteral("purchaseInfo"));
    m_purchaseInfo->setTextFont(TextStyles::font(Style::Subheadline));
    m_purchaseInfo->setSymbolColor(SystemColors::purple());
    m_purchaseInfo->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(m_purchaseInfo);

    m_purchaseList = new QWidget(section);
    m_purchaseList->setObjectName(QStringLiteral("purchaseList"));
    m_purchaseRows = column(m_purchaseList, 8);
    m_purchaseRows->setContentsMargins(0, 8, 0, 0);
    m_purchaseHeading = LabelStyles::make(QString(), TextStyles::font(Style::Subheadline, QFont::DemiBold),
                                          SystemColors::purple(), m_purchaseList);
    m_purchaseRows->addWidget(m_purchaseHeading);
    layout->addWidget(m_purchaseList);
    return section;
}

QWidget* AppDetailView::buildNotice(QWidget* content) {
    m_notice = card(QStringLiteral("detailsNotice"), SystemColors::controlBackground(palette()), 8, content);
    auto* row = new QHBoxLayout(m_notice);
    row->setContentsMargins(defaultPadding, 12, defaultPadding, 12);
    row->setSpacing(8);
    const QFont subheadline = TextStyles::font(Style::Subheadline);
    row->addWidget(SymbolLabel::image(QStringLiteral("info.circle"), SymbolLabel::symbolSide(subheadline) + 2,
                                      SystemColors::orange(), m_notice));
    row->addWidget(LabelStyles::make(QStringLiteral("Extended details not loaded yet"), subheadline,
                                     SystemColors::secondary(palette()), m_notice),
                   1);
    m_noticeBusy = new BusyIndicator(18, m_notice);
    m_noticeBusy->setObjectName(QStringLiteral("loadingDetails"));
    m_noticeBusy->hide();
    row->addWidget(m_noticeBusy);
    m_loadDetails = new QPushButton(QStringLiteral("Load Details"), m_notice);
    ButtonStyles::makeProminent(m_loadDetails);
    m_loadDetails->setFont(subheadline);
    row->addWidget(m_loadDetails);
    connect(m_loadDetails, &QPushButton::clicked, this,
            [this] { QTimer::singleShot(0, this, [this] { fetchDetails(); }); });
    return m_notice;
}

QWidget* AppDetailView::buildDescription(QWidget* content) {
    m_description = new QWidget(content);
    auto* layout = column(m_description, 8);
    auto* header = new QHBoxLayout;
    header->addWidget(heading(QStringLiteral("Description"), m_description));
    header->addStretch();
    const QColor tint = palette().color(QPalette::ButtonText);
    m_copyDescription = new QToolButton(m_description);
    m_copyDescription->setObjectName(QStringLiteral("copyDescription"));
    ButtonStyles::makeBorderless(m_copyDescription, QStringLiteral("doc.on.doc"), tint, actionIconSize);
    m_copyDescription->setToolTip(QStringLiteral("Copy description"));
    m_translate = new QToolButton(m_description);
    m_translate->setObjectName(QStringLiteral("translateDescription"));
    ButtonStyles::makeBorderless(m_translate, QStringLiteral("translate"), tint, actionIconSize);
    m_translate->setToolTip(QStringLiteral("Open in Google Translate"));
    header->addWidget(m_copyDescription);
    header->addWidget(m_translate);
    layout->addLayout(header);
    m_descriptionText = LabelStyles::selectable(QString(), TextStyles::font(Style::Body), m_description);
    m_descriptionText->setObjectName(QStringLiteral("descriptionText"));
    layout->addWidget(m_descriptionText);

    connect(m_copyDescription, &QToolButton::clicked, this,
            [this] { copyToClipboard(m_app->appDescription().value_or(QString())); });
    connect(m_translate, &QToolButton::clicked, this,
            [this] { openInTranslator(m_app->appDescription().value_or(QString()), QStringLiteral("ru")); });
    return m_description;
}

QWidget* AppDetailView::buildScreenshots(QWidget* content) {
    m_screenshots = new QWidget(content);
    auto* layout = column(m_screenshots, 12);
    m_screenshotsHeading = heading(QString(), m_screenshots);
    layout->addWidget(m_screenshotsHeading);

    m_screenshotStrip = new QScrollArea(m_screenshots);
    m_screenshotStrip->setObjectName(QStringLiteral("screenshotStrip"));
    m_screenshotStrip->setFrameShape(QFrame::NoFrame);
    m_screenshotStrip->setWidgetResizable(true);
    m_screenshotStrip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_screenshotStrip->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* strip = new QWidget(m_screenshotStrip);
    strip->setBackgroundRole(QPalette::Window);
    m_thumbnailRow = new QHBoxLayout(strip);
    m_thumbnailRow->setContentsMargins(0, 0, 0, 0);
    m_thumbnailRow->setSpacing(12 - 2 * ScreenshotThumbnail::shadowMargin);
    m_thumbnailRow->addStretch();
    m_screenshotStrip->setWidget(strip);
    // Room for the tallest picture and a scroll bar under it, whether shown or not.
    m_screenshotStrip->setFixedHeight(ScreenshotThumbnail::maximumHeight +
                                      2 * ScreenshotThumbnail::shadowMargin +
                                      m_screenshotStrip->horizontalScrollBar()->sizeHint().height() + 4);
    layout->addWidget(m_screenshotStrip);
    return m_screenshots;
}

QWidget* AppDetailView::buildAdditionalInformation(QWidget* content) {
    auto* section = new QWidget(content);
    auto* layout = column(section, 12);
    layout->addWidget(heading(QStringLiteral("Additional Information"), section));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(12);
    const QColor secondary = SystemColors::secondary(palette());
    auto addCell = [&](const QString& title, int row, int columnIndex) {
        auto* widget = new QWidget(section);
        auto* cellLayout = column(widget, 4);
        cellLayout->addWidget(LabelStyles::make(title, TextStyles::font(Style::Caption), secondary, widget));
        QLabel* value = LabelStyles::selectable(QString(), TextStyles::font(Style::Body), widget);
        cellLayout->addWidget(value);
        grid->addWidget(widget, row, columnIndex, Qt::AlignTop);
        return value;
    };
    m_appleID = addCell(QStringLiteral("Apple ID"), 0, 0);
    m_bundleID = addCell(QStringLiteral("Bundle ID"), 0, 2);
    m_categoryID = addCell(QStringLiteral("Category ID"), 1, 0);
    m_fetchedAt = addCell(QStringLiteral("Fetched At"), 1, 2);
    for (QLabel* value : {m_appleID, m_bundleID, m_categoryID, m_fetchedAt})
        value->setObjectName(QStringLiteral("additionalValue"));
    grid->addWidget(new Divider(Qt::Vertical, section), 0, 1);
    grid->addWidget(new Divider(Qt::Vertical, section), 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);
    return section;
}

// --- Showing the record -------------------------------------------------------------

void AppDetailView::refresh() {
    refreshHeader();
    refreshInformation();

    const bool notice = !m_app->detailsFetched();
    m_notice->setVisible(notice);
    m_noticeDivider->setVisible(notice);

    const std::optional<QString>& description = m_app->appDescription();
    m_description->setVisible(description.has_value());
    m_descriptionDivider->setVisible(description.has_value());
    if (description && m_shownDescription != *description) {
        m_shownDescription = *description;
        m_descriptionText->setText(UserCharacters::shortened(*description, descriptionDisplayLimit));
    }

    refreshScreenshots();

    m_appleID->setText(UserCharacters::shortened(m_app->appleID()));
    m_bundleID->setText(UserCharacters::shortened(m_app->bundleID()));
    m_categoryID->setText(UserCharacters::shortened(m_app->categoryID()));
    m_fetchedAt->setText(QLocale().toString(m_app->fetchedAt().toLocalTime(), QLocale::ShortFormat));
}

void AppDetailView::refreshHeader() {
    const AppModel& app = *m_app;
    m_icon->setAddress(app.iconURL());
    m_name->setText(UserCharacters::shortened(app.name()));
    m_developer->setText(UserCharacters::shortened(app.developerName()));
    m_category->setText(app.category());
    m_price->setText(app.priceLabel());
    m_purchasesMark->setVisible(app.hasInAppPurchases().value_or(false));

    const bool rated = app.rating() && app.ratingCount();
    m_ratingRow->setVisible(rated);
    if (rated) {
        // Halves away from zero, as std::round does.
        const double rounded = std::round(*app.rating());
        const int filled = std::isfinite(rounded) ? int(std::clamp(rounded, -1.0, 6.0)) : 0;
        if (filled != m_filledStars) {
            m_filledStars = filled;
            const int side = SymbolLabel::symbolSide(m_ratingValue->font());
            for (int i = 0; i < m_stars.size(); ++i) {
                const QString symbol = i < filled ? QStringLiteral("star.fill") : QStringLiteral("star");
                m_stars[i]->setPixmap(
                    SymbolTable::pixmap(symbol, side, SystemColors::yellow(), devicePixelRatioF()));
                m_stars[i]->setProperty("symbol", symbol);
            }
        }
        m_ratingValue->setText(QString::asprintf("%.1f", *app.rating()));
        m_ratingCount->setText(QStringLiteral("(") + QLocale().toString(*app.ratingCount()) +
                               QStringLiteral(")"));
    }
}

void AppDetailView::refreshInformation() {
    const AppModel& app = *m_app;
    m_version->setValue(orNotAvailable(app.appVersion()));
    m_size->setValue(orNotAvailable(app.appSize()));
    m_ageRating->setValue(orNotAvailable(app.ageRating()));
    m_released->setValue(app.releaseDateString());

    m_purchaseInfo->setVisible(app.inAppPurchaseInfo().has_value());
    if (app.inAppPurchaseInfo())
        m_purchaseInfo->setText(*app.inAppPurchaseInfo());

    const std::optional<QList<IAPItem>>& items = app.inAppPurchaseItems();
    const bool listed = items && !items->isEmpty();
    m_purchaseList->setVisible(listed);
    if (listed)
        refreshPurchaseItems(*items);
}

void AppDetailView::refreshPurchaseItems(const QList<IAPItem>& items) {
    if (m_shownPurchaseItems == items)
        return;
    m_shownPurchaseItems = items;
    while (m_purchaseRows->count() > 1) {
        QLayoutItem* item = m_purchaseRows->takeAt(1);
        delete item->widget();
        delete item;
    }
    m_purchaseHeading->setText(QStringLiteral("In-App Purchases (%1)").arg(items.size()));
    QColor fill = SystemColors::controlBackground(palette());
    fill.setAlphaF(fill.alphaF() * 0.5);
    const QFont caption = TextStyles::font(Style::Caption);
    const QColor secondary = SystemColors::secondary(palette());
    for (const IAPItem& item : items.mid(0, purchaseRowLimit)) {
        QFrame* row = card(QStringLiteral("purchaseItem"), fill, 4, m_purchaseList);
        row->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(8, 4, 8, 4);
        layout->setSpacing(6);
        layout->addWidget(LabelStyles::make(QStringLiteral("•"), caption, SystemColors::purple(), row));
        // Shortened rather than wrapped when the column is narrow; whole in its tooltip.
        auto* name = new ElidedLabel(item.name, row);
        name->setFont(caption);
        name->setToolTip(UserCharacters::shortened(item.name));
        layout->addWidget(name, 1);
        layout->addWidget(LabelStyles::make(QStringLiteral("—"), caption, secondary, row));
        layout->addWidget(LabelStyles::make(UserCharacters::shortened(item.price),
                                            TextStyles::font(Style::Caption, QFont::Medium),
                                            SystemColors::purple(), row));
        m_purchaseRows->addWidget(row, 0, Qt::AlignLeft);
        row->show(); // at once, not when the layout gets round to it
    }
}

void AppDetailView::refreshScreenshots() {
    const std::optional<QStringList>& urls = m_app->screenshotURLs();
    const bool shown = urls && !urls->isEmpty();
    m_screenshots->setVisible(shown);
    m_screenshotsDivider->setVisible(shown);
    if (m_shownScreenshots == urls)
        return;
    m_shownScreenshots = urls;
    for (ScreenshotThumbnail* thumbnail : std::as_const(m_thumbnails))
        delete thumbnail;
    m_thumbnails.clear();
    if (!shown)
        return;
    m_screenshotsHeading->setText(QStringLiteral("Screenshots (%1)").arg(urls->size()));
    QWidget* strip = m_screenshotStrip->widget();
    for (const QString& address : urls->mid(0, thumbnailLimit)) {
        auto* thumbnail = new ScreenshotThumbnail(address, strip, m_options.loader);
        connect(thumbnail, &ScreenshotThumbnail::clicked, this, &AppDetailView::showScreenshot);
        m_thumbnailRow->insertWidget(m_thumbnailRow->count() - 1, thumbnail, 0, Qt::AlignTop);
        thumbnail->show();
        m_thumbnails.append(thumbnail);
    }
}

void AppDetailView::refreshFavorite() {
    m_showsFavorite = m_favorites && m_favorites->contains(m_app->appleID());
    m_favorite->setIcon(
        m_showsFavorite
            ? SymbolTable::tintedIcon(QStringLiteral("star.fill"), SystemColors::yellow(), actionIconSize)
            : SymbolTable::tintedIcon(QStringLiteral("star"), SystemColors::secondary(palette()),
                                      actionIconSize));
}

void AppDetailView::setLoadingDetails(bool loading) {
    m_isLoadingDetails = loading;
    m_reload->setEnabled(!loading);
    m_loadDetails->setVisible(!loading);
    m_noticeBusy->setVisible(loading);
    emit loadingDetailsChanged(loading);
}

// --- Favorites ------------------------------------------------------------------------

void AppDetailView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    setupFavoritesService();
}

void AppDetailView::setupFavoritesService() {
    if (m_favoritesService)
        return;
    m_favoritesService = std::make_unique<FavoritesService>(m_modelContext);
    m_favorites = new FavoriteAppleIDs(m_modelContext, this);
    connect(m_favorites, &FavoriteAppleIDs::changed, this, &AppDetailView::refreshFavorite);
    refreshFavorite();
}

void AppDetailView::showAddToFavorites() {
    // The service exists once the view is on screen, before any click can arrive.
    if (!m_favoritesService || m_addSheet)
        return;
    m_addSheet = new AddToFavoritesSheet(m_app, *m_favoritesService, this, m_options.loader);
    m_addSheet->open();
}

// --- Screenshots ------------------------------------------------------------------------

void AppDetailView::showScreenshot(const QString& address) {
    if (m_screenshotSheet)
        return;
    m_screenshotSheet = new ScreenshotViewerSheet(address, m_app->screenshotURLs().value_or(QStringList()),
                                                  this, m_options.loader);
    m_screenshotSheet->open();
}

// --- Fetching ------------------------------------------------------------------------------

std::shared_ptr<ManualDetailsFetch> AppDetailView::newFetch() {
    auto work = std::make_shared<ManualDetailsFetch>(m_app, m_modelContext, m_options.timing);
    // Followed only while this view exists.
    connect(work.get(), &ManualDetailsFetch::loadingChanged, this, &AppDetailView::setLoadingDetails);
    return work;
}

QCoro::Task<> AppDetailView::fetchDetails() {
    return ManualDetailsFetch::fetchDetails(newFetch());
}

QCoro::Task<> AppDetailView::refetchDetails() {
    return ManualDetailsFetch::refetchDetails(newFetch());
}

// --- Links and the clipboard ------------------------------------------------------------------

std::optional<QUrl> AppDetailView::browserAddress(const QString& text) {
    return HttpFetcher::webAddress(text);
}

void AppDetailView::openAddress(const QString& text) {
    if (const std::optional<QUrl> address = browserAddress(text))
        m_options.openUrl(*address);
}

void AppDetailView::copyToClipboard(const QString& text) {
    // Replaces whatever the clipboard held with the plain text alone.
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

std::optional<QUrl> AppDetailView::translationAddress(const QString& text, const QString& targetLanguage) {
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(text, kQueryValueSafe));
    return browserAddress(BuiltInConfiguration::translationOrigin() + QStringLiteral("/?sl=auto&tl=") +
                          targetLanguage + QStringLiteral("&text=") + encoded +
                          QStringLiteral("&op=translate"));
}

void AppDetailView::openInTranslator(const QString& text, const QString& targetLanguage) {
    if (const std::optional<QUrl> address = translationAddress(text, targetLanguage))
        m_options.openUrl(*address);
}
