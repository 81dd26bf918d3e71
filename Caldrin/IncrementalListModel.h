#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>

#include <algorithm>

// A list model that moves from one list of rows to the next with the smallest
// notifications: runs of removed rows, one layout change when kept rows changed
// places (persistent indexes, and so the selection, follow them), runs of
// inserted rows. Views keep their scroll position and selection through it.
class IncrementalListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

protected:
    enum class WhenMostRowsChange { Reset, Update };

    // Replaces rows by target. Rows are told apart by keyOf (unique per list).
    // Kept rows take their values from target without a dataChanged, which is
    // the caller's to send. With Reset, a change in which fewer than half of the
    // rows are kept becomes one model reset; returns whether it did.
    template <class Row, class KeyOf>
    bool replaceRows(QList<Row>& rows, const QList<Row>& target, KeyOf keyOf, WhenMostRowsChange mode) {
        using Key = std::decay_t<decltype(keyOf(target.first()))>;
        QHash<Key, qsizetype> targetRow;
        targetRow.reserve(target.size());
        for (qsizetype i = 0; i < target.size(); ++i)
            targetRow.insert(keyOf(target.at(i)), i);
        QSet<Key> present;
        present.reserve(rows.size());
        qsizetype kept = 0;
        for (const Row& row : std::as_const(rows)) {
            present.insert(keyOf(row));
            if (targetRow.contains(keyOf(row)))
                ++kept;
        }
        const qsizetype larger = std::max(rows.size(), target.size());
        if (mode == WhenMostRowsChange::Reset && !rows.isEmpty() && !target.isEmpty() && kept * 2 < larger) {
            beginResetModel();
            rows = target;
            endResetModel();
            return true;
        }
        // Removed runs, from the bottom up so that earlier rows keep their numbers.
        for (qsizetype last = rows.size() - 1; last >= 0; --last) {
            if (targetRow.contains(keyOf(rows.at(last))))
                continue;
            qsizetype first = last;
            while (first > 0 && !targetRow.contains(keyOf(rows.at(first - 1))))
                --first;
            beginRemoveRows({}, static_cast<int>(first), static_cast<int>(last));
            rows.remove(first, last - first + 1);
            endRemoveRows();
            last = first;
        }
        // Kept rows in a new order.
        bool inOrder = true;
        for (qsizetype i = 1; i < rows.size() && inOrder; ++i)
            inOrder = targetRow.value(keyOf(rows.at(i - 1))) < targetRow.value(keyOf(rows.at(i)));
        if (!inOrder) {
            emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
            QList<Row> sorted = rows;
            std::sort(sorted.begin(), sorted.end(), [&](const Row& a, const Row& b) {
                return targetRow.value(keyOf(a)) < targetRow.value(keyOf(b));
            });
            QHash<Key, int> sortedRow;
            for (qsizetype i = 0; i < sorted.size(); ++i)
                sortedRow.insert(keyOf(sorted.at(i)), static_cast<int>(i));
            const QModelIndexList from = persistentIndexList();
            QModelIndexList to;
            to.reserve(from.size());
            for (const QModelIndex& index : from)
                to.append(this->index(sortedRow.value(keyOf(rows.at(index.row())))));
            changePersistentIndexList(from, to);
            rows = std::move(sorted);
            emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
        }
        // Inserted runs, from the top down: each lands where the target has it.
        for (qsizetype first = 0; first < target.size(); ++first) {
            if (present.contains(keyOf(target.at(first)))) {
                rows[first] = target.at(first);
                continue;
            }
            qsizetype last = first;
            while (last + 1 < target.size() && !present.contains(keyOf(target.at(last + 1))))
                ++last;
            beginInsertRows({}, static_cast<int>(first), static_cast<int>(last));
            for (qsizetype i = first; i <= last; ++i)
                rows.insert(i, target.at(i));
            endInsertRows();
            first = last;
        }
        return false;
    }
};
