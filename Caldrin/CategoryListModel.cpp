#include "CategoryListModel.h"

CategoryListModel::CategoryListModel(AppIndex& index, QObject* parent)
    : IncrementalListModel(parent)
    , m_index(index) {
    connect(&index, &AppIndex::updated, this, [this](const AppIndex::Delta& delta) {
        if (delta.renumbered || delta.categoriesChanged)
            refresh();
    });
    refresh();
}

int CategoryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant CategoryListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case CategoryRole:
        return row.name;
    case UnviewedCountRole:
        return row.unviewed;
    default:
        return {};
    }
}

QHash<int, QByteArray> CategoryListModel::roleNames() const {
    QHash<int, QByteArray> names = IncrementalListModel::roleNames();
    names.insert(CategoryRole, "category");
    names.insert(UnviewedCountRole, "unviewedCount");
    return names;
}

QString CategoryListModel::categoryAt(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).name : QString();
}

qint64 CategoryListModel::unviewedCountAt(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).unviewed : 0;
}

int CategoryListModel::rowForCategory(const QString& category) const {
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).name == category)
            return static_cast<int>(row);
    }
    return -1;
}

void CategoryListModel::refresh() {
    const QString all = AppIndex::allCategories();
    QList<Row> target{Row{all, m_index.unviewedCount()}};
    for (const QString& name : m_index.categories()) {
        if (name != all)
            target.append(Row{name, m_index.unviewedCount(name)});
    }
    QHash<QString, qint64> before;
    for (const Row& row : std::as_const(m_rows))
        before.insert(row.name, row.unviewed);
    replaceRows(
        m_rows, target, [](const Row& row) { return row.name; }, WhenMostRowsChange::Update);
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const auto previous = before.constFind(m_rows.at(i).name);
        if (previous != before.cend() && *previous != m_rows.at(i).unviewed)
            emit dataChanged(index(static_cast<int>(i)), index(static_cast<int>(i)), {UnviewedCountRole});
    }
}
