#include "AppIndex.h"

#include "AppModel.h"
#include "Console.h"
#include "ModelContext.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"

#include "FreeMemory.h"
#include "HandOffQueue.h"

#include <QMetaObject>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>
#include <QThread>

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char kFieldEnd = '\xFF';
// Slots without a primary key sort after every stored record with the same
// release date, in the order they were inserted, as their keys will.
constexpr qint64 kUnsavedTieBase = qint64(1) << 62;

bool isAscii(const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return false;
    }
    return true;
}

// Simple case folding is plain lower-casing in ASCII, which is most names.
void foldAscii(char* target, const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        target[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    }
}

void appendFoldedAscii(QByteArray& out, const char* data, qsizetype size) {
    const qsizetype start = out.size();
    out.resize(start + size);
    foldAscii(out.data() + start, data, size);
}

// The first place of a key of two bytes or more in [at, end), or null. Places
// where both of its first two bytes are are sought sixteen at a time, so that
// the common first byte of a short key costs no call per place.
const char* findPair(const char* at, const char* end, const char* key, size_t length) {
#if defined(__SSE2__)
    if (end - at >= 17) {
        const __m128i first = _mm_set1_epi8(key[0]);
        const __m128i second = _mm_set1_epi8(key[1]);
        // Bit i: the pair is at block + i.
        const auto pairsAt = [&](const char* block) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 1));
            return static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(next, second))));
        };
        const auto keyAt = [&](const char* block, unsigned pairs) -> const char* {
            for (; pairs != 0; pairs &= pairs - 1) {
                const char* place = block + __builtin_ctz(pairs);
                if (static_cast<size_t>(end - place) < length)
                    return nullptr;
                if (length == 2 || memcmp(place + 2, key + 2, length - 2) == 0)
                    return place;
            }
            return nullptr;
        };
        // Blocks of sixteen places; the last one ends with the range, its places
        // looked at already left out.
        const char* const lastBlock = end - 17;
        const char* block = at;
        for (; block <= lastBlock; block += 16) {
            if (const char* place = keyAt(block, pairsAt(block)))
                return place;
        }
        const auto seen = static_cast<int>(block - lastBlock);
        return seen < 16 ? keyAt(lastBlock, pairsAt(lastBlock) >> seen << seen) : nullptr;
    }
#endif
    for (; static_cast<size_t>(end - at) >= length; ++at) {
        if (at[0] == key[0] && at[1] == key[1] && (length == 2 || memcmp(at + 2, key + 2, length - 2) == 0))
            return at;
    }
    return nullptr;
}

// The first place of the key in [at, end), or null. The library's memmem
// prepares a table on every call, and a keystroke calls it once per slot.
const char* findKey(const char* at, const char* end, const QByteArray& key) {
    const auto length = static_cast<size_t>(key.size());
    if (length >= 2)
        return findPair(at, end, key.constData(), length);
    if (length == 0)
        return at;
    return static_cast<const char*>(memchr(at, key.constData()[0], static_cast<size_t>(end - at)));
}

// a-z get a bit each, as most keys are made of them, and a one-letter key is
// answered by its bit alone; every other byte shares one of six.
constexpr quint32 kLetterBits = (quint32(1) << 26) - 1;

constexpr quint32 byteBit(unsigned char byte) {
    return byte >= 'a' && byte <= 'z' ? quint32(1) << (byte - 'a') : quint32(1) << (26 + byte % 6);
}

constexpr std::array<quint32, 256> kByteBits = [] {
    std::array<quint32, 256> bits{};
    for (size_t byte = 0; byte < bits.size(); ++byte)
        bits[byte] = byteBit(static_cast<unsigned char>(byte));
    return bits;
}();

quint32 maskOf(QByteArrayView text) {
    quint32 mask = 0;
    for (const char c : text)
        mask |= kByteBits[static_cast<unsigned char>(c)];
    return mask;
}

// Calls work(first, last) over [0, total), in two halves at once, one of them
// on a worker thread, when the work is large: weight items or more.
template <typename Work> void inHalves(size_t total, const Work& work, size_t weight) {
    constexpr size_t kSplitFrom = 100'000;
    if (weight < kSplitFrom || QThread::idealThreadCount() < 2) {
        work(size_t(0), total);
        return;
    }
    const size_t half = total / 2;
    QFuture<void> other = QtConcurrent::run([&work, half, total] { work(half, total); });
    work(size_t(0), half);
    other.waitForFinished();
}

qint64 storedDate(const QDateTime& date) {
    return date.isValid() ? date.toMSecsSinceEpoch() : 0;
}

} // namespace

