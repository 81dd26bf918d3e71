#include "ContentView.h"

#include "AppIndex.h"
#include "AppListModel.h"
#include "AppModel.h"
#include "AppRowView.h"
#include "ButtonStyles.h"
#include "CategoryListModel.h"
#include "CategoryRowView.h"
#include "CollectorBox.h"
#include "Console.h"
#include "Divider.h"
#include "EmptyStateView.h"
#include "ErrorText.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "LoadMoreRowModel.h"
#include "ModelContext.h"
#include "SegmentedPicker.h"
#include "StoreError.h"
#include "SymbolTable.h"
#include "SystemColors.h"
#include "TextStyles.h"
#include "UserSettings.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

using Style = TextStyles::Style;

namespace {

constexpr int kSidebarWidth = 250;
constexpr int kContentWidth = 400;
constexpr int kDetailWidth = 560;
constexpr int kSidebarPadding = 10;
constexpr int kSidebarSpacing = 16;
constexpr int kSearchIconSize = 16;
constexpr int kLoadMoreIconSize = 16;
constexpr int kLoadMorePadding = 8;
constexpr std::chrono::milliseconds kCollectorStartFallback{500};

const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kSplitterKey = QStringLiteral("window/generalSplitter");

QLabel* headline(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(TextStyles::font(Style::Headline, parent->font()));
    return label;
}

// Keeps `depth` at the number of changes of the model's rows under way: a view
// in single selection moves its selection to a neighbour when the chosen row
// goes, and that is no choice of the user's. Connected before any view, so that
// it counts before the views react.
void countChangesInProgress(QAbstractItemModel* model, QObject* receiver, int& depth) {
    const auto enter = [&depth] { ++depth; };
    const auto leave = [&depth] { --depth; };
    QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, receiver, enter);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, receiver, leave);
    QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, receiver, enter);
    QObject::connect(model, &QAbstractItemModel::modelReset, receiver, leave);
    QObject::connect(model, &QAbstractItemModel::layoutAboutToBeChanged, receiver, enter);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, receiver, leave);
}

// Runs the handler after every change of the model's rows.
template <class Handler> void afterRowChanges(QAbstractItemModel* model, QObject* receiver, Handler handler) {
    QObject::connect(model, &QAbstractItemModel::rowsInserted, receiver, handler);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, receiver, handler);
    QObject::connect(model, &QAbstractItemModel::modelReset, receiver, handler);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, receiver, handler);
}

// Deletes every record of a kind in one statement (a million apps are never
// loaded for it) and reports how many there were; a kind that cannot be
// deleted is skipped without a word.
template <class R> void deleteAll(ModelContext& context, const QString& what) {
    try {
        const qint64 count = context.removeAll<R>();
        Console::print(QStringLiteral("🗑️ Deleted ") + QString::number(count) + what);
    } catch (const StoreError&) {
    }
}

} // namespace

ContentView::ContentView(ModelContext& modelContext, QWidget* parent)
    : ContentView(modelContext, Options(), parent) {}

