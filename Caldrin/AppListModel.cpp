#include "AppListModel.h"

#include "AppModel.h"
#include "Console.h"
#include "ModelContext.h"
#include "SqliteStatement.h"
#include "StoreError.h"

namespace {

// Rows read before the index are told apart by primary key, rows whose record is
// lost by position; neither can be taken for a slot number.
constexpr quint64 kStoreKey = quint64(1) << 62;
constexpr quint64 kLostKey = quint64(1) << 63;

} // namespace

AppListModel::AppListModel(AppIndex& index, QObject* parent)
    : IncrementalListModel(parent)
    , m_index(index)
    , m_category(AppIndex::allCategories()) {
    connect(&index, &AppIndex::updated, this, &AppListModel::indexUpdated);
    connect(&index, &AppIndex::countedBeforeReady, this, &AppListModel::takeCountBeforeIndex);
    if (index.isReady()) {
        m_rowsKeyedBySlot = true;
        updateRows({});
    } else {
        refreshFromStore();
    }
}

int AppListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant AppListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return row.record ? row.record->name() : QString();
    case RecordRole:
        return QVariant::fromValue(row.record.data());
    default:
        return {};
    }
}

QHash<int, QByteArray> AppListModel::roleNames() const {
    QHash<int, QByteArray> names = IncrementalListModel::roleNames();
    names.insert(RecordRole, "record");
    return names;
}

void AppListModel::setSearchText(const QString& text) {
    if (text == m_searchText)
        return;
    const QByteArray previous = std::exchange(m_key, AppIndex::searchKey(text));
    m_searchText = text;
    emit searchTextChanged(text);
    resetLimit();
    if (servedFromStore())
        return;
    if (m_key != previous) {
        // Each keystroke that extends the text only narrows the last matches.
        if (!previous.isEmpty() && m_key.contains(previous))
            narrowSearch();
        else
            searchAll();
        filterCategory();
    }
    updateRows({});
}

void AppListModel::setSelectedCategory(const QString& category) {
    if (category == m_category)
        return;
    m_category = category;
    emit selectedCategoryChanged(category);
    resetLimit();
    if (servedFromStore())
        return;
    filterCategory();
    updateRows({});
}

void AppListModel::setDisplayLimit(qint64 limit) {
    limit = std::max<qint64>(0, limit);
    if (limit == m_limit)
        return;
    m_limit = limit;
    emit displayLimitChanged(limit);
    if (!servedFromStore())
        updateRows({});
}

bool AppListModel::servedFromStore() {
    if (m_index.isReady())
        return false;
    refreshFromStore();
    return true;
}

void AppListModel::loadMore() {
    setDisplayLimit(m_limit + kPageSize);
}

void AppListModel::resetLimit() {
    if (m_limit == kPageSize)
        return;
    m_limit = kPageSize;
    emit displayLimitChanged(m_limit);
}

qint64 AppListModel::filteredCount() const {
    if (m_rowsKeyedBySlot)
        return static_cast<qint64>(filtered().size());
    return m_countBeforeIndex.value_or(m_rows.size());
}

AppModel* AppListModel::recordAt(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).record.data() : nullptr;
}

int AppListModel::rowForAppleID(const QString& appleID) const {
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).record && m_rows.at(row).record->appleID() == appleID)
            return static_cast<int>(row);
    }
    return -1;
}

void AppListModel::indexUpdated(const AppIndex::Delta& delta) {
    const QSet<const AppModel*> changed(delta.records.cbegin(), delta.records.cend());
    if (delta.renumbered || !m_rowsKeyedBySlot) {
        // Slot numbers are new: the rows are known again by their records.
        for (qsizetype i = 0; i < m_rows.size(); ++i) {
            Row& row = m_rows[i];
            const auto slot = row.record ? m_index.slotOf(row.record.data()) : std::nullopt;
            row.key = slot ? *slot : kLostKey | static_cast<quint64>(i);
        }
        m_rowsKeyedBySlot = true;
        searchAll();
        filterCategory();
    } else if (!delta.touched.empty()) {
        // The index has brought its matches up to date already.
        if (!m_key.isEmpty())
            collectMatches();
        filterCategory();
    }
    updateRows(changed);
}

void AppListModel::searchAll() {
    if (!m_key.isEmpty()) {
        collectMatches();
        return;
    }
    m_searchMatches = {};
    m_index.forgetLastSearch(); // a million flags kept up to date for nobody
}

void AppListModel::narrowSearch() {
    const std::vector<quint8>& found = m_index.matchesOf(m_key);
    std::erase_if(m_searchMatches, [&found](Slot slot) { return !found[slot]; });
}