// Rows as read, before folding: a chunk handed from the reading thread to the
// filing one.
struct AppIndex::RawRows {
    static constexpr size_t kRows = 8192;
    std::vector<qint64> pk;
    std::vector<qint64> releaseDate;
    std::vector<quint8> viewed;
    std::vector<quint32> ends; // per row: the ends of its category, name and developer in bytes
    std::vector<char> bytes;

    size_t size() const { return pk.size(); }
    void add(SqliteStatement& row) {
        if (pk.empty()) {
            pk.reserve(kRows);
            releaseDate.reserve(kRows);
            viewed.reserve(kRows);
            ends.reserve(3 * kRows);
            bytes.reserve(64 * kRows);
        }
        pk.push_back(row.int64(0));
        releaseDate.push_back(row.int64(1));
        viewed.push_back(row.boolean(3));
        for (const int column : {2, 4, 5}) {
            const QByteArrayView field = row.utf8(column);
            bytes.insert(bytes.end(), field.begin(), field.end());
            ends.push_back(static_cast<quint32>(bytes.size()));
        }
    }
    QByteArrayView field(size_t row, int which) const {
        const size_t at = 3 * row + static_cast<size_t>(which);
        const quint32 start = at == 0 ? 0 : ends[at - 1];
        return {bytes.data() + start, static_cast<qsizetype>(ends[at] - start)};
    }
};

// Folds the rows of each chunk in turn into the index's data, in order.
class AppIndex::RowFiler {
public:
    explicit RowFiler(Data& data)
        : m_data(data) {}

    void file(const RawRows& rows) {
        for (size_t row = 0; row < rows.size(); ++row) {
            const QByteArrayView categoryBytes = rows.field(row, 0);
            auto known = m_categoryByUtf8.constFind(
                QByteArray::fromRawData(categoryBytes.data(), categoryBytes.size()));
            if (known == m_categoryByUtf8.cend())
                known = m_categoryByUtf8.insert(categoryBytes.toByteArray(),
                                                m_data.categoryIdFor(QString::fromUtf8(categoryBytes)));
            for (const int which : {1, 2}) {
                fold(rows.field(row, which));
                m_data.text.push_back(kFieldEnd);
            }
            m_data.appendRow(rows.pk[row], rows.releaseDate[row], known.value(), rows.viewed[row]);
        }
    }

private:
    void fold(QByteArrayView field) {
        std::vector<char>& text = m_data.text;
        if (isAscii(field.data(), field.size())) {
            const size_t start = text.size();
            text.resize(start + static_cast<size_t>(field.size()));
            foldAscii(text.data() + start, field.data(), field.size());
        } else {
            // Folding beyond ASCII normalises a QString first, which costs far
            // more than finding an earlier fold of the same text (many apps
            // share a developer).
            QByteArray key = m_foldedBeyondAscii.value(QByteArray::fromRawData(field.data(), field.size()));
            if (key.isEmpty()) {
                key = searchKey(QString::fromUtf8(field));
                if (m_foldedBeyondAscii.size() < kFoldsKept)
                    m_foldedBeyondAscii.insert(field.toByteArray(), key);
            }
            text.insert(text.end(), key.cbegin(), key.cend());
        }
    }

    static constexpr qsizetype kFoldsKept = 100'000;
    Data& m_data;
    QHash<QByteArray, int> m_categoryByUtf8;
    QHash<QByteArray, QByteArray> m_foldedBeyondAscii;
};