ContentView::ContentView(ModelContext& modelContext, Options options, QWidget* parent)
    : QWidget(parent)
    , m_modelContext(modelContext)
    , m_options(std::move(options))
    , m_index(std::make_unique<AppIndex>(modelContext)) {
    setWindowTitle(QStringLiteral("Caldrin"));
    m_list = new AppListModel(*m_index, this);
    m_categories = new CategoryListModel(*m_index, this);
    // Before the load-more model wraps the list, so that it counts ahead of
    // the views and selection models behind that model.
    countChangesInProgress(m_list, this, m_listChanging);
    m_rows = new LoadMoreRowModel(*m_list, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeToolbar());
    layout->addWidget(new Divider(Qt::Horizontal, this));
    m_pages = new QStackedWidget(this);
    layout->addWidget(m_pages, 1);

    m_generalPage = new QWidget(m_pages);
    m_generalPage->setObjectName(QStringLiteral("generalPage"));
    auto* general = new QHBoxLayout(m_generalPage);
    general->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Horizontal, m_generalPage);
    m_splitter->setObjectName(QStringLiteral("generalSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);
    m_splitter->addWidget(makeSidebar());
    m_splitter->addWidget(makeContentColumn());
    m_splitter->addWidget(makeDetailColumn());
    // The handles are the columns' dividing lines.
    const QColor window = SystemColors::windowBackground(palette());
    const QColor line = SystemColors::separator(palette());
    const qreal alpha = line.alphaF();
    const QColor handleColor = QColor::fromRgbF(line.redF() * alpha + window.redF() * (1 - alpha),
                                                line.greenF() * alpha + window.greenF() * (1 - alpha),
                                                line.blueF() * alpha + window.blueF() * (1 - alpha));
    for (int i = 1; i < m_splitter->count(); ++i) {
        QSplitterHandle* handle = m_splitter->handle(i);
        QPalette handlePalette = handle->palette();
        handlePalette.setColor(QPalette::Window, handleColor);
        handle->setPalette(handlePalette);
        handle->setAutoFillBackground(true);
    }
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setStretchFactor(2, 1);
    general->addWidget(m_splitter);
    m_pages->addWidget(m_generalPage);
    m_generalPage->installEventFilter(this);
    m_listView->viewport()->installEventFilter(this);
    m_emptyState->installEventFilter(this);

    m_favoritesPage = new QWidget(m_pages);
    m_favoritesPage->setObjectName(QStringLiteral("favoritesPage"));
    auto* favorites = new QVBoxLayout(m_favoritesPage);
    favorites->setContentsMargins(0, 0, 0, 0);
    m_pages->addWidget(m_favoritesPage);
    m_pages->setCurrentWidget(m_generalPage);

    // A deleted app leaves the detail column, even while the list does not show it.
    connect(&m_modelContext, &ModelContext::recordRemoved, this, [this](PersistentRecord* record) {
        if (m_detailApp && record == m_detailApp.data())
            showDetail();
    });

    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &ContentView::focusSearch);
    auto* exportShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    connect(exportShortcut, &QShortcut::activated, this, &ContentView::exportRequested);

    restoreWindowState();
    countsChanged();
    syncCategorySelection();
    ensureLoadMoreButton();
}

ContentView::~ContentView() {
    // The parts watched by eventFilter() go first, sending events on the way.
    m_tearingDown = true;
    disconnect(&m_modelContext, nullptr, this, nullptr);
    for (QObject* model :
         {static_cast<QObject*>(m_list), static_cast<QObject*>(m_rows), static_cast<QObject*>(m_categories)})
        disconnect(model, nullptr, this, nullptr);
    if (isWindow())
        saveWindowState();
    // The views go before the models and the index they show.
    delete m_pages;
    m_pages = nullptr;
}

QWidget* ContentView::makeToolbar() {
    auto* toolbar = new QWidget(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    auto* layout = new QHBoxLayout(toolbar);
    layout->setContentsMargins(12, 8, 12, 8);
    QStringList tabs;
    for (const ContentTab tab : allContentTabs)
        tabs.append(rawValue(tab));
    m_picker = new SegmentedPicker(QStringLiteral("View"), tabs, toolbar);
    m_picker->setFixedWidth(200);
    m_picker->setToolTip(QStringLiteral("View"));
    connect(m_picker, &SegmentedPicker::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(allContentTabs.size()))
            setSelectedTab(allContentTabs[static_cast<size_t>(index)]);
    });
    layout->addWidget(m_picker);
    m_exportButton = new QPushButton(QStringLiteral("Export…"), toolbar);
    m_exportButton->setObjectName(QStringLiteral("exportButton"));
    m_exportButton->setToolTip(QStringLiteral("Export the listed apps to a CSV or JSON file (Ctrl+E)"));
    connect(m_exportButton, &QPushButton::clicked, this, &ContentView::exportRequested);
    layout->addWidget(m_exportButton);
    layout->addStretch(1);
    return toolbar;
}

