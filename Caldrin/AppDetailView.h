#pragma once

#include "AddToFavoritesSheet.h"
#include "IAPItem.h"
#include "ManualDetailsFetch.h"
#include "ScreenshotViewerSheet.h"

#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <QSharedPointer>
#include <QStringList>
#include <QUrl>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <optional>

class AppIconView;
class AppModel;
class BusyIndicator;
class FavoriteAppleIDs;
class FavoritesService;
class ImageLoader;
class InfoItem;
class ModelContext;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class ScreenshotThumbnail;
class SymbolLabel;

// Everything stored about one app, in the detail column: header with the
// actions, information with purchases, the notice offering to load extended
// details, description, screenshots and additional information. The view is
// redrawn whenever the record reports a change, before any save.
//
// The window makes a new view for every app it shows, so all view state starts
// afresh. A fetch started here goes on after the view is gone and updates the
// record it holds; the view never fetches by itself.
class AppDetailView : public QScrollArea {
    Q_OBJECT
public:
    // Opens an address in the default browser; returns whether it could.
    using UrlOpener = std::function<bool(const QUrl&)>;

    struct Options {
        UrlOpener openUrl;                 // empty: the desktop's default browser
        ManualDetailsFetch::Timing timing; // the fetch's waits and limits
        ImageLoader* loader = nullptr;     // null: the shared loader
    };

    static constexpr int margin = 24;
    static constexpr int sectionSpacing = 20;
    static constexpr int iconSide = 120;
    // A longer description is shown cut short (copying takes all of it): five
    // times the store's own limit. Names and the other texts are cut to
    // UserCharacters::displayLimit.
    static constexpr qsizetype descriptionDisplayLimit = 20000;
    // A store lists at most ten screenshots per device and a page a few dozen
    // purchases; a hostile list of thousands gets no more rows than these.
    // The headings still count them all, and the viewer shows every screenshot.
    static constexpr qsizetype thumbnailLimit = 50;
    static constexpr qsizetype purchaseRowLimit = 100;

    AppDetailView(QSharedPointer<AppModel> app, ModelContext& modelContext, QWidget* parent = nullptr);
    AppDetailView(QSharedPointer<AppModel> app, ModelContext& modelContext, Options options,
                  QWidget* parent = nullptr);
    ~AppDetailView() override;

    const QSharedPointer<AppModel>& app() const { return m_app; }
    bool isLoadingDetails() const { return m_isLoadingDetails; }
    // Created the first time the view comes on screen.
    FavoritesService* favoritesService() const { return m_favoritesService.get(); }
    // Whether the favorite button shows the filled star.
    bool showsFavorite() const { return m_showsFavorite; }

    // Fetch the app's details into its record, or clear them and fetch again.
    // The task runs to its end whether or not this view still exists.
    QCoro::Task<> fetchDetails();
    QCoro::Task<> refetchDetails();

    // Opens the translation site with the text to translate into the language.
    void openInTranslator(const QString& text, const QString& targetLanguage);
    // The translation site's address for a text, if it is a valid one. Every
    // character except letters, digits and "-._~!$'()*,;:@/?" is
    // percent-encoded as UTF-8, so the text arrives whole: "&", "=", "+" and "#"
    // would otherwise end it, start parameters or turn into spaces.
    static std::optional<QUrl> translationAddress(const QString& text, const QString& targetLanguage);
    // The text as an address to open in a browser: only valid http and https
    // addresses, so that a feed's "javascript:" or "file:" address is never opened.
    static std::optional<QUrl> browserAddress(const QString& text);