AppIndex::AppIndex(ModelContext& context, Loading loading, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_data(std::make_shared<Data>())
    , m_cancelled(std::make_shared<std::atomic_bool>(false)) {
    connect(&context, &ModelContext::recordInserted, this, &AppIndex::noteRecord);
    connect(&context, &ModelContext::recordChanged, this, &AppIndex::noteRecord);
    connect(&context, &ModelContext::recordRemoved, this, &AppIndex::noteRecord);
    connect(&context, &ModelContext::allRecordsRemoved, this, &AppIndex::noteAllRemoved);
    connect(&context, &ModelContext::didSave, this, [this] {
        if (!m_unsaved.isEmpty())
            schedule();
    });
    connect(&m_watcher, &QFutureWatcher<LoadResult>::finished, this, [this] {
        LoadResult result = m_watcher.result();
        if (!result.data) {
            // The second connection could not read the file; the main one may.
            Console::print(QStringLiteral("⚠️ Reading the app list in the background failed: ") +
                           result.error);
            loadNow();
            return;
        }
        install(std::move(result));
    });

    const QString path = context.database().path();
    if (loading == Loading::Immediately || !context.readableBeside()) {
        loadNow();
        return;
    }
    // The category names come first, by one index seek each, so that the list
    // of categories is there with the first page; their counts follow the index.
    try {
        SqliteStatement names(
            context.database(),
            "WITH RECURSIVE next(category) AS (SELECT min(category) FROM AppModel UNION ALL "
            "SELECT (SELECT min(category) FROM AppModel WHERE category > next.category) "
            "FROM next WHERE next.category IS NOT NULL) "
            "SELECT category FROM next WHERE category IS NOT NULL");
        while (names.step())
            m_categoriesBeforeReady.append(names.text(0));
        std::sort(m_categoriesBeforeReady.begin(), m_categoriesBeforeReady.end());
    } catch (const StoreError&) {
        // Then the categories come with the counts.
    }
    const std::shared_ptr<std::atomic_bool> cancelled = m_cancelled;
    // The destructor waits for the reader, so the index outlives this call.
    auto counted = [this](qint64 count) {
        QMetaObject::invokeMethod(
            this,
            [this, count] {
                if (m_ready)
                    return;
                m_countBeforeReady = count;
                emit countedBeforeReady();
            },
            Qt::QueuedConnection);
    };
    m_watcher.setFuture(QtConcurrent::run([path, cancelled, counted] {
        try {
            SqliteDatabase database;
            database.openReader(path);
            LoadResult result = load(database, *cancelled, counted);
            // What reading left free on the workers (chunks, folds) is of no
            // use to the main thread.
            FreeMemory::handBack();
            return result;
        } catch (const StoreError& error) {
            return LoadResult{nullptr, error.description()};
        }
    }));
}

AppIndex::~AppIndex() {
    // The reader stops at its next check; waiting keeps it from outliving the
    // store it reads.
    m_cancelled->store(true);
    m_watcher.disconnect(this);
    m_watcher.waitForFinished();
}

AppIndex::LoadResult AppIndex::load(SqliteDatabase& database, const std::atomic_bool& cancelled,
                                    const std::function<void(qint64)>& counted) {
    auto data = std::make_shared<Data>();
    const qint64 count = database.queryInt64("SELECT count(*) FROM AppModel");
    if (counted)
        counted(count);
    data->reserveFor(static_cast<size_t>(count), static_cast<size_t>(count) * 40,
                     database.queryInt64("SELECT max(pk) FROM AppModel") + 1);

    // Served by the covering index AppModel_list: the rows come in list order
    // and the table itself, with its descriptions, is never read.
    SqliteStatement statement(database, "SELECT pk, releaseDate, category, isViewed, name, developerName "
                                        "FROM AppModel ORDER BY releaseDate DESC, pk ASC");
    // Stepping through the index costs SQLite about as long as folding and
    // filing the rows costs us, so a second thread does the filing meanwhile.
    HandOffQueue<RawRows> chunks(4);
    std::thread filer([&chunks, &data] {
        RowFiler filing(*data);
        while (std::optional<RawRows> chunk = chunks.take())
            filing.file(*chunk);
    });
    {
        // The filer is done at the end of this block, also when a step fails
        // or the read is cancelled.
        const auto finish = qScopeGuard([&] {
            chunks.close();
            filer.join();
        });
        RawRows chunk;
        while (statement.step()) {
            chunk.add(statement);
            if (chunk.size() == RawRows::kRows) {
                if (cancelled.load(std::memory_order_relaxed))
                    return {nullptr, QStringLiteral("cancelled")};
                chunks.put(std::exchange(chunk, {}));
            }
        }
        chunks.put(std::move(chunk));
    }
    // Read in list order, so the order is the slots themselves.
    data->order.resize(data->pk.size());
    for (Slot slot = 0; slot < data->order.size(); ++slot)
        data->order[slot] = slot;
    return {data, {}};
}

void AppIndex::loadNow() {
    LoadResult result;
    try {
        m_context.flush();
        std::atomic_bool never(false);
        result = load(m_context.database(), never);
    } catch (const StoreError& error) {
        Console::print(QStringLiteral("❌ Could not read the app list: ") + error.description());
        result.data = std::make_shared<Data>();
    }
    install(std::move(result));
}

void AppIndex::install(LoadResult result) {
    forgetLastSearch();
    m_data = std::move(result.data);
    m_unsaved.clear();
    m_slotByUnsaved.clear();
    m_unviewedTotal = 0;
    for (const CategoryCount& count : m_data->categoryCounts)
        m_unviewedTotal += count.unviewed;
    m_ready = true;
    m_renumbered = true;
    m_categoriesBeforeReady.clear();
    m_countBeforeReady.reset();
    // Changes made while the store was read are applied to what was read, each
    // record by its present values, so one that was read already is merely
    // updated, and a removal of everything empties what was read.
    processPendingChanges();
    emit ready();
}

AppIndex::Slot AppIndex::Data::append(qint64 pk, qint64 date, int categoryId, bool viewed,
                                      const QByteArray& searchText) {
    text.insert(text.end(), searchText.cbegin(), searchText.cend());
    return appendRow(pk, date, categoryId, viewed);
}

AppIndex::Slot AppIndex::Data::appendRow(qint64 pk, qint64 date, int categoryId, bool viewed) {
    const auto slot = static_cast<Slot>(this->pk.size());
    this->pk.push_back(0);
    setPk(slot, pk);
    releaseDate.push_back(date);
    category.push_back(static_cast<quint32>(categoryId));
    flags.push_back(kLive | (viewed ? kViewed : 0));
    const quint32 start = textEnd.empty() ? 0 : textEnd.back();
    textEnd.push_back(static_cast<quint32>(text.size()));
    byteMask.push_back(maskOf(QByteArrayView(text.data() + start, textEnd.back() - start)));
    if (pk != 0)
        slotByPk.insert(pk, slot);
    CategoryCount& count = categoryCounts[static_cast<size_t>(categoryId)];
    ++count.total;
    if (!viewed)
        ++count.unviewed;
    return slot;
}

void AppIndex::Data::reserveFor(size_t records, size_t textBytes, qint64 keyBound) {
    // Room for the apps of many collection runs besides, made at once (off the
    // main thread when loading): growing a vector of a million entries copies
    // it, which would stall the window at some later batch.
    const size_t extra = std::max<size_t>(4096, records / 32);
    const size_t room = records + extra;
    releaseDate.reserve(room);
    pk.reserve(room);
    category.reserve(room);
    flags.reserve(room);
    textEnd.reserve(room);
    byteMask.reserve(room);
    order.reserve(room);
    text.reserve(textBytes + extra * 64);
    slotByPk.reserve(keyBound + static_cast<qint64>(extra));
}

void AppIndex::Data::setPk(Slot slot, qint64 key) {
    if (key >= 0 && key < kWidePk) {
        pk[slot] = static_cast<quint32>(key);
        if (!widePk.isEmpty())
            widePk.remove(slot);
    } else {
        pk[slot] = kWidePk;
        widePk.insert(slot, key);
    }
}

int AppIndex::Data::categoryIdFor(const QString& name) {
    if (const auto it = categoryIds.constFind(name); it != categoryIds.cend())
        return it.value();
    const auto id = static_cast<int>(categoryNames.size());
    categoryNames.append(name);
    categoryIds.insert(name, id);
    categoryCounts.emplace_back();
    return id;
}

void AppIndex::SlotsByKey::reserve(qint64 keys) {
    dense.reserve(static_cast<size_t>(std::clamp<qint64>(keys, 0, qint64(1) << 28)));
}

void AppIndex::SlotsByKey::insert(qint64 pk, Slot slot) {
    const auto size = static_cast<qint64>(dense.size());
    if (pk >= 0 && pk < size + (qint64(1) << 20) + size) {
        if (pk >= size)
            dense.resize(static_cast<size_t>(pk) + 1, kNone);
        dense[static_cast<size_t>(pk)] = slot;
    } else {
        sparse.insert(pk, slot);
    }
}

AppIndex::Slot AppIndex::SlotsByKey::value(qint64 pk) const {
    if (pk >= 0 && pk < static_cast<qint64>(dense.size()))
        return dense[static_cast<size_t>(pk)];
    return sparse.value(pk, kNone);
}

void AppIndex::SlotsByKey::remove(qint64 pk, Slot slot) {
    // Only when the key is still this slot's: a new record may have reused it.
    if (pk >= 0 && pk < static_cast<qint64>(dense.size())) {
        if (dense[static_cast<size_t>(pk)] == slot)
            dense[static_cast<size_t>(pk)] = kNone;
    } else if (sparse.value(pk, kNone) == slot) {
        sparse.remove(pk);
    }
}

QByteArrayView AppIndex::Data::textOf(Slot slot) const {
    if (!movedText.isEmpty()) {
        if (const auto it = movedText.constFind(slot); it != movedText.cend())
            return *it;
    }
    const quint32 start = slot == 0 ? 0 : textEnd[slot - 1];
    return QByteArrayView(text.data() + start, textEnd[slot] - start);
}

QByteArray AppIndex::searchKey(QStringView text) {
    QByteArray key;
    bool ascii = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        const QByteArray latin1 = text.toLatin1();
        appendFoldedAscii(key, latin1.constData(), latin1.size());
        return key;
    }
    return text.toString().normalized(QString::NormalizationForm_C).toCaseFolded().toUtf8();
}