QWidget* ContentView::makeSidebar() {
    auto* sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setFixedWidth(kSidebarWidth);
    sidebar->setAttribute(Qt::WA_StyledBackground);
    // A shade apart from the window, so the collector box stands out on it.
    const QColor window = SystemColors::windowBackground(palette());
    const QColor shade = window.lightness() > 128 ? window.darker(104) : window.lighter(112);
    sidebar->setStyleSheet(
        QStringLiteral("#sidebar { background-color: %1; }").arg(SystemColors::css(shade)));
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(kSidebarPadding, kSidebarPadding, kSidebarPadding, kSidebarPadding);
    layout->setSpacing(kSidebarSpacing);

    m_collectorBox = new CollectorBox(*m_index, sidebar);
    connect(m_collectorBox, &CollectorBox::resetRequested, this, [this] {
        if (m_collectorService)
            resetAllData(*m_collectorService);
    });
    layout->addWidget(m_collectorBox);
    layout->addWidget(new Divider(Qt::Horizontal, sidebar));

    auto* categories = new QVBoxLayout;
    categories->setSpacing(8);
    categories->addWidget(headline(QStringLiteral("Categories"), sidebar));
    m_categoryView = new QListView(sidebar);
    m_categoryView->setObjectName(QStringLiteral("categoryList"));
    m_categoryView->setFrameShape(QFrame::NoFrame);
    m_categoryView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_categoryView->setUniformItemSizes(true);
    m_categoryView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_categoryView->setItemDelegate(new CategoryRowView(m_categoryView));
    m_categoryView->setAutoFillBackground(false);
    m_categoryView->viewport()->setAutoFillBackground(false);
    countChangesInProgress(m_categories, this, m_categoriesChanging);
    m_categoryView->setModel(m_categories);
    connect(m_categoryView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ContentView::categorySelectionChanged);
    afterRowChanges(m_categories, this, [this] { categoryRowsChanged(); });
    categories->addWidget(m_categoryView, 1);
    layout->addLayout(categories, 1);
    return sidebar;
}

QWidget* ContentView::makeContentColumn() {
    auto* column = new QWidget(this);
    column->setObjectName(QStringLiteral("contentColumn"));
    column->setMinimumWidth(300);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_title = new QLabel(column);
    m_title->setObjectName(QStringLiteral("contentTitle"));
    m_title->setFont(TextStyles::font(Style::Title3, QFont::DemiBold, font()));
    m_title->setContentsMargins(12, 10, 12, 8);
    layout->addWidget(m_title);

    auto* searchBar = new QWidget(column);
    searchBar->setObjectName(QStringLiteral("searchBar"));
    searchBar->setAutoFillBackground(true);
    QPalette barPalette = searchBar->palette();
    barPalette.setColor(QPalette::Window, SystemColors::controlBackground(palette()));
    searchBar->setPalette(barPalette);
    auto* search = new QHBoxLayout(searchBar);
    search->setContentsMargins(8, 8, 8, 8);
    search->setSpacing(6);
    auto* glass = new QLabel(searchBar);
    glass->setObjectName(QStringLiteral("searchSymbol"));
    glass->setPixmap(SymbolTable::pixmap(QStringLiteral("magnifyingglass"), kSearchIconSize,
                                         SystemColors::secondary(palette()), devicePixelRatioF()));
    search->addWidget(glass);
    m_searchField = new QLineEdit(searchBar);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setFrame(false);
    m_searchField->setPlaceholderText(QStringLiteral("Search apps or developers..."));
    m_searchField->installEventFilter(this);
    search->addWidget(m_searchField, 1);
    connect(m_searchField, &QLineEdit::textChanged, m_list, &AppListModel::setSearchText);
    layout->addWidget(searchBar);
    layout->addWidget(new Divider(Qt::Horizontal, column));

    m_listStack = new QStackedWidget(column);
    m_listView = new QListView(m_listStack);
    m_listView->setObjectName(QStringLiteral("appList"));
    m_listView->setFrameShape(QFrame::NoFrame);
    m_listView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listView->setUniformItemSizes(true);
    m_listView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_listView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listView->setItemDelegate(new AppRowView(&m_modelContext, m_listView));
    m_listView->setModel(m_rows);
    m_listView->installEventFilter(this);
    connect(m_listView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ContentView::listSelectionChanged);
    afterRowChanges(m_rows, this, [this] { listRowsChanged(); });
    connect(m_list, &AppListModel::filteredCountChanged, this, &ContentView::countsChanged);
    connect(m_list, &AppListModel::remainingChanged, this, &ContentView::countsChanged);
    m_listStack->addWidget(m_listView);
    m_emptyState = new EmptyStateView(
        QStringLiteral("app.badge"), SystemColors::secondary(palette()),
        QStringLiteral("No apps collected yet"), palette().color(QPalette::WindowText),
        QStringLiteral("Click 'Start Collecting' to begin tracking new iOS apps"), m_listStack);
    m_emptyState->setObjectName(QStringLiteral("emptyState"));
    m_listStack->addWidget(m_emptyState);
    layout->addWidget(m_listStack, 1);
    return column;
}

