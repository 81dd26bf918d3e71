#include "AppRowView.h"

#include "AppIconView.h"
#include "AppModel.h"
#include "FavoriteAppleIDs.h"
#include "FavoritesService.h"
#include "ImageLoader.h"
#include "ModelContext.h"
#include "SymbolLabel.h"
#include "SymbolTable.h"
#include "SystemColors.h"
#include "TextStyles.h"
#include "UserCharacters.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QTimer>

using Style = TextStyles::Style;

namespace {

constexpr int iconTextGap = 4;
constexpr int trailingSpacing = 4;

// A symbol shown "at the size" of a text style.
int symbolSide(const QFont& font) {
    return SymbolLabel::symbolSide(font);
}

struct Colors {
    QColor primary, secondary, tertiary, unviewed;
};

Colors colorsFor(const QStyleOptionViewItem& option) {
    const QPalette& palette = option.palette;
    if (option.state & QStyle::State_Selected) {
        QColor text = palette.color(QPalette::HighlightedText);
        QColor faded = text;
        faded.setAlphaF(0.8);
        QColor fainter = text;
        fainter.setAlphaF(0.65);
        return {text, faded, fainter, text};
    }
    return {palette.color(QPalette::Text), SystemColors::secondary(palette), SystemColors::tertiary(palette),
            SystemColors::blue()};
}

} // namespace

AppRowView::AppRowView(ModelContext* modelContext, QObject* parent, ImageLoader* loader)
    : QStyledItemDelegate(parent)
    , m_modelContext(modelContext)
    , m_loader(loader ? loader : ImageLoader::shared()) {
    connect(m_loader, &ImageLoader::finished, this, [this] { repaintViews(); });
}

AppRowView::~AppRowView() = default;

int AppRowView::rowHeight(const QFont& base) {
    const int name = qMax(QFontMetrics(TextStyles::font(Style::Headline, QFont::Bold, base)).height(),
                          symbolSide(TextStyles::font(Style::Caption, base)));
    const int developer = QFontMetrics(TextStyles::font(Style::Subheadline, base)).height();
    const QFont caption = TextStyles::font(Style::Caption, base);
    const int marks = qMax(QFontMetrics(caption).height(), symbolSide(caption));
    const int release = QFontMetrics(TextStyles::font(Style::Caption2, base)).height();
    const int column = name + developer + marks + release + 3 * lineSpacing;
    return verticalPadding + qMax(iconSide, column) + verticalPadding;
}

QSize AppRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(qMax(option.rect.width(), 320), rowHeight(option.font));
}