QByteArray AppIndex::searchText(const AppModel& app) {
    QByteArray text = searchKey(app.name());
    text += kFieldEnd;
    text += searchKey(app.developerName());
    text += kFieldEnd;
    return text;
}

bool AppIndex::matchesText(Slot slot, const QByteArray& key, quint32 keyMask) const {
    if ((m_data->byteMask[slot] & keyMask) != keyMask)
        return false;
    const QByteArrayView text = m_data->textOf(slot);
    return findKey(text.data(), text.data() + text.size(), key) != nullptr;
}

namespace {

// Marks the slots from `first` to before `last` whose text holds the key: one
// pass over their text, each hit marking its slot, the search going on after
// that slot's text. Removed and moved slots hold only 0xFF here, which no key
// holds, so no hit spans two slots.
void scanText(const std::vector<char>& text, const std::vector<quint32>& ends, const QByteArray& key,
              size_t first, size_t last, std::vector<quint8>& flags) {
    const char* base = text.data();
    size_t position = first == 0 ? 0 : ends[first - 1];
    const size_t stop = ends[last - 1];
    size_t slot = first;
    while (position < stop) {
        const char* hit = findKey(base + position, base + stop, key);
        if (!hit)
            break;
        const auto at = static_cast<quint32>(hit - base);
        // The first slot whose text ends after the hit: gallop from the last one,
        // as hits come in text order.
        size_t low = slot;
        size_t high = slot;
        size_t step = 1;
        while (high < last && ends[high] <= at) {
            low = high + 1;
            high += step;
            step *= 2;
        }
        slot = static_cast<size_t>(
            std::upper_bound(ends.begin() + static_cast<qsizetype>(low),
                             ends.begin() + static_cast<qsizetype>(std::min(high + 1, last)), at) -
            ends.begin());
        flags[slot] = 1;
        position = ends[slot];
    }
}

} // namespace