QWidget* ContentView::makeDetailColumn() {
    m_detailStack = new QStackedWidget(this);
    m_detailStack->setObjectName(QStringLiteral("detailColumn"));
    m_detailStack->setMinimumWidth(360);
    auto* placeholder = new EmptyStateView(QStringLiteral("app.dashed"), SystemColors::secondary(palette()),
                                           QStringLiteral("Select an app to view details"),
                                           SystemColors::secondary(palette()), QString(), m_detailStack);
    placeholder->setObjectName(QStringLiteral("detailPlaceholder"));
    m_detailStack->addWidget(placeholder);
    return m_detailStack;
}

// ---- Tabs and the collector

void ContentView::setSelectedTab(ContentTab tab) {
    m_picker->setCurrentIndex(static_cast<int>(tab));
    if (tab == m_selectedTab)
        return;
    m_selectedTab = tab;
    if (tab == ContentTab::favorites) {
        // A new browser each time the tab is chosen, as if it had never been open.
        m_favorites = new FavoritesView(m_modelContext, m_options.favorites, m_favoritesPage);
        m_favoritesPage->layout()->addWidget(m_favorites);
        m_pages->setCurrentWidget(m_favoritesPage);
    } else {
        m_pages->setCurrentWidget(m_generalPage);
        if (m_favorites) {
            m_favorites->hide();
            m_favorites->deleteLater();
        }
        m_favorites = nullptr;
    }
    emit selectedTabChanged(tab);
}

void ContentView::setupCollector() {
    if (m_collectorService)
        return;
    m_collectorService =
        m_options.collectorTiming
            ? std::make_unique<AppCollectorService>(m_modelContext, *m_options.collectorTiming)
            : std::make_unique<AppCollectorService>(m_modelContext);
    m_collectorBox->setCollector(m_collectorService.get());
    m_collectorService->startCollecting();
    emit collectorCreated(m_collectorService.get());
}

