#include "FavoritesView.h"

#include "AppModel.h"
#include "ButtonStyles.h"
#include "DestructiveMenuStyle.h"
#include "Divider.h"
#include "EmptyStateView.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "FolderAppsListView.h"
#include "FolderRowView.h"
#include "LabelStyles.h"
#include "ModelContext.h"
#include "NewFolderSheet.h"
#include "StoreChangeFollower.h"
#include "StoreError.h"
#include "SystemColors.h"
#include "TextStyles.h"
#include "UserCharacters.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

using Style = TextStyles::Style;

namespace {
constexpr int defaultPadding = 16;
}

FavoritesView::FavoritesView(ModelContext& modelContext, QWidget* parent)
    : FavoritesView(modelContext, Options(), parent) {}

FavoritesView::FavoritesView(ModelContext& modelContext, Options options, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent)
    , m_modelContext(modelContext)
    , m_options(options) {
    if (!m_options.detail.loader)
        m_options.detail.loader = m_options.loader;
    setChildrenCollapsible(false);
    setHandleWidth(1);
    setStyleSheet(QStringLiteral("FavoritesView::handle { background-color: %1; }")
                      .arg(SystemColors::css(SystemColors::separator(palette()))));

    addWidget(buildSidebar());

    m_middle = new QStackedWidget(this);
    m_middle->setObjectName(QStringLiteral("folderColumn"));
    m_noFolder = new EmptyStateView(QStringLiteral("star.fill"), SystemColors::yellow(),
                                    QStringLiteral("Select a folder"), SystemColors::secondary(palette()),
                                    QString(), m_middle);
    m_middle->addWidget(m_noFolder);
    m_middle->setMinimumWidth(280);
    addWidget(m_middle);

    m_detail = new QStackedWidget(this);
    m_detail->setObjectName(QStringLiteral("detailColumn"));
    m_noApp = new EmptyStateView(QStringLiteral("app.dashed"), SystemColors::secondary(palette()),
                                 QStringLiteral("Select an app to view details"),
                                 SystemColors::secondary(palette()), QString(), m_detail);
    m_detail->addWidget(m_noApp);
    m_detail->setMinimumWidth(320);
    addWidget(m_detail);

    setStretchFactor(0, 0);
    setStretchFactor(1, 0);
    setStretchFactor(2, 1);
    setSizes({sidebarWidth, FolderAppsListView::columnWidth, 600});

    // The columns follow the store; a burst of changes (a folder deleted with
    // its favorites, a reset) is read once, after the change is complete.
    m_storeChanges = new StoreChangeFollower(
        m_modelContext,
        [this](RecordKind kind, const PersistentRecord* record) { return matters(kind, record); }, this);
    connect(m_storeChanges, &StoreChangeFollower::changed, this, &FavoritesView::reload);
    reload();
}

FavoritesView::~FavoritesView() {
    // The columns use the service; they go first.
    delete m_detail;
    delete m_middle;
}