void AppListModel::collectMatches() {
    const std::vector<quint8>& found = m_index.matchesOf(m_key);
    m_searchMatches.clear();
    for (const Slot slot : m_index.order()) {
        if (found[slot])
            m_searchMatches.push_back(slot);
    }
}

void AppListModel::filterCategory() {
    m_filtered.clear();
    if (m_category == AppIndex::allCategories())
        return;
    const int category = m_index.categoryId(m_category);
    if (category < 0)
        return; // no record has it (any more)
    const std::vector<Slot>& source = m_key.isEmpty() ? m_index.order() : m_searchMatches;
    for (const Slot slot : source) {
        if (m_index.categoryOf(slot) == category)
            m_filtered.push_back(slot);
    }
}

const std::vector<AppIndex::Slot>& AppListModel::filtered() const {
    if (m_category != AppIndex::allCategories())
        return m_filtered;
    return m_key.isEmpty() ? m_index.order() : m_searchMatches;
}

void AppListModel::updateRows(const QSet<const AppModel*>& changed) {
    const std::vector<Slot>& matching = filtered();
    const auto shown =
        static_cast<qsizetype>(std::min<qint64>(m_limit, static_cast<qint64>(matching.size())));
    QHash<quint64, QSharedPointer<AppModel>> before;
    before.reserve(m_rows.size());
    for (const Row& row : std::as_const(m_rows))
        before.insert(row.key, row.record);
    QList<Row> target;
    target.reserve(shown);
    bool reported = false;
    for (qsizetype i = 0; i < shown; ++i) {
        const Slot slot = matching[static_cast<size_t>(i)];
        QSharedPointer<AppModel> record = before.value(slot);
        if (!record) {
            try {
                record = m_index.record(slot);
            } catch (const StoreError& error) {
                // The row stays, empty, and is read again with the next update.
                if (!std::exchange(reported, true))
                    Console::print(QStringLiteral("❌ Could not read an app of the list: ") +
                                   error.description());
            }
        }
        target.append(Row{slot, record});
    }
    const bool wasReset = replaceRows(
        m_rows, target, [](const Row& row) { return row.key; }, WhenMostRowsChange::Reset);
    if (!wasReset) {
        for (qsizetype i = 0; i < m_rows.size(); ++i) {
            const Row& row = m_rows.at(i);
            const auto previous = before.constFind(row.key);
            if (previous != before.cend() &&
                (previous->data() != row.record.data() || changed.contains(row.record.data())))
                emit dataChanged(index(static_cast<int>(i)), index(static_cast<int>(i)));
        }
    }
    announceCounts();
}

void AppListModel::refreshFromStore() {
    if (!m_key.isEmpty())
        return; // searching needs the index
    QList<Row> target;
    try {
        ModelContext& context = m_index.context();
        const bool all = m_category == AppIndex::allCategories();
        const QString category = m_category;
        const auto apps = context.fetchWhere<AppModel>(
            all ? QByteArray() : QByteArray("category = ?"),
            [all, category](SqliteStatement& statement) {
                if (!all)
                    statement.bind(1, category);
            },
            "releaseDate DESC", m_limit);
        if (apps.size() < m_limit)
            m_countBeforeIndex = apps.size();
        else if (all)
            m_countBeforeIndex = m_index.countBeforeReady(); // counted off the main thread
        else
            m_countBeforeIndex = context.count<AppModel>(FetchDescriptor::equal("category", category));
        for (const auto& app : apps)
            target.append(Row{kStoreKey | static_cast<quint64>(app->persistentId()), app});
    } catch (const StoreError& error) {
        Console::print(QStringLiteral("❌ Could not read the app list: ") + error.description());
        return;
    }
    replaceRows(
        m_rows, target, [](const Row& row) { return row.key; }, WhenMostRowsChange::Reset);
    announceCounts();
}

void AppListModel::takeCountBeforeIndex() {
    if (m_rowsKeyedBySlot || m_countBeforeIndex || !m_key.isEmpty() ||
        m_category != AppIndex::allCategories())
        return;
    m_countBeforeIndex = m_index.countBeforeReady();
    announceCounts();
}

void AppListModel::announceCounts() {
    // An unknown count is announced apart from the same number known.
    const qint64 count = filteredCount();
    if (const qint64 announced = isCountKnown() ? count : -2; announced != m_announcedCount) {
        m_announcedCount = announced;
        emit filteredCountChanged(count);
    }
    if (const qint64 left = remaining(); left != m_announcedRemaining) {
        m_announcedRemaining = left;
        emit remainingChanged(left);
    }
}
