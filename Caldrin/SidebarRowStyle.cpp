#include "SidebarRowStyle.h"

#include "SystemColors.h"
#include "TextStyles.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionViewItem>

QFont SidebarRowStyle::badgeFont(const QFont& base) {
    return TextStyles::font(TextStyles::Style::Caption, QFont::DemiBold, base);
}

int SidebarRowStyle::badgeHeight(const QFont& base) {
    return QFontMetrics(badgeFont(base)).height() + 2 * badgeVerticalPadding;
}

QRect SidebarRowStyle::badgeRect(const QRect& row, const QFont& base, const QString& text, int margin) {
    const QFontMetrics metrics(badgeFont(base));
    const int height = badgeHeight(base);
    // Never narrower than high: a single digit sits in a near circle.
    const int width = qMax(metrics.horizontalAdvance(text) + 2 * badgeHorizontalPadding, height);
    return QRect(row.right() - margin - width + 1, row.top() + (row.height() - height) / 2, width, height);
}

void SidebarRowStyle::paintBackground(QPainter& painter, const QStyleOptionViewItem& option) {
    QColor fill;
    if (option.state & QStyle::State_Selected) {
        fill = SystemColors::blue();
        fill.setAlphaF(option.state & QStyle::State_HasFocus ? 0.22 : 0.15);
    } else if (option.state & QStyle::State_MouseOver) {
        fill = option.palette.color(QPalette::Text);
        fill.setAlphaF(0.05);
    } else {
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(option.rect.adjusted(4, 1, -4, -1)), 6, 6);
    painter.fillPath(path, fill);
}

void SidebarRowStyle::paintBadge(QPainter& painter, const QRect& rect, const QString& text,
                                 const QFont& base) {
    QPainterPath pill;
    pill.addRoundedRect(QRectF(rect), badgeRadius, badgeRadius);
    painter.fillPath(pill, SystemColors::blue());
    painter.setFont(badgeFont(base));
    painter.setPen(Qt::white);
    painter.drawText(rect, Qt::AlignCenter, text);
}
