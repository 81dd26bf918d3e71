#include "FavoriteAppRowView.h"

#include "AppIconView.h"
#include "AppModel.h"
#include "ClampedTextLabel.h"
#include "DateText.h"
#include "DestructiveMenuStyle.h"
#include "ElidedLabel.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "LabelStyles.h"
#include "SymbolLabel.h"
#include "SystemColors.h"
#include "TextStyles.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

using Style = TextStyles::Style;

namespace {

// Folder names in the menu are shortened to this width.
constexpr int menuTextWidth = 320;

QLabel* symbolView(const QString& symbol, const QFont& font, const QColor& color, QWidget* parent) {
    return SymbolLabel::image(symbol, SymbolLabel::symbolSide(font), color, parent);
}

} // namespace

FavoriteAppRowView::FavoriteAppRowView(QSharedPointer<FavoriteApp> favoriteApp,
                                       QSharedPointer<AppModel> appModel, FavoritesService* favoritesService,
                                       QList<QSharedPointer<FavoriteFolder>> allFolders,
                                       QSharedPointer<FavoriteFolder> currentFolder, QWidget* parent,
                                       ImageLoader* loader)
    : QWidget(parent)
    , m_favoriteApp(std::move(favoriteApp))
    , m_appModel(std::move(appModel))
    , m_favoritesService(favoritesService)
    , m_allFolders(std::move(allFolders))
    , m_currentFolder(std::move(currentFolder))
    , m_icon(new AppIconView(iconSide, iconCornerRadius, this, loader))
    , m_name(new ElidedLabel(QString(), this))
    , m_developer(new ElidedLabel(QString(), this))
    , m_comment(new ClampedTextLabel(2, this))
    , m_category(new SymbolLabel(QStringLiteral("folder.fill"), QString(), this))
    , m_price(new SymbolLabel(QStringLiteral("dollarsign.circle.fill"), QString(), this))
    , m_rating(new QWidget(this))
    , m_ratingValue(nullptr)
    , m_added(new ElidedLabel(QString(), this)) {
    const QPalette& colors = palette();
    const QColor secondary = SystemColors::secondary(colors);
    m_icon->setObjectName(QStringLiteral("appIcon"));

    // 1. Star and name.
    const QFont caption = TextStyles::font(Style::Caption);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(4);
    nameRow->addWidget(symbolView(QStringLiteral("star.fill"), caption, SystemColors::yellow(), this));
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setFont(TextStyles::font(Style::Headline));
    nameRow->addWidget(m_name, 1);

    // 2. Developer; 3. comment.
    m_developer->setObjectName(QStringLiteral("developer"));
    m_developer->setFont(TextStyles::font(Style::Subheadline));
    m_developer->setColor(secondary);
    m_comment->setObjectName(QStringLiteral("comment"));
    m_comment->setFont(caption);
    m_comment->setColor(SystemColors::blue());

    // 4. Category, price, rating.
    auto* marks = new QHBoxLayout;
    marks->setSpacing(8);
    for (SymbolLabel* mark : {m_category, m_price}) {
        mark->setTextFont(caption);
        mark->setTextColor(secondary);
        marks->addWidget(mark);
    }
    m_category->setObjectName(QStringLiteral("category"));
    m_price->setObjectName(QStringLiteral("price"));
    auto* rating = new QHBoxLayout(m_rating);
    rating->setContentsMargins(0, 0, 0, 0);
    rating->setSpacing(2);
    rating->addWidget(symbolView(QStringLiteral("star.fill"), caption, SystemColors::yellow(), m_rating));
    m_ratingValue = LabelStyles::make(QString(), caption, secondary, m_rating);
    m_ratingValue->setObjectName(QStringLiteral("rating"));
    rating->addWidget(m_ratingValue);
    marks->addWidget(m_rating);
    marks->addStretch();

    // 5. When it was added.
    m_added->setObjectName(QStringLiteral("added"));
    m_added->setFont(TextStyles::font(Style::Caption2));
    m_added->setColor(SystemColors::tertiary(colors));

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addLayout(nameRow);
    texts->addWidget(m_developer);
    texts->addWidget(m_comment);
    texts->addLayout(marks);
    texts->addWidget(m_added);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    layout->setSpacing(12);
    layout->addWidget(m_icon, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);

    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(m_favoriteApp.data(), &FavoriteApp::changed, this, &FavoriteAppRowView::refresh);
    connect(m_appModel.data(), &AppModel::changed, this, &FavoriteAppRowView::refresh);
    refresh();
}

