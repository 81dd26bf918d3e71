#pragma once

#include <QByteArray>
#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AppModel;
class ModelContext;
class PersistentRecord;
class SqliteDatabase;
enum class RecordKind;

// A compact in-memory index of every app record, so that the main window can
// filter, count and page a store of a million apps without materialising them.
//
// Per record it keeps its primary key, release date, category (as a small id),
// viewed mark and the search text of its name and developer, folded once.
// Records are addressed by slot: slot numbers stay fixed until an update says
// `renumbered` (loading, emptying, compacting).
//
// It is filled by one read of the store: on a read-only connection of its own
// off the main thread (WAL lets it read beside the writer), or on the main
// connection when the context holds unsaved changes that another connection
// could not see. The context's change signals are collected meanwhile and
// applied once the read is in, so nothing that happens during the read is lost.
// After that, changes are applied incrementally, coalesced per turn of the event
// loop, and announced with one `updated()` per batch.
class AppIndex : public QObject {
    Q_OBJECT
public:
    enum class Loading { InBackground, Immediately };
    using Slot = quint32;

    // What one batch of record changes did to the index.
    struct Delta {
        // Slot numbers changed meaning (the index was loaded, emptied or
        // compacted): everything kept per slot must be recomputed.
        bool renumbered = false;
        // Slots added or removed, or whose name, developer, category, release
        // date or viewed mark changed.
        std::vector<Slot> touched;
        // Every app record of the batch: inserted, changed in any field, removed.
        QList<const AppModel*> records;
        // Category names or unviewed counts changed.
        bool categoriesChanged = false;
    };

    explicit AppIndex(ModelContext& context, Loading loading = Loading::InBackground,
                      QObject* parent = nullptr);
    ~AppIndex() override;

    ModelContext& context() const { return m_context; }
    bool isReady() const { return m_ready; }

    // Live slots in list order: newest release first, ties in store order.
    const std::vector<Slot>& order() const { return m_data->order; }
    qint64 appCount() const { return static_cast<qint64>(m_data->order.size()); }
    // Before the index is in: the number of app records the background reader
    // counted first (announced by countedBeforeReady()), so that nobody has to
    // count a million rows on the main thread; empty until then, and when the
    // index is read on the main connection.
    std::optional<qint64> countBeforeReady() const { return m_countBeforeReady; }
    // One past the highest slot number in use (removed slots included).
    qsizetype slotBound() const { return static_cast<qsizetype>(m_data->pk.size()); }
    bool isLive(Slot slot) const { return m_data->flags[slot] & kLive; }
    int categoryOf(Slot slot) const { return static_cast<int>(m_data->category[slot]); }

    // The category list's first entry, which stands for every category.
    static QString allCategories() { return QStringLiteral("All"); }
    // The categories that at least one record has, sorted by plain text order.
    // Before the index is in: those that the store had when it was opened.
    QStringList categories() const;
    // The id of a category name, or -1 when no record has it.
    int categoryId(const QString& name) const;
    // 0 until the index is in.
    qint64 unviewedCount(const QString& category) const;
    qint64 unviewedCount() const { return m_unviewedTotal; }

    // The folded form of a search text or a field: Unicode simple case folding
    // (as QString's case-insensitive comparison) of the canonical composition, as
    // UTF-8. One text contains another case-insensitively when its key contains
    // the other's key.
    static QByteArray searchKey(QStringView text);
    // By slot (slotBound() of them), 1 for each live slot whose name or
    // developer contains the key, else 0. Asked for a key that extends the last
    // one, it narrows that one's matches; the answer is kept in step with every
    // change of the index until another key is asked for.
    const std::vector<quint8>& matchesOf(const QByteArray& key) const;
    // Lets go of the matches kept for the last key (a search was cleared).
    void forgetLastSearch() const;

    // The record of a slot, materialised (or taken from memory). May throw
    // StoreError; null when the record is gone.
    QSharedPointer<AppModel> record(Slot slot) const;
    std::optional<Slot> slotOf(const AppModel* record) const;

    // Applies the changes collected from the context now instead of at the next
    // turn of the event loop.
    void processPendingChanges();

signals:
    void countedBeforeReady();
    void ready();
    void updated(const AppIndex::Delta& delta);

private:
    static constexpr quint8 kLive = 1;
    static constexpr quint8 kViewed = 2;
    static constexpr quint8 kReordering = 4; // out of `order` while a batch is applied

    struct CategoryCount {
        qint64 total = 0;
        qint64 unviewed = 0;
    };

    // Slots by primary key. Keys are given out one after another, so a plain
    // array indexed by key is smaller and faster than a hash; a key far beyond
    // the others goes to the hash instead.
    struct SlotsByKey {
        static constexpr Slot kNone = ~Slot(0);
        std::vector<Slot> dense;
        QHash<qint64, Slot> sparse;

