#pragma once

#include "AppIndex.h"
#include "IncrementalListModel.h"

#include <QString>

// The main window's category list: "All" first, then every category that some
// record has, sorted by plain text comparison (an empty category is an entry of
// its own), each with its number of unviewed apps ("All": every unviewed app).
// The counts come from the AppIndex, which keeps them as records change, so no
// row is counted again on a change.
//
// A record whose category is literally "All" is counted under the "All" entry
// rather than listed a second time with the same name.
class CategoryListModel : public IncrementalListModel {
    Q_OBJECT
public:
    enum Role { CategoryRole = Qt::UserRole + 1, UnviewedCountRole };

    explicit CategoryListModel(AppIndex& index, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString categoryAt(int row) const;
    qint64 unviewedCountAt(int row) const;
    // The row of a category, or -1 when no record has it.
    int rowForCategory(const QString& category) const;

private:
    struct Row {
        QString name;
        qint64 unviewed = 0;
    };

    void refresh();

    AppIndex& m_index;
    QList<Row> m_rows;
};