const std::vector<quint8>& AppIndex::matchesOf(const QByteArray& key) const {
    searchFor(key);
    return m_lastMatches;
}

void AppIndex::searchFor(const QByteArray& key) const {
    if (key == m_lastKey)
        return;
    const Data& data = *m_data;
    const quint32 keyMask = maskOf(key);
    const size_t slotTotal = data.textEnd.size();
    std::vector<quint8>& found = m_lastMatches;
    if (!m_lastKey.isEmpty() && found.size() == slotTotal && key.contains(m_lastKey)) {
        // Every text that holds the key holds the last one: only its matches
        // can match.
        inHalves(
            slotTotal,
            [&](size_t first, size_t last) {
                for (size_t slot = first; slot < last; ++slot) {
                    // Runs of eight slots without a match are passed at once.
                    quint64 eight = 1;
                    if ((slot & 7) == 0 && slot + 8 <= last)
                        std::memcpy(&eight, found.data() + slot, 8);
                    if (eight == 0)
                        slot += 7;
                    else if (found[slot] && !matchesText(static_cast<Slot>(slot), key, keyMask))
                        found[slot] = 0;
                }
            },
            m_lastCount);
    } else if (key.size() == 1 && (keyMask & kLetterBits)) {
        // One letter: its bit says it all (removed slots have none).
        found.resize(slotTotal);
        for (size_t slot = 0; slot < slotTotal; ++slot)
            found[slot] = (data.byteMask[slot] & keyMask) != 0;
    } else if (keyMask & kLetterBits) {
        found.assign(slotTotal, 0);
        inHalves(
            slotTotal,
            [&](size_t first, size_t last) {
                for (size_t slot = first; slot < last; ++slot)
                    found[slot] = matchesText(static_cast<Slot>(slot), key, keyMask);
            },
            slotTotal);
    } else {
        // No letter to sift the slots by: one pass over all the text.
        found.assign(slotTotal, 0);
        if (slotTotal > 0) {
            inHalves(
                slotTotal,
                [&](size_t first, size_t last) {
                    if (first < last)
                        scanText(data.text, data.textEnd, key, first, last, found);
                },
                slotTotal);
        }
        for (auto it = data.movedText.cbegin(); it != data.movedText.cend(); ++it) {
            if (findKey(it->constData(), it->constData() + it->size(), key))
                found[it.key()] = 1;
        }
    }
    m_lastKey = key;
    m_lastCount = static_cast<size_t>(std::count(found.cbegin(), found.cend(), quint8(1)));
}

