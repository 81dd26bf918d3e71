#include "CategoryRowView.h"

#include "CategoryListModel.h"
#include "ElidedLabel.h"
#include "SidebarRowStyle.h"

#include <QPainter>

QString CategoryRowView::badgeText(qint64 unviewed) {
    return unviewed >= 1 ? QString::number(unviewed) : QString();
}

QRect CategoryRowView::badgeRect(const QRect& row, const QFont& rowFont, const QString& text) {
    return SidebarRowStyle::badgeRect(row, rowFont, text, horizontalPadding);
}

void CategoryRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    SidebarRowStyle::paintBackground(*painter, option);

    const QString badge = badgeText(index.data(CategoryListModel::UnviewedCountRole).toLongLong());
    QRect text = option.rect.adjusted(horizontalPadding, 0, -horizontalPadding, 0);
    if (!badge.isEmpty()) {
        const QRect area = badgeRect(option.rect, option.font, badge);
        SidebarRowStyle::paintBadge(*painter, area, badge, option.font);
        text.setRight(area.left() - 8);
    }
    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      ElidedLabel::elided(index.data(CategoryListModel::CategoryRole).toString(),
                                          option.fontMetrics, text.width()));
    painter->restore();
}

QSize CategoryRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int text = QFontMetrics(option.font).height();
    return QSize(option.rect.width(),
                 qMax(text, SidebarRowStyle::badgeHeight(option.font)) + 2 * verticalPadding);
}
