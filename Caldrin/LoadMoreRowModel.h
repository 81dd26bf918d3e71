#pragma once

#include <QIdentityProxyModel>

class AppListModel;

// The app list with the load-more row after its last app: present only while
// more records match than are displayed. The row holds no record, cannot be
// selected and is skipped by the keyboard; the view puts its button on it.
class LoadMoreRowModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    // data(RemainingRole) on the load-more row: the number of matching records
    // beyond the displayed ones.
    enum Role { RemainingRole = Qt::UserRole + 100 };

    explicit LoadMoreRowModel(AppListModel& list, QObject* parent = nullptr);

    AppListModel& list() const { return m_list; }
    // The load-more row, or -1 when there is none.
    int loadMoreRow() const;
    bool isLoadMoreRow(const QModelIndex& index) const;
    // "Load More (<r> remaining)".
    static QString loadMoreText(qint64 remaining);

    int rowCount(const QModelIndex& parent = {}) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

private:
    static constexpr quintptr kLoadMoreId = 1;

    void remainingChanged(qint64 remaining);

    AppListModel& m_list;
    bool m_hasRow = false;
};