void FavoriteAppRowView::refresh() {
    const AppModel& app = *m_appModel;
    m_icon->setAddress(app.iconURL());
    m_name->setText(app.name());
    m_developer->setText(app.developerName());
    const QString& comment = m_favoriteApp->comment();
    m_comment->setText(comment);
    // The comment keeps 4 points of space above it.
    m_comment->setContentsMargins(0, 4, 0, 0);
    m_comment->setVisible(!comment.isEmpty());
    m_category->setText(app.category());
    m_price->setText(app.priceLabel());
    m_rating->setVisible(app.rating().has_value());
    m_ratingValue->setText(app.rating() ? QString::asprintf("%.1f", *app.rating()) : QString());
    m_added->setText(QStringLiteral("Added: ") + DateText::abbreviatedDate(m_favoriteApp->addedAt()));
    updateGeometry();
    update();
}

QString FavoriteAppRowView::nameText() const {
    return m_name->text();
}

QString FavoriteAppRowView::commentText() const {
    return m_comment->isVisibleTo(this) ? m_comment->text() : QString();
}

QString FavoriteAppRowView::ratingText() const {
    return m_rating->isVisibleTo(this) ? m_ratingValue->text() : QString();
}

QString FavoriteAppRowView::addedText() const {
    return m_added->text();
}

void FavoriteAppRowView::setSelected(bool selected) {
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QMenu* FavoriteAppRowView::contextMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    DestructiveMenuStyle::install(menu);
    FavoritesService* service = m_favoritesService;
    const QString appleID = m_appModel->appleID();

    QMenu* move = menu->addMenu(QStringLiteral("Move to Folder"));
    const QFontMetrics metrics = menu->fontMetrics();
    for (const QSharedPointer<FavoriteFolder>& folder : m_allFolders) {
        QAction* action = move->addAction(ElidedLabel::elided(folder->name(), metrics, menuTextWidth));
        if (m_currentFolder && folder->id() == m_currentFolder->id()) {
            action->setCheckable(true);
            action->setChecked(true);
            action->setEnabled(false);
            continue;
        }
        const QString folderName = folder->name();
        QObject::connect(action, &QAction::triggered, menu, [service, appleID, folderName] {
            if (service)
                service->moveToFolder(appleID, folderName);
        });
    }
    menu->addSeparator();
    // Editing a comment has no dialog yet: the item is there and changes nothing.
    menu->addAction(QStringLiteral("Edit Comment"));
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Remove from Favorites"));
    DestructiveMenuStyle::markDestructive(remove);
    QObject::connect(remove, &QAction::triggered, menu, [service, appleID] {
        if (service)
            service->removeFromFavorites(appleID);
    });
    return menu;
}

void FavoriteAppRowView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_selected) {
        QColor tint = SystemColors::blue();
        tint.setAlphaF(0.15);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect().adjusted(4, 2, -4, -2)), 8, 8);
        painter.fillPath(path, tint);
        return;
    }
    // A hairline under the row, from the text column to the edge.
    const qreal left = horizontalPadding + iconSide + 12;
    painter.setPen(QPen(SystemColors::separator(palette()), 1));
    painter.drawLine(QPointF(left, height() - 0.5), QPointF(width(), height() - 0.5));
}

void FavoriteAppRowView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

void FavoriteAppRowView::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
    event->accept();
}
