#pragma once

#include <QStyledItemDelegate>

// Paints one folder of the favorites sidebar: the yellow folder symbol, the
// folder's name and a blue badge with the number of apps in it (also 0). The
// name comes from Qt::DisplayRole, the number from CountRole.
class FolderRowView : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int CountRole = Qt::UserRole + 2;
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 7;

    explicit FolderRowView(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the badge is drawn in a row, and its text.
    static QRect badgeRect(const QStyleOptionViewItem& option, const QString& text);
    static QString badgeText(const QModelIndex& index);
};
