#include "CategoryRowView.h"

#include "CategoryListModel.h"
#include "SystemColors.h"
#include "TextStyles.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

QString CategoryRowView::badgeText(qint64 unviewed) {
    return unviewed >= 1 ? QString::number(unviewed) : QString();
}

QFont CategoryRowView::badgeFont(const QFont& rowFont) {
    return TextStyles::font(TextStyles::Style::Caption, QFont::DemiBold, rowFont);
}

QRect CategoryRowView::badgeRect(const QRect& row, const QFont& rowFont, const QString& text) {
    const QFontMetrics metrics(badgeFont(rowFont));
    const int height = metrics.height() + 2 * badgeVerticalPadding;
    // A capsule never narrower than it is high, so "1" is a circle-ish pill.
    const int width = qMax(height, metrics.horizontalAdvance(text) + 2 * badgeHorizontalPadding);
    return QRect(row.right() - rowPadding - width + 1, row.center().y() - height / 2 + 1, width, height);
}

void CategoryRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

    const QString badge = badgeText(index.data(CategoryListModel::UnviewedCountRole).toLongLong());
    const QRect badgeArea = badge.isEmpty() ? QRect() : badgeRect(option.rect, option.font, badge);
    const bool selected = option.state & QStyle::State_Selected;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QRect textArea = option.rect.adjusted(rowPadding, 0, -rowPadding, 0);
    if (!badge.isEmpty())
        textArea.setRight(badgeArea.left() - rowPadding);
    painter->setFont(option.font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QString name = index.data(CategoryListModel::CategoryRole).toString();
    painter->drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(name, Qt::ElideRight, textArea.width()));
    if (!badge.isEmpty()) {
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(badgeArea), badgeCornerRadius, badgeCornerRadius);
        painter->fillPath(capsule, SystemColors::blue());
        // On a selected row a white outline keeps the capsule apart from the
        // selection's own blue.
        if (selected)
            painter->strokePath(capsule, QPen(QColor(255, 255, 255, 200), 1.2));
        painter->setFont(badgeFont(option.font));
        painter->setPen(Qt::white);
        painter->drawText(badgeArea, Qt::AlignCenter, badge);
    }
    painter->restore();
}

QSize CategoryRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int text = QFontMetrics(option.font).height();
    const int badge = QFontMetrics(badgeFont(option.font)).height() + 2 * badgeVerticalPadding;
    return QSize(option.rect.width(), qMax(text, badge) + 2 * 5);
}