QWidget* FavoritesView::buildSidebar() {
    auto* sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setMinimumWidth(180);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(0, defaultPadding, 0, defaultPadding);
    layout->setSpacing(16);

    // As tall as the folder column's header, so that the dividers below both line up.
    auto* headerRow = new QWidget(sidebar);
    headerRow->setFixedHeight(FolderAppsListView::headerContentHeight());
    auto* header = new QHBoxLayout(headerRow);
    header->setContentsMargins(defaultPadding, 0, defaultPadding, 0);
    header->addWidget(
        LabelStyles::make(QStringLiteral("Favorites"), TextStyles::font(Style::Headline), sidebar));
    header->addStretch();
    m_newFolderButton = new QToolButton(headerRow);
    m_newFolderButton->setObjectName(QStringLiteral("newFolderButton"));
    ButtonStyles::makeBorderless(m_newFolderButton, QStringLiteral("plus"),
                                 palette().color(QPalette::ButtonText), 16);
    m_newFolderButton->setToolTip(QStringLiteral("Create new folder"));
    header->addWidget(m_newFolderButton);
    layout->addWidget(headerRow);
    layout->addWidget(new Divider(Qt::Horizontal, sidebar));

    m_folderList = new QListWidget(sidebar);
    m_folderList->setObjectName(QStringLiteral("folderList"));
    m_folderList->setFrameShape(QFrame::NoFrame);
    m_folderList->setItemDelegate(new FolderRowView(m_folderList));
    m_folderList->setUniformItemSizes(true);
    m_folderList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_folderList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_folderList->setMouseTracking(true);
    m_folderList->viewport()->setAutoFillBackground(false);
    m_folderList->setAutoFillBackground(false);
    layout->addWidget(m_folderList, 1);

    connect(m_newFolderButton, &QToolButton::clicked, this, &FavoritesView::showNewFolderSheet);
    connect(m_folderList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < m_folders.size() && m_folders[row] != m_selectedFolder) {
            m_selectedFolder = m_folders[row];
            showFolder();
        }
    });
    connect(m_folderList, &QListWidget::customContextMenuRequested, this, &FavoritesView::showFolderMenu);
    return sidebar;
}

// --- Appearing ------------------------------------------------------------------------

void FavoritesView::showEvent(QShowEvent* event) {
    QSplitter::showEvent(event);
    appear();
}

void FavoritesView::appear() {
    if (!m_favoritesService) {
        // Makes sure "Unfiltered" exists.
        m_favoritesService = std::make_unique<FavoritesService>(m_modelContext);
        if (m_appsList)
            showFolder(); // the rows' menus need the service
    }
    if (!m_selectedFolder) {
        reload();
        if (!m_folders.isEmpty())
            selectFolder(m_folders.first());
    }
}

// --- Following the store --------------------------------------------------------------------

bool FavoritesView::matters(RecordKind kind, const PersistentRecord* record) const {
    if (kind != RecordKind::App || !record)
        return true;
    // An app matters when a favorite of the shown folder names it (it may
    // have arrived or gone); changes of shown apps reach their rows directly.
    return m_appsList &&
           m_appsList->favoriteAppleIDs().contains(static_cast<const AppModel*>(record)->appleID());
}

void FavoritesView::reload() {
    m_storeChanges->settle();
    try {
        m_folders = m_modelContext.fetch<FavoriteFolder>(FetchDescriptor::sorted("sortOrder", true));
    } catch (const StoreError&) {
        return; // keep what is shown until the store can be read again
    }
    if (m_selectedFolder && !m_folders.contains(m_selectedFolder)) {
        // The selected folder is gone, and with it what was chosen from it.
        if (m_selectedAppFolder == m_selectedFolder)
            selectApp(nullptr);
        m_selectedFolder.reset();
        showFolder();
    }
    if (m_selectedAppFolder && !m_folders.contains(m_selectedAppFolder))
        m_selectedAppFolder.reset();
    fillFolderList();
    if (m_appsList)
        m_appsList->reload();
}

void FavoritesView::fillFolderList() {
    const QSignalBlocker blocker(m_folderList);
    // Rows are reused, so the list keeps its scroll position and hover.
    while (m_folderList->count() > m_folders.size())
        delete m_folderList->takeItem(m_folderList->count() - 1);
    for (qsizetype i = 0; i < m_folders.size(); ++i) {
        QListWidgetItem* item = m_folderList->item(int(i));
        if (!item)
            item = new QListWidgetItem(m_folderList);
        const QString& name = m_folders[i]->name();
        item->setText(name);
        item->setToolTip(name.size() > 30 ? UserCharacters::shortened(name) : QString());
        item->setData(FolderRowView::CountRole, m_folders[i]->appCount());
    }
    const int selected = m_selectedFolder ? int(m_folders.indexOf(m_selectedFolder)) : -1;
    if (selected >= 0) {
        m_folderList->setCurrentRow(selected);
    } else {
        m_folderList->clearSelection();
        m_folderList->setCurrentRow(-1);
    }
}

// --- Selections -----------------------------------------------------------------------------------

