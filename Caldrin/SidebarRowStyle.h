#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QPainter;
class QStyleOptionViewItem;

// The look the sidebars' rows share (categories, favorites folders): a soft,
// rounded selection and hover instead of the full highlight, so that the blue
// count badge stays legible on a chosen row; and that badge, white text on a
// blue capsule padded 8 by 2.
class SidebarRowStyle {
public:
    static constexpr int badgeRadius = 10;
    static constexpr int badgeHorizontalPadding = 8;
    static constexpr int badgeVerticalPadding = 2;

    static QFont badgeFont(const QFont& base);
    // The badge for a text at the end of a row, `margin` from its right edge.
    static QRect badgeRect(const QRect& row, const QFont& base, const QString& text, int margin);
    // The height a badge needs.
    static int badgeHeight(const QFont& base);
    static void paintBackground(QPainter& painter, const QStyleOptionViewItem& option);
    static void paintBadge(QPainter& painter, const QRect& rect, const QString& text, const QFont& base);
};