        void reserve(qint64 keys);
        void insert(qint64 pk, Slot slot);
        Slot value(qint64 pk) const;
        void remove(qint64 pk, Slot slot);
    };

    // Everything per slot, in parallel arrays: the index is read far more often
    // than changed, and scans touch one or two arrays only.
    struct Data {
        std::vector<qint64> releaseDate; // milliseconds since the epoch, 0 when unknown
        // Primary keys, 0 until the record first reaches the database. Four
        // bytes each: a key that does not fit (given by hand, or negative) is
        // kept in widePk and marked kWidePk here.
        std::vector<quint32> pk;
        QHash<Slot, qint64> widePk;
        static constexpr quint32 kWidePk = ~quint32(0);
        std::vector<quint32> category;
        std::vector<quint8> flags;
        // The search text of every slot, one after another: folded name, 0xFF,
        // folded developer, 0xFF. 0xFF never occurs in UTF-8, so no match spans
        // two fields, and a removed slot's text is overwritten with it.
        std::vector<char> text;
        std::vector<quint32> textEnd; // slot s's text ends here and starts at textEnd[s - 1]
        // Per slot, the bytes its present text holds: one bit for each of a-z,
        // the other bytes sharing six bits (see byteBit); 0 for a removed slot.
        // A key can only be in texts that have all of its bits.
        std::vector<quint32> byteMask;
        QHash<Slot, QByteArray> movedText; // newer text of slots whose name or developer changed
        std::vector<Slot> order;
        SlotsByKey slotByPk;
        QStringList categoryNames; // by id
        QHash<QString, int> categoryIds;
        std::vector<CategoryCount> categoryCounts; // by id

        Slot append(qint64 pk, qint64 releaseDate, int category, bool viewed, const QByteArray& searchText);
        // Adds a slot whose search text has just been put at the end of `text`.
        Slot appendRow(qint64 pk, qint64 releaseDate, int category, bool viewed);
        // Reserves for that many records and bytes of text, and primary keys
        // below keyBound, with headroom for growth.
        void reserveFor(size_t records, size_t textBytes, qint64 keyBound);
        int categoryIdFor(const QString& name);
        QByteArrayView textOf(Slot slot) const;
        qint64 pkOf(Slot slot) const { return pk[slot] == kWidePk ? widePk.value(slot) : pk[slot]; }
        void setPk(Slot slot, qint64 key);
    };

    // Reading the store hands its rows in chunks from one thread to another.
    struct RawRows;
    class RowFiler;

    struct LoadResult {
        std::shared_ptr<Data> data;
        QString error;
    };

    bool matchesText(Slot slot, const QByteArray& key, quint32 keyMask) const;
    void searchFor(const QByteArray& key) const;
    void refreshLastSearch(const std::vector<Slot>& touched);

    // counted(n) is called with the number of records before they are read.
    static LoadResult load(SqliteDatabase& database, const std::atomic_bool& cancelled,
                           const std::function<void(qint64)>& counted = {});
    static QByteArray searchText(const AppModel& app);
    void loadNow();
    void install(LoadResult result);
    void noteRecord(PersistentRecord* record);
    void noteAllRemoved(RecordKind kind);
    void schedule();
    void clear();
    void compact();
    void removeSlot(Slot slot);
    void addSlot(const QSharedPointer<AppModel>& app, std::vector<Slot>& toOrder);
    bool updateSlot(Slot slot, const AppModel& app, std::vector<Slot>& toOrder);
    void takeKnownKeys(std::vector<Slot>& toOrder);
    // Slots from firstNewSlot on were added by this batch and are in no list yet.
    void reorder(std::vector<Slot>& toOrder, bool anyRemoved, Slot firstNewSlot);
    bool before(Slot a, Slot b) const;
    qint64 tieKey(Slot slot) const;
    void adjustCounts(Slot slot, int sign);

    ModelContext& m_context;
    std::shared_ptr<Data> m_data;
    QStringList m_categoriesBeforeReady;
    std::optional<qint64> m_countBeforeReady;
    qint64 m_unviewedTotal = 0;
    bool m_ready = false;
    bool m_scheduled = false;
    bool m_allRemoved = false;
    bool m_renumbered = false;
    QList<QSharedPointer<AppModel>> m_dirty; // in the order of their first change
    QSet<const PersistentRecord*> m_dirtySet;
    // Records whose slot has no primary key yet, held until the context gives one.
    QHash<Slot, QSharedPointer<AppModel>> m_unsaved;
    QHash<const AppModel*, Slot> m_slotByUnsaved;
    // The last key searched and its matches by slot (live and containing it),
    // kept in step with every change of the index: a keystroke that extends the
    // key is searched among these only. Empty: none kept.
    mutable QByteArray m_lastKey;
    mutable std::vector<quint8> m_lastMatches;
    mutable size_t m_lastCount = 0;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    QFutureWatcher<LoadResult> m_watcher;
};