    QPushButton* openInAppStoreButton() const { return m_openInAppStore; }
    QPushButton* developerPageButton() const { return m_developerPage; }
    QPushButton* copyLinkButton() const { return m_copyLink; }
    QPushButton* favoriteButton() const { return m_favorite; }
    QPushButton* reloadButton() const { return m_reload; }
    QPushButton* loadDetailsButton() const { return m_loadDetails; }
    QToolButton* copyDescriptionButton() const { return m_copyDescription; }
    QToolButton* translateButton() const { return m_translate; }
    QList<ScreenshotThumbnail*> thumbnails() const { return m_thumbnails; }
    // The sheets while they are shown.
    AddToFavoritesSheet* addToFavoritesSheet() const { return m_addSheet; }
    ScreenshotViewerSheet* screenshotViewer() const { return m_screenshotSheet; }

signals:
    void loadingDetailsChanged(bool loading);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader(QWidget* content);
    QWidget* buildInformation(QWidget* content);
    QWidget* buildNotice(QWidget* content);
    QWidget* buildDescription(QWidget* content);
    QWidget* buildScreenshots(QWidget* content);
    QWidget* buildAdditionalInformation(QWidget* content);
    QLabel* heading(const QString& text, QWidget* parent) const;

    void refresh();
    void refreshHeader();
    void refreshInformation();
    void refreshPurchaseItems(const QList<IAPItem>& items);
    void refreshScreenshots();
    void refreshFavorite();
    void setLoadingDetails(bool loading);
    void setupFavoritesService();
    std::shared_ptr<ManualDetailsFetch> newFetch();

    void openAddress(const QString& text);
    void copyToClipboard(const QString& text);
    void showAddToFavorites();
    void showScreenshot(const QString& address);

    QSharedPointer<AppModel> m_app;
    ModelContext& m_modelContext;
    Options m_options;
    bool m_isLoadingDetails = false;
    std::unique_ptr<FavoritesService> m_favoritesService;
    FavoriteAppleIDs* m_favorites = nullptr;
    bool m_showsFavorite = false;
    QPointer<AddToFavoritesSheet> m_addSheet;
    QPointer<ScreenshotViewerSheet> m_screenshotSheet;

    // Header.
    AppIconView* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_developer = nullptr;
    SymbolLabel* m_category = nullptr;
    SymbolLabel* m_price = nullptr;
    SymbolLabel* m_purchasesMark = nullptr;
    QWidget* m_ratingRow = nullptr;
    QList<QLabel*> m_stars;
    int m_filledStars = -1;
    QLabel* m_ratingValue = nullptr;
    QLabel* m_ratingCount = nullptr;
    QPushButton* m_openInAppStore = nullptr;
    QPushButton* m_developerPage = nullptr;
    QPushButton* m_copyLink = nullptr;
    QPushButton* m_favorite = nullptr;
    QPushButton* m_reload = nullptr;
    // Information.
    InfoItem* m_version = nullptr;
    InfoItem* m_size = nullptr;
    InfoItem* m_ageRating = nullptr;
    InfoItem* m_released = nullptr;
    SymbolLabel* m_purchaseInfo = nullptr;
    QWidget* m_purchaseList = nullptr;
    QLabel* m_purchaseHeading = nullptr;
    QVBoxLayout* m_purchaseRows = nullptr;
    std::optional<QList<IAPItem>> m_shownPurchaseItems;
    // Notice.
    QWidget* m_notice = nullptr;
    QWidget* m_noticeDivider = nullptr;
    QPushButton* m_loadDetails = nullptr;
    BusyIndicator* m_noticeBusy = nullptr;
    // Description.
    QWidget* m_description = nullptr;
    QWidget* m_descriptionDivider = nullptr;
    QLabel* m_descriptionText = nullptr;
    QString m_shownDescription;
    QToolButton* m_copyDescription = nullptr;
    QToolButton* m_translate = nullptr;
    // Screenshots.
    QWidget* m_screenshots = nullptr;
    QWidget* m_screenshotsDivider = nullptr;
    QLabel* m_screenshotsHeading = nullptr;
    QScrollArea* m_screenshotStrip = nullptr;
    QHBoxLayout* m_thumbnailRow = nullptr;
    QList<ScreenshotThumbnail*> m_thumbnails;
    std::optional<QStringList> m_shownScreenshots;
    // Additional information.
    QLabel* m_appleID = nullptr;
    QLabel* m_bundleID = nullptr;
    QLabel* m_categoryID = nullptr;
    QLabel* m_fetchedAt = nullptr;
};
