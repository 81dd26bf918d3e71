#pragma once

#include "AppCollectorService.h"
#include "AppDetailView.h"
#include "ContentTab.h"
#include "FavoritesView.h"

#include <QPointer>
#include <QSharedPointer>
#include <QWidget>

#include <memory>
#include <optional>

class AppIndex;
class AppListModel;
class AppModel;
class CategoryListModel;
class CollectorBox;
class EmptyStateView;
class LoadMoreRowModel;
class ModelContext;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QSplitter;
class QStackedWidget;
class SegmentedPicker;

// The application's window content. A toolbar with the "View" picker chooses
// between two tabs. "General" is a three-column split: the sidebar with the
// collector box and the categories with their unviewed counts; the searchable
// list of collected apps, newest release first, fifty more at a time; and the
// detail view of the selected app. "Favorites" is the favorites browser.
//
// The window creates and starts the collector the first time the General tab
// is on screen and owns it from then on. Selecting an app marks it viewed.
//
// The list, its counts and the categories come from an index of every app
// record, kept current by the store's change signals, so the window follows
// every save of the collector and the details queue and stays quick on a
// store of a million apps: only the displayed rows are ever materialised.
//
// The window's size and split positions are kept in the user's settings.
class ContentView : public QWidget {
    Q_OBJECT
public:
    // What tests replace: the collector's waits, and what the detail views and
    // the favorites browser are made with.
    struct Options {
        std::optional<AppCollectorService::Timing> collectorTiming; // absent: the real waits
        AppDetailView::Options detail;
        FavoritesView::Options favorites;
    };

    explicit ContentView(ModelContext& modelContext, QWidget* parent = nullptr);
    ContentView(ModelContext& modelContext, Options options, QWidget* parent = nullptr);
    ~ContentView() override;

    ModelContext& modelContext() const { return m_modelContext; }
    // Absent until the General tab has been on screen.
    AppCollectorService* collectorService() const { return m_collectorService.get(); }

    ContentTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(ContentTab tab);
    QString searchText() const;
    QString selectedCategory() const;
    qint64 displayLimit() const;
    // The selected app; it stays selected while a search or category hides it.
    const QSharedPointer<AppModel>& selectedApp() const { return m_selectedApp; }
    // Selects an app as a click on its row would (null: no selection).
    void setSelectedApp(const QSharedPointer<AppModel>& app);

    // Creates and starts the collector, once. Done by the window itself right
    // after the General tab's first paint.
    void setupCollector();
    // Marks the app viewed and saves, unless it is viewed already.
    void markAsViewed(AppModel& app);
    // "Reset & Reload": deletes every app, favorite and folder, forgets the
    // collector's settings, empties the details queue and starts a new run.
    void resetAllData(AppCollectorService& collector);

    // "Apps (<n>)": the number of apps that match the search and category.
    QString contentTitle() const;

    // The window's parts, for tests and tools.
    AppIndex& appIndex() const { return *m_index; }
    AppListModel& appList() const { return *m_list; }
    CategoryListModel& categoryList() const { return *m_categories; }
    LoadMoreRowModel& listRows() const { return *m_rows; }
    SegmentedPicker* tabPicker() const { return m_picker; }
    // "Export…" beside the picker; it, and Ctrl+E, emit exportRequested().
    QPushButton* exportButton() const { return m_exportButton; }
    CollectorBox* collectorBox() const { return m_collectorBox; }
    QListView* categoryView() const { return m_categoryView; }
    QLineEdit* searchField() const { return m_searchField; }
    QListView* appListView() const { return m_listView; }
    // The load-more row's button; null while every matching app is shown.
    QPushButton* loadMoreButton() const;
    bool showsEmptyState() const;
    // The detail view of the selected app; null while the placeholder shows.
    AppDetailView* detailView() const { return m_detail; }
    // The favorites browser; null unless the Favorites tab is chosen.
    FavoritesView* favoritesView() const { return m_favorites; }
    QSplitter* splitter() const { return m_splitter; }

    // Writes the window's size and split positions to the settings (done on
    // close and when the window goes).
    void saveWindowState() const;

signals:
    void selectedAppChanged(const QSharedPointer<AppModel>& app);
    void selectedTabChanged(ContentTab tab);
    // setupCollector() made the collector and started it.
    void collectorCreated(AppCollectorService* collector);
    // The user asked to export the apps the list matches (see ExportController).
    void exportRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeToolbar();
    QWidget* makeSidebar();
    QWidget* makeContentColumn();
    QWidget* makeDetailColumn();
    void restoreWindowState();

    void listSelectionChanged();
    void categorySelectionChanged();
    void listRowsChanged();
    void categoryRowsChanged();
    void countsChanged();
    void syncListSelection();
    void syncCategorySelection();
    void ensureLoadMoreButton();
    void showDetail();
    void focusSearch();
    void selectApp(const QSharedPointer<AppModel>& app);

    ModelContext& m_modelContext;
    Options m_options;
    std::unique_ptr<AppIndex> m_index;
    AppListModel* m_list;
    CategoryListModel* m_categories;
    LoadMoreRowModel* m_rows;
    std::unique_ptr<AppCollectorService> m_collectorService;

    ContentTab m_selectedTab = ContentTab::general;
    QSharedPointer<AppModel> m_selectedApp;
    QSharedPointer<AppModel> m_detailApp;

    SegmentedPicker* m_picker = nullptr;
    QPushButton* m_exportButton = nullptr;
    QStackedWidget* m_pages = nullptr;
    QWidget* m_generalPage = nullptr;
    QWidget* m_favoritesPage = nullptr;
    QPointer<FavoritesView> m_favorites;
    QSplitter* m_splitter = nullptr;
    CollectorBox* m_collectorBox = nullptr;
    QListView* m_categoryView = nullptr;
    QLabel* m_title = nullptr;
    QLineEdit* m_searchField = nullptr;
    QStackedWidget* m_listStack = nullptr;
    QListView* m_listView = nullptr;
    EmptyStateView* m_emptyState = nullptr;
    QStackedWidget* m_detailStack = nullptr;
    QPointer<AppDetailView> m_detail;

    // Set while the list's rows change: a selection lost to that is not the
    // user's choice.
    int m_listChanging = 0;
    int m_categoriesChanging = 0;
    bool m_syncingSelection = false;
    bool m_syncingCategory = false;
    bool m_forwardingListKey = false;
    bool m_collectorScheduled = false;
    bool m_tearingDown = false;
};
