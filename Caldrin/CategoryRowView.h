#pragma once

#include <QRect>
#include <QStyledItemDelegate>

// Paints one row of the category list: the category name and, when it has
// unviewed apps, their number on a blue capsule at the row's end.
class CategoryRowView : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 6;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The badge's text for a count: empty when no badge is shown.
    static QString badgeText(qint64 unviewed);
    // Where the badge for a text sits in a row of the given font.
    static QRect badgeRect(const QRect& row, const QFont& rowFont, const QString& text);
};