QList<AppRowView::Piece> AppRowView::layout(const QStyleOptionViewItem& option, const AppModel& app) const {
    const QFont& base = option.font;
    const Colors colors = colorsFor(option);
    const QRectF row(option.rect);
    const qreal top = row.top() + verticalPadding;
    QList<Piece> pieces;

    auto text = [](const QString& role, const QRectF& rect, const QString& content, const QFont& font,
                   const QColor& color) {
        return Piece{Piece::Kind::Text, role, rect, content, QString(), font, color};
    };
    auto symbol = [](const QString& role, const QRectF& rect, const QString& name, const QColor& color) {
        return Piece{Piece::Kind::Symbol, role, rect, QString(), name, QFont(), color};
    };

    // The icon.
    const QRectF icon(row.left() + horizontalPadding, top, iconSide, iconSide);
    pieces.append(Piece{Piece::Kind::Icon, QStringLiteral("icon"), icon, QString(), QString(), QFont(),
                        colors.secondary});

    // The trailing column, right-aligned; its width decides the text column's.
    const QFont caption = TextStyles::font(Style::Caption, base);
    const QFont caption2 = TextStyles::font(Style::Caption2, base);
    const QFontMetricsF caption2Metrics(caption2);
    const qreal right = row.right() + 1 - horizontalPadding;
    QList<Piece> trailing;
    qreal trailingY = top;
    qreal trailingWidth = 0;
    if (m_favorites && m_favorites->contains(app.appleID())) {
        const int side = symbolSide(caption);
        trailing.append(symbol(QStringLiteral("favorite"), QRectF(right - side, trailingY, side, side),
                               QStringLiteral("star.fill"), SystemColors::yellow()));
        trailingY += side + trailingSpacing;
        trailingWidth = side;
    }
    if (app.screenshotURLs() && !app.screenshotURLs()->isEmpty()) {
        const QString label = QStringLiteral("%1 screenshots").arg(app.screenshotURLs()->size());
        const qreal width = caption2Metrics.horizontalAdvance(label);
        trailing.append(text(QStringLiteral("screenshots"),
                             QRectF(right - width, trailingY, width, caption2Metrics.height()), label,
                             caption2, colors.secondary));
        trailingY += caption2Metrics.height() + trailingSpacing;
        trailingWidth = qMax(trailingWidth, width);
    }
    if (app.hasAppDescription()) {
        const QString label = QStringLiteral("Full details");
        const int side = symbolSide(caption2);
        const qreal width = caption2Metrics.horizontalAdvance(label);
        const qreal lineHeight = qMax<qreal>(side, caption2Metrics.height());
        const qreal x = right - width - iconTextGap - side;
        trailing.append(symbol(QStringLiteral("fullDetailsSymbol"),
                               QRectF(x, trailingY + (lineHeight - side) / 2, side, side),
                               QStringLiteral("doc.text"), colors.secondary));
        trailing.append(text(QStringLiteral("fullDetails"),
                             QRectF(right - width, trailingY, width, lineHeight), label, caption2,
                             colors.secondary));
        trailingWidth = qMax(trailingWidth, width + iconTextGap + side);
    }

    // The text column. Texts from the store are cut before they are measured:
    // measuring a name of megabytes would hold the window for seconds.
    const qreal left = icon.right() + spacing;
    const qreal columnRight = trailing.isEmpty() ? right : right - trailingWidth - spacing;
    const qreal columnWidth = qMax<qreal>(0, columnRight - left);
    qreal y = top;

    // 1. Name line: unviewed mark, name, fetched checkmark.
    const QFont nameFont =
        TextStyles::font(Style::Headline, app.isViewed() ? QFont::Normal : QFont::Bold, base);
    const QFontMetricsF nameMetrics(nameFont);
    const int checkSide = symbolSide(caption);
    const qreal nameLine = qMax<qreal>(nameMetrics.height(), checkSide);
    qreal x = left;
    if (!app.isViewed()) {
        const QRectF dot(x, y + (nameLine - unviewedMarkSide) / 2, unviewedMarkSide, unviewedMarkSide);
        pieces.append(Piece{Piece::Kind::Dot, QStringLiteral("unviewed"), dot, QString(), QString(), QFont(),
                            colors.unviewed});
        x += unviewedMarkSide + 6;
    }
    const qreal checkRoom = app.detailsFetched() ? checkSide + 6 : 0;
    const QString name = nameMetrics.elidedText(UserCharacters::shortened(app.name()), Qt::ElideRight,
                                                qMax<qreal>(0, columnRight - x - checkRoom));
    const qreal nameWidth = nameMetrics.horizontalAdvance(name);
    pieces.append(
        text(QStringLiteral("name"), QRectF(x, y, nameWidth + 1, nameLine), name, nameFont, colors.primary));
    if (app.detailsFetched()) {
        pieces.append(symbol(QStringLiteral("fetched"),
                             QRectF(x + nameWidth + 6, y + (nameLine - checkSide) / 2, checkSide, checkSide),
                             QStringLiteral("checkmark.circle.fill"), SystemColors::green()));
    }
    y += nameLine + lineSpacing;

    // 2. Developer.
    const QFont subheadline = TextStyles::font(Style::Subheadline, base);
    const QFontMetricsF subMetrics(subheadline);
    pieces.append(text(
        QStringLiteral("developer"), QRectF(left, y, columnWidth, subMetrics.height()),
        subMetrics.elidedText(UserCharacters::shortened(app.developerName()), Qt::ElideRight, columnWidth),
        subheadline, colors.secondary));
    y += subMetrics.height() + lineSpacing;

    // 3. Marks: category, price, purchases, rating. The category gives way first.
    const QFontMetricsF captionMetrics(caption);
    const int markSide = symbolSide(caption);
    const qreal markLine = qMax<qreal>(captionMetrics.height(), markSide);
    const bool purchases = app.hasInAppPurchases().value_or(false);
    const QString rating = app.rating() ? QString::asprintf("%.1f", *app.rating()) : QString();
    const QString price = UserCharacters::shortened(app.priceLabel());
    const qreal priceWidth = captionMetrics.horizontalAdvance(price);
    qreal fixed = markSide + iconTextGap + markSpacing + markSide + iconTextGap + priceWidth;
    if (purchases)
        fixed += markSpacing + markSide;
    if (!rating.isEmpty())
        fixed += markSpacing + markSide + 2 + captionMetrics.horizontalAdvance(rating);
    const qreal categoryRoom =
        qMax<qreal>(captionMetrics.horizontalAdvance(QStringLiteral("W…")), columnWidth - fixed);
    const QString category =
        captionMetrics.elidedText(UserCharacters::shortened(app.category()), Qt::ElideRight, categoryRoom);
    const qreal markTop = y + (markLine - markSide) / 2;
    x = left;
    auto labelled = [&](const QString& role, const QString& name, const QColor& tint, const QString& label,
                        qreal room) {
        pieces.append(
            symbol(role + QStringLiteral("Symbol"), QRectF(x, markTop, markSide, markSide), name, tint));
        x += markSide + iconTextGap;
        const QString shown = captionMetrics.elidedText(label, Qt::ElideRight, qMax<qreal>(0, room));
        const qreal width = captionMetrics.horizontalAdvance(shown);
        pieces.append(text(role, QRectF(x, y, width + 1, markLine), shown, caption, colors.secondary));
        x += width + markSpacing;
    };
    labelled(QStringLiteral("category"), QStringLiteral("folder.fill"), colors.secondary, category,
             categoryRoom);
    labelled(QStringLiteral("price"), QStringLiteral("dollarsign.circle.fill"), colors.secondary, price,
             columnRight - x - markSide - iconTextGap);
    if (purchases) {
        pieces.append(symbol(QStringLiteral("purchases"), QRectF(x, markTop, markSide, markSide),
                             QStringLiteral("creditcard.fill"), SystemColors::purple()));
        x += markSide + markSpacing;
    }
    if (!rating.isEmpty()) {
        pieces.append(symbol(QStringLiteral("ratingSymbol"), QRectF(x, markTop, markSide, markSide),
                             QStringLiteral("star.fill"), SystemColors::yellow()));
        x += markSide + 2;
        pieces.append(text(QStringLiteral("rating"),
                           QRectF(x, y, captionMetrics.horizontalAdvance(rating) + 1, markLine), rating,
                           caption, colors.secondary));
    }
    y += markLine + lineSpacing;

    // 4. Release text.
    pieces.append(text(QStringLiteral("release"), QRectF(left, y, columnWidth, caption2Metrics.height()),
                       caption2Metrics.elidedText(UserCharacters::shortened(app.releaseDateString()),
                                                  Qt::ElideRight, columnWidth),
                       caption2, colors.tertiary));

    pieces.append(trailing);
    return pieces;
}

void AppRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const {
    auto* app = index.data(RecordRole).value<AppModel*>();
    if (!app) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    rememberView(option.widget);
    if (!m_favoritesService && m_modelContext && !m_setupScheduled) {
        // Not from inside a paint: creating the service may write to the store.
        m_setupScheduled = true;
        QTimer::singleShot(0, this, [this] { setupFavoritesService(); });
    }

    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QString address = app->iconURL().value_or(QString());
    QImage image;
    if (m_loader) {
        ImageLoader::State state = m_loader->state(address);
        if (state == ImageLoader::State::Idle)
            state = m_loader->request(address, const_cast<AppRowView*>(this));
        if (state == ImageLoader::State::Loaded)
            image = m_loader->image(address);
    }
    const QList<Piece> pieces = layout(option, *app);
    for (const Piece& piece : pieces) {
        switch (piece.kind) {
        case Piece::Kind::Icon:
            AppIconView::paintIcon(*painter, piece.rect.toRect(), iconCornerRadius, address, image,
                                   piece.color);
            break;
        case Piece::Kind::Symbol:
            SymbolTable::paint(*painter, piece.rect, piece.symbol, piece.color);
            break;
        case Piece::Kind::Dot:
            painter->setPen(Qt::NoPen);
            painter->setBrush(piece.color);
            painter->drawEllipse(piece.rect);
            break;
        case Piece::Kind::Text:
            painter->setFont(piece.font);
            painter->setPen(piece.color);
            painter->drawText(piece.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, piece.text);
            break;
        }
    }
    // A hairline between rows, from the text column to the edge.
    if (!(option.state & QStyle::State_Selected)) {
        const qreal left = option.rect.left() + horizontalPadding + iconSide + spacing;
        painter->setPen(QPen(SystemColors::separator(option.palette), 1));
        painter->drawLine(QPointF(left, option.rect.bottom() + 0.5),
                          QPointF(option.rect.right(), option.rect.bottom() + 0.5));
    }
    painter->restore();
}

void AppRowView::setupFavoritesService() const {
    if (m_favoritesService || !m_modelContext)
        return;
    m_favoritesService = std::make_unique<FavoritesService>(*m_modelContext);
    auto* self = const_cast<AppRowView*>(this);
    m_favorites = new FavoriteAppleIDs(*m_modelContext, self);
    connect(m_favorites, &FavoriteAppleIDs::changed, self, [this] { repaintViews(); });
    repaintViews();
}

void AppRowView::rememberView(const QWidget* widget) const {
    if (!widget)
        return;
    auto* view = const_cast<QWidget*>(widget);
    m_views.removeIf([](const QPointer<QWidget>& known) { return known.isNull(); });
    if (!m_views.contains(view))
        m_views.append(view);
}

void AppRowView::repaintViews() const {
    for (const QPointer<QWidget>& view : std::as_const(m_views)) {
        if (!view)
            continue;
        if (auto* itemView = qobject_cast<QAbstractItemView*>(view.data()))
            itemView->viewport()->update();
        else
            view->update();
    }
}
