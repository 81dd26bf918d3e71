#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QRectF>
#include <QStyledItemDelegate>

#include <memory>

class AppModel;
class FavoriteAppleIDs;
class FavoritesService;
class ImageLoader;
class ModelContext;

// Paints one collected app as a row of the app list: icon, name with the
// unviewed and fetched marks, developer, category, price, purchase and rating
// marks, release text, and on the right the favorite star, the screenshot count
// and "Full details". It reads the record that the model hands out under
// RecordRole and keeps no state per row: a row is redrawn from its record
// whenever the model reports it changed, and its icon comes from the shared
// image loader's cache.
//
// The delegate owns one favorites service, created the first time it paints
// (creating it makes sure the default folder exists, so showing the list is
// enough for that), and answers "is this a favorite" from an in-memory set kept
// current by the store's change signals, never with a query per paint.
class AppRowView : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The model's role holding the row's AppModel* (QVariant::fromValue).
    static constexpr int RecordRole = Qt::UserRole + 1;

    static constexpr int verticalPadding = 12;
    static constexpr int horizontalPadding = 8;
    static constexpr int iconSide = 60;
    static constexpr int iconCornerRadius = 12;
    static constexpr int spacing = 12;
    static constexpr int lineSpacing = 4;
    static constexpr int markSpacing = 8;
    static constexpr int unviewedMarkSide = 8;

    // One painted part of a row, in the row's coordinates.
    struct Piece {
        enum class Kind { Icon, Symbol, Text, Dot };
        Kind kind = Kind::Text;
        QString role; // "icon", "unviewed", "name", "fetched", "developer", "category", ...
        QRectF rect;
        QString text;   // as painted (elided)
        QString symbol; // for symbols
        QFont font;
        QColor color;
    };

    // modelContext may be null: then no favorites are marked.
    explicit AppRowView(ModelContext* modelContext, QObject* parent = nullptr, ImageLoader* loader = nullptr);
    ~AppRowView() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Every row has this height for a given base font.
    static int rowHeight(const QFont& base);
    // The row's parts for an app in option.rect, in painting order.
    QList<Piece> layout(const QStyleOptionViewItem& option, const AppModel& app) const;
    // The delegate's favorites service once it has been set up; null before.
    FavoritesService* favoritesService() const { return m_favoritesService.get(); }

private:
    void setupFavoritesService() const;
    void rememberView(const QWidget* widget) const;
    void repaintViews() const;

    ModelContext* m_modelContext;
    QPointer<ImageLoader> m_loader;
    // Set up lazily from paint(), hence mutable.
    mutable std::unique_ptr<FavoritesService> m_favoritesService;
    mutable FavoriteAppleIDs* m_favorites = nullptr;
    mutable bool m_setupScheduled = false;
    mutable QList<QPointer<QWidget>> m_views;
};