void FavoritesView::selectFolder(const QSharedPointer<FavoriteFolder>& folder) {
    if (folder == m_selectedFolder)
        return;
    m_selectedFolder = folder;
    const QSignalBlocker blocker(m_folderList);
    m_folderList->setCurrentRow(folder ? int(m_folders.indexOf(folder)) : -1);
    showFolder();
}

void FavoritesView::showFolder() {
    if (m_appsList) {
        m_middle->removeWidget(m_appsList);
        m_appsList->deleteLater();
        m_appsList = nullptr;
    }
    if (!m_selectedFolder) {
        m_middle->setCurrentWidget(m_noFolder);
        return;
    }
    m_appsList = new FolderAppsListView(m_selectedFolder, m_modelContext, m_favoritesService.get(), m_middle,
                                        m_options.loader);
    m_appsList->setSelectedApp(m_selectedApp);
    connect(m_appsList, &FolderAppsListView::appSelected, this, [this](const QSharedPointer<AppModel>& app) {
        m_selectedAppFolder = m_selectedFolder;
        selectApp(app);
    });
    m_middle->addWidget(m_appsList);
    m_middle->setCurrentWidget(m_appsList);
}

void FavoritesView::selectApp(const QSharedPointer<AppModel>& app) {
    if (!app)
        m_selectedAppFolder.reset();
    if (app == m_selectedApp)
        return;
    m_selectedApp = app;
    if (m_appsList)
        m_appsList->setSelectedApp(app);
    showApp();
}

void FavoritesView::showApp() {
    if (m_detailView) {
        m_detail->removeWidget(m_detailView);
        // Not at once: the change may come from inside the old view.
        m_detailView->deleteLater();
        m_detailView = nullptr;
    }
    if (!m_selectedApp) {
        m_detail->setCurrentWidget(m_noApp);
        return;
    }
    m_detailView = new AppDetailView(m_selectedApp, m_modelContext, m_options.detail, m_detail);
    m_detail->addWidget(m_detailView);
    m_detail->setCurrentWidget(m_detailView);
}

EmptyStateView* FavoritesView::folderPlaceholder() const {
    return m_middle->currentWidget() == m_noFolder ? m_noFolder : nullptr;
}

EmptyStateView* FavoritesView::detailPlaceholder() const {
    return m_detail->currentWidget() == m_noApp ? m_noApp : nullptr;
}

// --- Folders ------------------------------------------------------------------------------------

void FavoritesView::showNewFolderSheet() {
    if (m_newFolderSheet)
        return;
    m_newFolderSheet = new NewFolderSheet(
        m_modelContext,
        [this](const QString& name) {
            if (m_favoritesService)
                m_favoritesService->createFolder(name);
        },
        this);
    m_newFolderSheet->open();
}

QMenu* FavoritesView::folderMenu(const QSharedPointer<FavoriteFolder>& folder, QWidget* parent) {
    // "Unfiltered" cannot be renamed or deleted here: its menu is empty.
    if (!folder || folder->name() == FavoritesService::defaultFolderName())
        return nullptr;
    auto* menu = new QMenu(parent);
    DestructiveMenuStyle::install(menu);
    // Renaming has no dialog yet: the item is there and changes nothing.
    menu->addAction(QStringLiteral("Rename"));
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Delete"));
    DestructiveMenuStyle::markDestructive(remove);
    connect(remove, &QAction::triggered, this, [this, folder] {
        if (m_favoritesService && !folder->isDeleted())
            m_favoritesService->deleteFolder(*folder);
    });
    return menu;
}

void FavoritesView::showFolderMenu(const QPoint& position) {
    const int row = m_folderList->indexAt(position).row();
    if (row < 0 || row >= m_folders.size())
        return;
    delete m_folderMenu;
    m_folderMenu = folderMenu(m_folders[row], this);
    if (!m_folderMenu)
        return;
    m_folderMenu->setAttribute(Qt::WA_DeleteOnClose);
    m_folderMenu->popup(m_folderList->viewport()->mapToGlobal(position));
}
