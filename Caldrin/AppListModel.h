#pragma once

#include "AppIndex.h"
#include "IncrementalListModel.h"

#include <QSet>
#include <QSharedPointer>
#include <QString>

#include <optional>
#include <vector>

class AppModel;

// The main window's list of apps: the records that match the search text and
// the selected category, newest release first, of which the first displayLimit
// are rows. Filtering and counting run on the AppIndex; only the displayed rows
// are materialised (without their descriptions).
//
// The search keeps records whose name or developer contains the text as typed
// (untrimmed), ignoring case the way QString's case-insensitive comparison does,
// after canonical composition (so a decomposed "é" matches a composed one). "ß"
// matches "ẞ" but not "SS". The category filter is exact; "All" is no filter.
//
// Before the index has been read, the first page comes from an indexed query,
// so the window paints at once; a search typed in that moment is applied when
// the index is in.
class AppListModel : public IncrementalListModel {
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QString selectedCategory READ selectedCategory WRITE setSelectedCategory NOTIFY
                   selectedCategoryChanged)
    Q_PROPERTY(qint64 displayLimit READ displayLimit WRITE setDisplayLimit NOTIFY displayLimitChanged)
    Q_PROPERTY(qint64 filteredCount READ filteredCount NOTIFY filteredCountChanged)
    Q_PROPERTY(qint64 remaining READ remaining NOTIFY remainingChanged)
public:
    // data(RecordRole) is the row's AppModel* (QVariant::fromValue).
    enum Role { RecordRole = Qt::UserRole + 1 };
    static constexpr qint64 kPageSize = 50;

    explicit AppListModel(AppIndex& index, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QString& searchText() const { return m_searchText; }
    // Also brings displayLimit back to one page.
    void setSearchText(const QString& text);
    const QString& selectedCategory() const { return m_category; }
    // Also brings displayLimit back to one page.
    void setSelectedCategory(const QString& category);
    qint64 displayLimit() const { return m_limit; }
    void setDisplayLimit(qint64 limit);
    // "Load More": one more page.
    void loadMore();
    // The records that match, shown or not ("Apps (<n>)").
    // Before the index is in, the count of every record may still be coming
    // (the rows shown stand in for it until then).
    qint64 filteredCount() const;
    bool isCountKnown() const { return m_rowsKeyedBySlot || m_countBeforeIndex.has_value(); }
    // The matching records beyond the displayed ones ("Load More (<r> remaining)").
    qint64 remaining() const { return std::max<qint64>(0, filteredCount() - m_limit); }

    AppModel* recordAt(int row) const;
    // The row showing the app, or -1; for keeping the selection across resets.
    int rowForAppleID(const QString& appleID) const;

signals:
    void searchTextChanged(const QString& text);
    void selectedCategoryChanged(const QString& category);
    void displayLimitChanged(qint64 limit);
    void filteredCountChanged(qint64 count);
    void remainingChanged(qint64 remaining);

private:
    using Slot = AppIndex::Slot;
    struct Row {
        quint64 key; // the slot, once the index is read
        QSharedPointer<AppModel> record;
    };

    void indexUpdated(const AppIndex::Delta& delta);
    void searchAll();
    void narrowSearch();
    void collectMatches();
    void filterCategory();
    const std::vector<Slot>& filtered() const;
    void updateRows(const QSet<const AppModel*>& changed);
    // Until the index is in, the rows come from the store; true then.
    bool servedFromStore();
    void refreshFromStore();
    void resetLimit();
    void announceCounts();
    void takeCountBeforeIndex();

    AppIndex& m_index;
    QString m_searchText;
    QByteArray m_key;
    QString m_category;
    qint64 m_limit = kPageSize;
    std::vector<Slot> m_searchMatches; // in list order, while searching
    std::vector<Slot> m_filtered;      // in list order, while a category is chosen
    std::optional<qint64> m_countBeforeIndex;
    bool m_rowsKeyedBySlot = false;
    QList<Row> m_rows;
    qint64 m_announcedCount = -1;
    qint64 m_announcedRemaining = -1;
};