bool ContentView::eventFilter(QObject* watched, QEvent* event) {
    if (m_tearingDown)
        return false;
    if (watched == m_generalPage && event->type() == QEvent::Show) {
        // The collector starts once the tab has been painted: its start-up
        // work (reading the store for incomplete apps, the web engine) would
        // otherwise keep the first look at the list waiting. Should no paint
        // come (a window never exposed), it starts a moment later anyway.
        if (!m_collectorService && !m_collectorScheduled) {
            m_collectorScheduled = true;
            QTimer::singleShot(kCollectorStartFallback, this, &ContentView::setupCollector);
        }
    } else if ((watched == m_listView->viewport() || watched == m_emptyState) &&
               event->type() == QEvent::Paint && m_collectorScheduled && !m_collectorService) {
        QTimer::singleShot(0, this, &ContentView::setupCollector);
    } else if (watched == m_searchField && event->type() == QEvent::KeyPress) {
        // The arrows move through the list while typing, as in any search field
        // over a list.
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (m_listStack->currentWidget() != m_listView)
                break;
            // Nothing chosen yet: the first app is the first stop.
            if (!m_listView->selectionModel()->hasSelection() && m_list->rowCount() > 0)
                m_listView->selectionModel()->setCurrentIndex(m_rows->index(0, 0),
                                                              QItemSelectionModel::ClearAndSelect);
            else
                QCoreApplication::sendEvent(m_listView, event);
            return true;
        default:
            break;
        }
    } else if (watched == m_listView && event->type() == QEvent::KeyPress && !m_forwardingListKey) {
        // The load-more row is a button, not an app, and the list will not
        // move onto it: a jump that would land there goes to the last app.
        const auto* key = static_cast<QKeyEvent*>(event);
        const int footer = m_rows->loadMoreRow();
        if (footer > 0 && (key->key() == Qt::Key_End || key->key() == Qt::Key_PageDown)) {
            const QModelIndex before = m_listView->currentIndex();
            m_forwardingListKey = true;
            QCoreApplication::sendEvent(m_listView, event);
            m_forwardingListKey = false;
            if (m_listView->currentIndex() == before && before.row() != footer - 1) {
                m_listView->selectionModel()->setCurrentIndex(m_rows->index(footer - 1, 0),
                                                              QItemSelectionModel::ClearAndSelect);
                m_listView->scrollTo(m_rows->index(footer, 0));
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::focusSearch() {
    if (m_selectedTab != ContentTab::general)
        return;
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    m_searchField->selectAll();
}

// ---- The list and its selection

QString ContentView::searchText() const {
    return m_list->searchText();
}

QString ContentView::selectedCategory() const {
    return m_list->selectedCategory();
}

qint64 ContentView::displayLimit() const {
    return m_list->displayLimit();
}

QString ContentView::contentTitle() const {
    const QString count =
        m_list->isCountKnown() ? QString::number(m_list->filteredCount()) : QStringLiteral("…");
    return QStringLiteral("Apps (") + count + QLatin1Char(')');
}

bool ContentView::showsEmptyState() const {
    return m_listStack->currentWidget() == m_emptyState;
}

QPushButton* ContentView::loadMoreButton() const {
    const int row = m_rows->loadMoreRow();
    if (row < 0)
        return nullptr;
    QWidget* holder = m_listView->indexWidget(m_rows->index(row, 0));
    return holder ? holder->findChild<QPushButton*>(QStringLiteral("loadMoreButton")) : nullptr;
}

void ContentView::countsChanged() {
    m_title->setText(contentTitle());
    m_listStack->setCurrentWidget(m_list->filteredCount() == 0 ? static_cast<QWidget*>(m_emptyState)
                                                               : m_listView);
    if (QPushButton* button = loadMoreButton())
        button->setText(LoadMoreRowModel::loadMoreText(m_list->remaining()));
}

void ContentView::ensureLoadMoreButton() {
    const int row = m_rows->loadMoreRow();
    if (row < 0)
        return;
    const QModelIndex index = m_rows->index(row, 0);
    if (m_listView->indexWidget(index))
        return;
    auto* holder = new QWidget;
    holder->setObjectName(QStringLiteral("loadMoreRow"));
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, kLoadMorePadding, 0, kLoadMorePadding);
    auto* button = new QPushButton(LoadMoreRowModel::loadMoreText(m_list->remaining()), holder);
    button->setObjectName(QStringLiteral("loadMoreButton"));
    button->setIcon(SymbolTable::tintedIcon(QStringLiteral("arrow.down.circle"),
                                            palette().color(QPalette::ButtonText), kLoadMoreIconSize));
    button->setIconSize(QSize(kLoadMoreIconSize, kLoadMoreIconSize));
    button->setCursor(Qt::PointingHandCursor);
    ButtonStyles::makeBordered(button);
    connect(button, &QPushButton::clicked, m_list, &AppListModel::loadMore);
    layout->addStretch(1);
    layout->addWidget(button);
    layout->addStretch(1);
    m_listView->setIndexWidget(index, holder);
}

void ContentView::listRowsChanged() {
    if (m_listChanging)
        return;
    ensureLoadMoreButton();
    syncListSelection();
}

void ContentView::listSelectionChanged() {
    if (m_syncingSelection || m_listChanging)
        return;
    const QModelIndexList selected = m_listView->selectionModel()->selectedIndexes();
    AppModel* record =
        selected.isEmpty() ? nullptr : selected.first().data(AppListModel::RecordRole).value<AppModel*>();
    selectApp(record ? qSharedPointerCast<AppModel>(record->sharedFromThis()) : QSharedPointer<AppModel>());
}

void ContentView::setSelectedApp(const QSharedPointer<AppModel>& app) {
    selectApp(app);
    syncListSelection();
}

void ContentView::selectApp(const QSharedPointer<AppModel>& app) {
    if (app == m_selectedApp)
        return;
    m_selectedApp = app;
    if (app)
        markAsViewed(*app);
    showDetail();
    emit selectedAppChanged(app);
}

// Shows the selected record in the list when it is among the displayed rows,
// whatever happened to the rows since it was chosen.
void ContentView::syncListSelection() {
    QItemSelectionModel* selection = m_listView->selectionModel();
    int row = m_selectedApp ? m_list->rowForAppleID(m_selectedApp->appleID()) : -1;
    if (row >= 0 && m_list->recordAt(row) != m_selectedApp.data())
        row = -1;
    const QModelIndex target = row >= 0 ? m_rows->index(row, 0) : QModelIndex();
    const QModelIndexList selected = selection->selectedIndexes();
    if (target.isValid() ? selected == QModelIndexList{target} : selected.isEmpty())
        return;
    m_syncingSelection = true;
    if (target.isValid()) {
        selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clearSelection();
    }
    m_syncingSelection = false;
    showDetail();
}

void ContentView::showDetail() {
    const QSharedPointer<AppModel> app =
        m_selectedApp && !m_selectedApp->isDeleted() ? m_selectedApp : QSharedPointer<AppModel>();
    // The detail view is kept while it shows the same record, so that its own
    // state lasts; an app of another appleID (or a new record that took a
    // deleted one's place) gets a fresh one.
    if (app == m_detailApp && (app.isNull() == m_detail.isNull()))
        return;
    if (m_detail) {
        m_detailStack->removeWidget(m_detail);
        m_detail->hide();
        m_detail->deleteLater();
        m_detail = nullptr;
    }
    m_detailApp = app;
    if (app) {
        m_detail = new AppDetailView(app, m_modelContext, m_options.detail, m_detailStack);
        m_detailStack->addWidget(m_detail);
        m_detailStack->setCurrentWidget(m_detail);
    } else {
        m_detailStack->setCurrentIndex(0);
    }
}

void ContentView::markAsViewed(AppModel& app) {
    if (app.isViewed())
        return;
    app.setIsViewed(true);
    try {
        m_modelContext.save();
        Console::print(QStringLiteral("✅ Marked as viewed: ") + app.name());
    } catch (const std::exception& error) {
        Console::print(QStringLiteral("❌ Error saving viewed status: ") + ErrorText::describe(error));
    }
}

// ---- Categories

void ContentView::categorySelectionChanged() {
    if (m_syncingCategory || m_categoriesChanging)
        return;
    const QModelIndexList selected = m_categoryView->selectionModel()->selectedIndexes();
    // Deselecting every row is not a choice the list offers: "All" stays
    // until another category is chosen.
    if (selected.isEmpty()) {
        syncCategorySelection();
        return;
    }
    m_list->setSelectedCategory(selected.first().data(CategoryListModel::CategoryRole).toString());
}

void ContentView::categoryRowsChanged() {
    syncCategorySelection();
}

void ContentView::syncCategorySelection() {
    const int row = m_categories->rowForCategory(m_list->selectedCategory());
    QItemSelectionModel* selection = m_categoryView->selectionModel();
    const QModelIndex target = row >= 0 ? m_categories->index(row) : QModelIndex();
    const QModelIndexList selected = selection->selectedIndexes();
    if (target.isValid() ? selected == QModelIndexList{target} : selected.isEmpty())
        return;
    m_syncingCategory = true;
    if (target.isValid())
        selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    else
        selection->clearSelection();
    m_syncingCategory = false;
}

// ---- Reset

void ContentView::resetAllData(AppCollectorService& collector) {
    Console::print(QStringLiteral("🔄 Resetting all data..."));
    deleteAll<AppModel>(m_modelContext, QStringLiteral(" apps"));
    deleteAll<FavoriteApp>(m_modelContext, QStringLiteral(" favorite apps"));
    deleteAll<FavoriteFolder>(m_modelContext, QStringLiteral(" folders"));
    try {
        m_modelContext.save();
    } catch (const StoreError&) {
    }
    {
        QSettings settings = UserSettings::open();
        settings.remove(UserSettings::lastFetchDateKey());
        settings.remove(UserSettings::totalAppsCollectedKey());
        settings.sync();
    }
    collector.detailsQueue().clearQueue();
    Console::print(QStringLiteral("✅ All data cleared"));
    Console::print(QStringLiteral("📥 Fetching new apps..."));
    CollectorBox::startFetch(collector);
}

// ---- Window state

void ContentView::restoreWindowState() {
    QSettings settings = UserSettings::open();
    const QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        resize(kSidebarWidth + kContentWidth + kDetailWidth, 780);
    const QByteArray split = settings.value(kSplitterKey).toByteArray();
    if (split.isEmpty() || !m_splitter->restoreState(split))
        m_splitter->setSizes({kSidebarWidth, kContentWidth, kDetailWidth});
}

void ContentView::saveWindowState() const {
    QSettings settings = UserSettings::open();
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kSplitterKey, m_splitter->saveState());
    settings.sync();
}

void ContentView::closeEvent(QCloseEvent* event) {
    saveWindowState();
    QWidget::closeEvent(event);
}