void AppIndex::forgetLastSearch() const {
    m_lastKey.clear();
    m_lastMatches = {};
    m_lastCount = 0;
}

void AppIndex::refreshLastSearch(const std::vector<Slot>& touched) {
    if (m_lastKey.isEmpty())
        return;
    m_lastMatches.resize(static_cast<size_t>(slotBound()), 0);
    const quint32 keyMask = maskOf(m_lastKey);
    for (const Slot slot : touched) {
        const bool match = isLive(slot) && matchesText(slot, m_lastKey, keyMask);
        m_lastCount = m_lastCount + match - m_lastMatches[slot];
        m_lastMatches[slot] = match;
    }
}

QStringList AppIndex::categories() const {
    if (!m_ready)
        return m_categoriesBeforeReady;
    QStringList names;
    for (size_t id = 0; id < m_data->categoryCounts.size(); ++id) {
        if (m_data->categoryCounts[id].total > 0)
            names.append(m_data->categoryNames.at(static_cast<qsizetype>(id)));
    }
    std::sort(names.begin(), names.end());
    return names;
}

int AppIndex::categoryId(const QString& name) const {
    const auto it = m_data->categoryIds.constFind(name);
    if (it == m_data->categoryIds.cend() || m_data->categoryCounts[static_cast<size_t>(*it)].total == 0)
        return -1;
    return *it;
}

qint64 AppIndex::unviewedCount(const QString& category) const {
    const int id = categoryId(category);
    return id < 0 ? 0 : m_data->categoryCounts[static_cast<size_t>(id)].unviewed;
}

QSharedPointer<AppModel> AppIndex::record(Slot slot) const {
    if (const auto it = m_unsaved.constFind(slot); it != m_unsaved.cend())
        return *it;
    const qint64 pk = m_data->pkOf(slot);
    return pk == 0 ? nullptr : m_context.recordWithPersistentId<AppModel>(pk);
}

std::optional<AppIndex::Slot> AppIndex::slotOf(const AppModel* record) const {
    if (const auto it = m_slotByUnsaved.constFind(record); it != m_slotByUnsaved.cend())
        return *it;
    if (const qint64 pk = record->persistentId(); pk != 0) {
        if (const Slot slot = m_data->slotByPk.value(pk); slot != SlotsByKey::kNone)
            return slot;
    }
    return std::nullopt;
}

void AppIndex::noteRecord(PersistentRecord* record) {
    if (record->kind() != RecordKind::App || m_dirtySet.contains(record))
        return;
    // Held until the batch is applied: the caller may drop the last reference
    // before the event loop turns.
    const auto app = qSharedPointerCast<AppModel>(record->sharedFromThis());
    if (!app)
        return;
    m_dirtySet.insert(record);
    m_dirty.append(app);
    schedule();
}

void AppIndex::noteAllRemoved(RecordKind kind) {
    if (kind != RecordKind::App)
        return;
    m_allRemoved = true;
    schedule();
}

void AppIndex::schedule() {
    if (m_scheduled)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &AppIndex::processPendingChanges, Qt::QueuedConnection);
}

void AppIndex::processPendingChanges() {
    m_scheduled = false;
    if (!m_ready)
        return; // kept until the store has been read
    Delta delta;
    delta.renumbered = std::exchange(m_renumbered, false);
    const QList<QSharedPointer<AppModel>> dirty = std::exchange(m_dirty, {});
    m_dirtySet.clear();
    if (std::exchange(m_allRemoved, false)) {
        clear();
        delta.renumbered = true;
        delta.categoriesChanged = true;
    }
    std::vector<Slot> toOrder;
    const auto firstNewSlot = static_cast<Slot>(slotBound());
    takeKnownKeys(toOrder);
    bool anyRemoved = false;
    // Removals first: a new record may have taken the key of a removed one.
    for (const auto& app : dirty) {
        delta.records.append(app.data());
        if (!app->isDeleted())
            continue;
        if (const auto slot = slotOf(app.data()); slot && isLive(*slot)) {
            removeSlot(*slot);
            delta.touched.push_back(*slot);
            anyRemoved = true;
        }
    }
    for (const auto& app : dirty) {
        if (app->isDeleted() || !app->isInserted())
            continue;
        if (const auto slot = slotOf(app.data()); slot && isLive(*slot)) {
            if (updateSlot(*slot, *app, toOrder))
                delta.touched.push_back(*slot);
        } else {
            addSlot(app, toOrder);
            delta.touched.push_back(static_cast<Slot>(slotBound() - 1));
        }
    }
    reorder(toOrder, anyRemoved, firstNewSlot);
    refreshLastSearch(delta.touched);
    if (!delta.touched.empty())
        delta.categoriesChanged = true;
    const qsizetype dead = slotBound() - static_cast<qsizetype>(m_data->order.size());
    if (dead > std::max<qsizetype>(4096, slotBound() / 4) || m_data->movedText.size() > 4096) {
        compact();
        delta.renumbered = true;
    }
    if (delta.renumbered)
        delta.touched.clear();
    if (delta.renumbered || !delta.touched.empty() || !delta.records.isEmpty())
        emit updated(delta);
}

