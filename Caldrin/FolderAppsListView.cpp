#include "FolderAppsListView.h"

#include "AppModel.h"
#include "Divider.h"
#include "ElidedLabel.h"
#include "EmptyStateView.h"
#include "FavoriteApp.h"
#include "FavoriteAppRowView.h"
#include "FavoriteFolder.h"
#include "LabelStyles.h"
#include "ModelContext.h"
#include "StoreError.h"
#include "SymbolLabel.h"
#include "SystemColors.h"
#include "TextStyles.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

using Style = TextStyles::Style;

namespace {
constexpr int defaultPadding = 16;
}

FolderAppsListView::FolderAppsListView(QSharedPointer<FavoriteFolder> folder, ModelContext& modelContext,
                                       FavoritesService* favoritesService, QWidget* parent,
                                       ImageLoader* loader)
    : QWidget(parent)
    , m_folder(std::move(folder))
    , m_modelContext(modelContext)
    , m_favoritesService(favoritesService)
    , m_loader(loader)
    , m_title(new ElidedLabel(QString(), this))
    , m_count(LabelStyles::make(QString(), font(), SystemColors::secondary(palette()), this))
    , m_pages(new QStackedWidget(this))
    , m_empty(new EmptyStateView(QStringLiteral("star"), SystemColors::secondary(palette()),
                                 QStringLiteral("No favorites in this folder"),
                                 palette().color(QPalette::WindowText),
                                 QStringLiteral("Add apps to favorites from the main apps list"), m_pages))
    , m_scrollArea(new QScrollArea(m_pages))
    , m_rowsHost(new QWidget(m_scrollArea))
    , m_rowsLayout(new QVBoxLayout(m_rowsHost)) {
    setFocusPolicy(Qt::StrongFocus);

    // Header.
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("folderHeader"));
    header->setBackgroundRole(QPalette::Window);
    header->setAutoFillBackground(true);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(defaultPadding, defaultPadding, defaultPadding, defaultPadding);
    header->setFixedHeight(headerContentHeight() + 2 * defaultPadding);
    headerRow->setSpacing(8);
    const QFont title2 = TextStyles::font(Style::Title2, QFont::Bold);
    QLabel* symbol = SymbolLabel::image(QStringLiteral("folder.fill"), SymbolLabel::symbolSide(title2),
                                        SystemColors::yellow(), header);
    m_title->setObjectName(QStringLiteral("folderName"));
    m_title->setFont(title2);
    m_count->setObjectName(QStringLiteral("appCount"));
    headerRow->addWidget(symbol);
    headerRow->addWidget(m_title, 1);
    headerRow->addWidget(m_count);

    // The rows, in a scrolling column.
    m_scrollArea->setObjectName(QStringLiteral("favoriteRows"));
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_rowsHost->setBackgroundRole(QPalette::Base);
    m_rowsLayout->setContentsMargins(0, 4, 0, 4);
    m_rowsLayout->setSpacing(0);
    m_rowsLayout->addStretch();
    m_scrollArea->setWidget(m_rowsHost);
    m_pages->addWidget(m_empty);
    m_pages->addWidget(m_scrollArea);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(new Divider(Qt::Horizontal, this));
    layout->addWidget(m_pages, 1);

    reload();
}

int FolderAppsListView::headerContentHeight() {
    return QFontMetrics(TextStyles::font(Style::Title2, QFont::Bold)).height();
}

QString FolderAppsListView::countText() const {
    return m_count->text();
}

EmptyStateView* FolderAppsListView::emptyState() const {
    return m_pages->currentWidget() == m_empty ? m_empty : nullptr;
}

void FolderAppsListView::reload() {
    m_title->setText(m_folder->name());
    QList<Pair> pairs;
    QStringList appleIDs;
    QList<QSharedPointer<FavoriteFolder>> folders = m_allFolders;
    try {
        folders = m_modelContext.fetch<FavoriteFolder>(FetchDescriptor::sorted("sortOrder", true));
        // The entries in the folder's own order; each paired with the app it
        // names, looked up by its unique appleID, or left out when there is none.
        for (const QSharedPointer<FavoriteApp>& favorite : m_folder->apps()) {
            appleIDs.append(favorite->appleID());
            const auto apps =
                m_modelContext.fetch<AppModel>(FetchDescriptor::equal("appleID", favorite->appleID()));
            if (!apps.isEmpty())
                pairs.append(Pair{favorite, apps.first()});
        }
    } catch (const StoreError&) {
        return; // keep what is shown until the store can be read again
    }
    m_appleIDs = appleIDs;
    m_count->setText(QStringLiteral("%1 apps").arg(pairs.size()));
    const bool foldersChanged = folders != m_allFolders;
    m_allFolders = folders;
    if (pairs != m_pairs) {
        m_pairs = pairs;
        rebuildRows();
    } else if (foldersChanged) {
        for (FavoriteAppRowView* row : std::as_const(m_rows))
            row->setAllFolders(m_allFolders);
    }
    m_pages->setCurrentWidget(m_pairs.isEmpty() ? static_cast<QWidget*>(m_empty) : m_scrollArea);
}

void FolderAppsListView::rebuildRows() {
    for (FavoriteAppRowView* row : std::as_const(m_rows))
        delete row;
    m_rows.clear();
    for (const Pair& pair : std::as_const(m_pairs)) {
        auto* row = new FavoriteAppRowView(pair.favorite, pair.app, m_favoritesService, m_allFolders,
                                           m_folder, m_rowsHost, m_loader);
        row->setSelected(pair.app == m_selectedApp);
        connect(row, &FavoriteAppRowView::clicked, this, [this, row] {
            setFocus(Qt::MouseFocusReason);
            choose(int(m_rows.indexOf(row)));
        });
        connect(row, &FavoriteAppRowView::contextMenuRequested, this,
                [this, row](const QPoint& position) { showContextMenu(row, position); });
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, row);
        m_rows.append(row);
    }
}

void FolderAppsListView::setSelectedApp(const QSharedPointer<AppModel>& app) {
    m_selectedApp = app;
    for (FavoriteAppRowView* row : std::as_const(m_rows))
        row->setSelected(app && row->appModel() == app);
}

int FolderAppsListView::selectedRow() const {
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i]->isSelected())
            return i;
    }
    return -1;
}

void FolderAppsListView::choose(int row) {
    if (row < 0 || row >= m_rows.size())
        return;
    m_scrollArea->ensureWidgetVisible(m_rows[row], 0, 0);
    const QSharedPointer<AppModel> app = m_rows[row]->appModel();
    setSelectedApp(app);
    emit appSelected(app);
}

void FolderAppsListView::keyPressEvent(QKeyEvent* event) {
    const int current = selectedRow();
    switch (event->key()) {
    case Qt::Key_Up:
        choose(current < 0 ? int(m_rows.size()) - 1 : qMax(0, current - 1));
        break;
    case Qt::Key_Down:
        choose(current < 0 ? 0 : qMin(int(m_rows.size()) - 1, current + 1));
        break;
    case Qt::Key_Home:
        choose(0);
        break;
    case Qt::Key_End:
        choose(int(m_rows.size()) - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void FolderAppsListView::showContextMenu(FavoriteAppRowView* row, const QPoint& globalPosition) {
    // The menu belongs to this list, not to the row: a reload may replace the
    // row while the menu is open.
    delete m_menu;
    m_menu = row->contextMenu(this);
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    m_menu->popup(globalPosition);
}
