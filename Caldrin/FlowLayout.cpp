#include "FlowLayout.h"

#include <QWidget>

FlowLayout::FlowLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent)
    , m_horizontalSpacing(horizontalSpacing)
    , m_verticalSpacing(verticalSpacing) {
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item) {
    m_items.append(item);
    invalidate();
}

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

int FlowLayout::heightForWidth(int width) const {
    return arrange(QRect(0, 0, width, 0), true);
}

QSize FlowLayout::minimumSize() const {
    // As narrow as the widest item: everything else can move to a line of its own.
    QSize size;
    for (const QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    }
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const {
    // Everything on one line.
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += (width > 0 ? m_horizontalSpacing : 0) + hint.width();
        height = qMax(height, hint.height());
    }
    const QMargins margins = contentsMargins();
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, false);
}

int FlowLayout::arrange(const QRect& rect, bool testOnly) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int lineHeight = 0;
    // Items of one line share its height and are centred in it.
    QList<QPair<QLayoutItem*, QPoint>> line;
    auto finishLine = [&] {
        if (!testOnly) {
            for (const auto& [item, at] : std::as_const(line)) {
                const QSize size = item->sizeHint();
                item->setGeometry(QRect(QPoint(at.x(), at.y() + (lineHeight - size.height()) / 2), size));
            }
        }
        line.clear();
    };
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint();
        if (!line.isEmpty() && x + size.width() > area.right() + 1) {
            finishLine();
            x = area.x();
            y += lineHeight + m_verticalSpacing;
            lineHeight = 0;
        }
        line.append({item, QPoint(x, y)});
        x += size.width() + m_horizontalSpacing;
        lineHeight = qMax(lineHeight, size.height());
    }
    finishLine();
    const QMargins margins = contentsMargins();
    return y + lineHeight - rect.y() + margins.bottom();
}