void AppIndex::takeKnownKeys(std::vector<Slot>& toOrder) {
    // Unsaved records get their key when the context first writes them.
    for (auto it = m_unsaved.begin(); it != m_unsaved.end();) {
        const qint64 pk = it.value()->persistentId();
        if (pk == 0 || it.value()->isDeleted()) {
            ++it;
            continue;
        }
        const Slot slot = it.key();
        const bool wasOrdered = !(m_data->flags[slot] & kReordering);
        if (wasOrdered) {
            // Its place can only change among records of the same release date.
            const auto position = std::lower_bound(m_data->order.begin(), m_data->order.end(), slot,
                                                   [this](Slot a, Slot b) { return before(a, b); });
            m_data->setPk(slot, pk);
            const bool fits = (position == m_data->order.begin() || before(*(position - 1), slot)) &&
                              (position + 1 == m_data->order.end() || before(slot, *(position + 1)));
            if (!fits) {
                m_data->flags[slot] |= kReordering;
                toOrder.push_back(slot);
            }
        } else {
            m_data->setPk(slot, pk);
        }
        m_data->slotByPk.insert(pk, slot);
        m_slotByUnsaved.remove(it.value().data());
        it = m_unsaved.erase(it);
    }
}

void AppIndex::removeSlot(Slot slot) {
    Data& data = *m_data;
    adjustCounts(slot, -1);
    data.flags[slot] = static_cast<quint8>((data.flags[slot] & ~kLive) | kReordering);
    data.slotByPk.remove(data.pkOf(slot), slot);
    if (const auto it = m_unsaved.find(slot); it != m_unsaved.end()) {
        m_slotByUnsaved.remove(it.value().data());
        m_unsaved.erase(it);
    }
    data.movedText.remove(slot);
    data.byteMask[slot] = 0;
    const quint32 start = slot == 0 ? 0 : data.textEnd[slot - 1];
    std::fill(data.text.begin() + start, data.text.begin() + data.textEnd[slot], kFieldEnd);
}

void AppIndex::addSlot(const QSharedPointer<AppModel>& app, std::vector<Slot>& toOrder) {
    Data& data = *m_data;
    const int category = data.categoryIdFor(app->category());
    const qint64 pk = app->persistentId();
    const Slot slot =
        data.append(pk, storedDate(app->releaseDate()), category, app->isViewed(), searchText(*app));
    data.flags[slot] |= kReordering;
    if (!app->isViewed())
        ++m_unviewedTotal;
    if (pk == 0) {
        m_unsaved.insert(slot, app);
        m_slotByUnsaved.insert(app.data(), slot);
    }
    toOrder.push_back(slot);
}

bool AppIndex::updateSlot(Slot slot, const AppModel& app, std::vector<Slot>& toOrder) {
    Data& data = *m_data;
    bool touched = false;
    const int category = data.categoryIdFor(app.category());
    const bool viewed = app.isViewed();
    if (static_cast<int>(data.category[slot]) != category || bool(data.flags[slot] & kViewed) != viewed) {
        adjustCounts(slot, -1);
        data.category[slot] = static_cast<quint32>(category);
        data.flags[slot] =
            static_cast<quint8>(viewed ? data.flags[slot] | kViewed : data.flags[slot] & ~kViewed);
        adjustCounts(slot, +1);
        touched = true;
    }
    if (const qint64 date = storedDate(app.releaseDate()); date != data.releaseDate[slot]) {
        if (!(data.flags[slot] & kReordering)) {
            data.flags[slot] |= kReordering; // taken out with its old date, put back with the new
            toOrder.push_back(slot);
        }
        data.releaseDate[slot] = date;
        touched = true;
    }
    if (const QByteArray text = searchText(app); data.textOf(slot) != text) {
        if (!data.movedText.contains(slot)) {
            const quint32 start = slot == 0 ? 0 : data.textEnd[slot - 1];
            std::fill(data.text.begin() + start, data.text.begin() + data.textEnd[slot], kFieldEnd);
        }
        data.movedText.insert(slot, text);
        data.byteMask[slot] = maskOf(text);
        touched = true;
    }
    return touched;
}

