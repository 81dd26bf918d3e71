#include "LoadMoreRowModel.h"

#include "AppListModel.h"

LoadMoreRowModel::LoadMoreRowModel(AppListModel& list, QObject* parent)
    : QIdentityProxyModel(parent)
    , m_list(list) {
    setSourceModel(&list);
    m_hasRow = list.remaining() > 0;
    // The list announces its counts after its rows, so the row count seen
    // through this model is consistent at every signal.
    connect(&list, &AppListModel::remainingChanged, this, &LoadMoreRowModel::remainingChanged);
}

QString LoadMoreRowModel::loadMoreText(qint64 remaining) {
    return QStringLiteral("Load More (") + QString::number(remaining) + QStringLiteral(" remaining)");
}

void LoadMoreRowModel::remainingChanged(qint64 remaining) {
    const bool wanted = remaining > 0;
    const int row = m_list.rowCount();
    if (wanted && !m_hasRow) {
        beginInsertRows({}, row, row);
        m_hasRow = true;
        endInsertRows();
    } else if (!wanted && m_hasRow) {
        beginRemoveRows({}, row, row);
        m_hasRow = false;
        endRemoveRows();
    } else if (wanted) {
        const QModelIndex changed = index(row, 0);
        emit dataChanged(changed, changed);
    }
}

int LoadMoreRowModel::loadMoreRow() const {
    return m_hasRow ? m_list.rowCount() : -1;
}

bool LoadMoreRowModel::isLoadMoreRow(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && index.internalId() == kLoadMoreId;
}

int LoadMoreRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.rowCount() + (m_hasRow ? 1 : 0);
}

QModelIndex LoadMoreRowModel::index(int row, int column, const QModelIndex& parent) const {
    if (!parent.isValid() && column == 0 && m_hasRow && row == m_list.rowCount())
        return createIndex(row, column, kLoadMoreId);
    return QIdentityProxyModel::index(row, column, parent);
}

QModelIndex LoadMoreRowModel::parent(const QModelIndex& child) const {
    return isLoadMoreRow(child) ? QModelIndex() : QIdentityProxyModel::parent(child);
}

QModelIndex LoadMoreRowModel::sibling(int row, int column, const QModelIndex& index) const {
    return this->index(row, column, parent(index));
}

QModelIndex LoadMoreRowModel::mapToSource(const QModelIndex& proxyIndex) const {
    return isLoadMoreRow(proxyIndex) ? QModelIndex() : QIdentityProxyModel::mapToSource(proxyIndex);
}

QVariant LoadMoreRowModel::data(const QModelIndex& index, int role) const {
    if (!isLoadMoreRow(index))
        return QIdentityProxyModel::data(index, role);
    switch (role) {
    case RemainingRole:
        return m_list.remaining();
    case Qt::AccessibleTextRole:
        return loadMoreText(m_list.remaining());
    default:
        return {};
    }
}

Qt::ItemFlags LoadMoreRowModel::flags(const QModelIndex& index) const {
    return isLoadMoreRow(index) ? Qt::NoItemFlags : QIdentityProxyModel::flags(index);
}

bool LoadMoreRowModel::hasChildren(const QModelIndex& parent) const {
    return parent.isValid() ? false : rowCount() > 0;
}
