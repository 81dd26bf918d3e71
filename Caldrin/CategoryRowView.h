#pragma once

#include <QRect>
#include <QStyledItemDelegate>

// Paints one row of the category list: the category name and, when it has
// unviewed apps, their number on a blue capsule at the row's end.
class CategoryRowView : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int badgeHorizontalPadding = 8;
    static constexpr int badgeVerticalPadding = 2;
    static constexpr int badgeCornerRadius = 10;
    static constexpr int rowPadding = 8;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The badge's text for a count: empty when no badge is shown.
    static QString badgeText(qint64 unviewed);
    // Where the badge sits in a row, for its text in the row's font.
    static QRect badgeRect(const QRect& row, const QFont& rowFont, const QString& text);
    static QFont badgeFont(const QFont& rowFont);
};