void AppIndex::reorder(std::vector<Slot>& toOrder, bool anyRemoved, Slot firstNewSlot) {
    Data& data = *m_data;
    if (toOrder.empty() && !anyRemoved)
        return;
    // Slots marked kReordering are taken out in one pass, unless all of them
    // are new (a collection batch), which are in no list yet.
    const bool anyListed =
        anyRemoved || std::any_of(toOrder.cbegin(), toOrder.cend(),
                                  [firstNewSlot](Slot slot) { return slot < firstNewSlot; });
    if (anyListed)
        std::erase_if(data.order, [&data](Slot slot) { return data.flags[slot] & kReordering; });
    std::erase_if(toOrder, [&data](Slot slot) { return !(data.flags[slot] & kLive); });
    for (const Slot slot : toOrder)
        data.flags[slot] &= ~kReordering;
    std::sort(toOrder.begin(), toOrder.end(), [this](Slot a, Slot b) { return before(a, b); });
    if (toOrder.empty())
        return;
    // The slots to place go in from the back, each stretch of the list between
    // two of them moved once, in place: a batch costs one move of the list
    // behind its first place, not a new list.
    const auto less = [this](Slot a, Slot b) { return before(a, b); };
    const size_t listed = data.order.size();
    data.order.resize(listed + toOrder.size());
    auto write = data.order.end();
    auto end = data.order.begin() + static_cast<std::ptrdiff_t>(listed);
    for (auto slot = toOrder.rbegin(); slot != toOrder.rend(); ++slot) {
        const auto place = std::upper_bound(data.order.begin(), end, *slot, less);
        write = std::move_backward(place, end, write);
        *--write = *slot;
        end = place;
    }
    toOrder.clear();
}

qint64 AppIndex::tieKey(Slot slot) const {
    const qint64 pk = m_data->pkOf(slot);
    return pk != 0 ? pk : kUnsavedTieBase + slot;
}

bool AppIndex::before(Slot a, Slot b) const {
    const qint64 dateA = m_data->releaseDate[a];
    const qint64 dateB = m_data->releaseDate[b];
    return dateA != dateB ? dateA > dateB : tieKey(a) < tieKey(b);
}

void AppIndex::adjustCounts(Slot slot, int sign) {
    CategoryCount& count = m_data->categoryCounts[m_data->category[slot]];
    count.total += sign;
    if (!(m_data->flags[slot] & kViewed)) {
        count.unviewed += sign;
        m_unviewedTotal += sign;
    }
}

void AppIndex::clear() {
    forgetLastSearch();
    m_data = std::make_shared<Data>();
    m_unsaved.clear();
    m_slotByUnsaved.clear();
    m_unviewedTotal = 0;
}

void AppIndex::compact() {
    // Renumbers the live slots in list order, dropping removed ones and putting
    // moved texts back in line.
    forgetLastSearch();
    const Data& old = *m_data;
    auto data = std::make_shared<Data>();
    data->categoryNames = old.categoryNames;
    data->categoryIds = old.categoryIds;
    data->categoryCounts.resize(old.categoryCounts.size());
    data->reserveFor(old.order.size(), old.text.size(), static_cast<qint64>(old.slotByPk.dense.size()));
    QHash<Slot, QSharedPointer<AppModel>> unsaved;
    for (const Slot slot : old.order) {
        const QByteArrayView text = old.textOf(slot);
        const Slot fresh =
            data->append(old.pkOf(slot), old.releaseDate[slot], static_cast<int>(old.category[slot]),
                         old.flags[slot] & kViewed, text.toByteArray());
        if (const auto it = m_unsaved.constFind(slot); it != m_unsaved.cend())
            unsaved.insert(fresh, *it);
    }
    data->order.resize(data->pk.size());
    for (Slot slot = 0; slot < data->order.size(); ++slot)
        data->order[slot] = slot;
    m_data = std::move(data);
    m_unsaved = std::move(unsaved);
    m_slotByUnsaved.clear();
    for (auto it = m_unsaved.cbegin(); it != m_unsaved.cend(); ++it)
        m_slotByUnsaved.insert(it.value().data(), it.key());
}
