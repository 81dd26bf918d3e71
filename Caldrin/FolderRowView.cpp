#include "FolderRowView.h"

#include "ElidedLabel.h"
#include "SidebarRowStyle.h"
#include "SymbolLabel.h"
#include "SymbolTable.h"
#include "SystemColors.h"

#include <QPainter>

FolderRowView::FolderRowView(QObject* parent)
    : QStyledItemDelegate(parent) {}

QString FolderRowView::badgeText(const QModelIndex& index) {
    return QString::number(index.data(CountRole).toLongLong());
}

QRect FolderRowView::badgeRect(const QStyleOptionViewItem& option, const QString& text) {
    return SidebarRowStyle::badgeRect(option.rect, option.font, text, horizontalPadding);
}

QSize FolderRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int text = QFontMetrics(option.font).height();
    return QSize(200, qMax(text, SidebarRowStyle::badgeHeight(option.font)) + 2 * verticalPadding);
}

void FolderRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect;
    SidebarRowStyle::paintBackground(*painter, option);

    const int side = SymbolLabel::symbolSide(option.font) + 2;
    const QRect symbol(row.left() + horizontalPadding, row.top() + (row.height() - side) / 2, side, side);
    SymbolTable::paint(*painter, symbol, QStringLiteral("folder.fill"), SystemColors::yellow());

    const QString count = badgeText(index);
    const QRect badge = badgeRect(option, count);
    SidebarRowStyle::paintBadge(*painter, badge, count, option.font);

    const int left = symbol.right() + 8;
    const QRect text(left, row.top(), qMax(0, badge.left() - 8 - left), row.height());
    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Text));
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      ElidedLabel::elided(name, option.fontMetrics, text.width()));
    painter->restore();
}
