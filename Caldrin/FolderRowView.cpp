#include "FolderRowView.h"

#include "ElidedLabel.h"
#include "SymbolLabel.h"
#include "SymbolTable.h"
#include "SystemColors.h"
#include "TextStyles.h"

#include <QPainter>
#include <QPainterPath>

using Style = TextStyles::Style;

namespace {

QFont badgeFont(const QFont& base) {
    return TextStyles::font(Style::Caption, QFont::DemiBold, base);
}

} // namespace

FolderRowView::FolderRowView(QObject* parent)
    : QStyledItemDelegate(parent) {}

QString FolderRowView::badgeText(const QModelIndex& index) {
    return QString::number(index.data(CountRole).toLongLong());
}

QRect FolderRowView::badgeRect(const QStyleOptionViewItem& option, const QString& text) {
    const QFontMetrics metrics(badgeFont(option.font));
    const int width = qMax(metrics.horizontalAdvance(text) + 16, metrics.height() + 4);
    const int height = metrics.height() + 4;
    const QRect row = option.rect;
    return QRect(row.right() - horizontalPadding - width + 1, row.top() + (row.height() - height) / 2, width,
                 height);
}

QSize FolderRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int text = QFontMetrics(option.font).height();
    const int badge = QFontMetrics(badgeFont(option.font)).height() + 4;
    return QSize(200, qMax(text, badge) + 2 * verticalPadding);
}

void FolderRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect;
    if (option.state & QStyle::State_Selected) {
        // A soft tint rather than the full highlight keeps the yellow and blue legible.
        QColor tint = SystemColors::blue();
        tint.setAlphaF(option.state & QStyle::State_HasFocus ? 0.22 : 0.15);
        QPainterPath path;
        path.addRoundedRect(QRectF(row.adjusted(4, 1, -4, -1)), 6, 6);
        painter->fillPath(path, tint);
    } else if (option.state & QStyle::State_MouseOver) {
        QColor hover = option.palette.color(QPalette::Text);
        hover.setAlphaF(0.05);
        QPainterPath path;
        path.addRoundedRect(QRectF(row.adjusted(4, 1, -4, -1)), 6, 6);
        painter->fillPath(path, hover);
    }

    const int side = SymbolLabel::symbolSide(option.font) + 2;
    const QRect symbol(row.left() + horizontalPadding, row.top() + (row.height() - side) / 2, side, side);
    SymbolTable::paint(*painter, symbol, QStringLiteral("folder.fill"), SystemColors::yellow());

    const QString count = badgeText(index);
    const QRect badge = badgeRect(option, count);
    QPainterPath pill;
    pill.addRoundedRect(QRectF(badge), badgeRadius, badgeRadius);
    painter->fillPath(pill, SystemColors::blue());
    painter->setFont(badgeFont(option.font));
    painter->setPen(Qt::white);
    painter->drawText(badge, Qt::AlignCenter, count);

    const int left = symbol.right() + 8;
    const QRect text(left, row.top(), qMax(0, badge.left() - 8 - left), row.height());
    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Text));
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      ElidedLabel::elided(name, option.fontMetrics, text.width()));
    painter->restore();
}
