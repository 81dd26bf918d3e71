#pragma once

#include <QEnableSharedFromThis>
#include <QList>
#include <QObject>
#include <QPointer>

#include <cmath>
#include <optional>

class ModelContext;

enum class RecordKind { App, Folder, Favorite };

// Field equality for change detection: a not-a-number price assigned again is
// no change, although NaN != NaN.
template <class T> bool sameFieldValue(const T& a, const T& b) {
    return a == b;
}
inline bool sameFieldValue(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}
inline bool sameFieldValue(const std::optional<double>& a, const std::optional<double>& b) {
    return a.has_value() == b.has_value() && (!a || sameFieldValue(*a, *b));
}

// What every stored record shares: its persistent identity in the store, its
// place in the context's bookkeeping and the per-record change signal that views
// follow. Only the context sets the bookkeeping fields.
class PersistentRecord : public QObject, public QEnableSharedFromThis<PersistentRecord> {
    Q_OBJECT
public:
    ~PersistentRecord() override;

    virtual RecordKind kind() const = 0;

    // The store's identity of the record: 0 until the record first reaches the
    // database, then fixed for its whole life.
    qint64 persistentId() const { return m_rowId; }
    ModelContext* modelContext() const;
    bool isInserted() const { return !m_context.isNull(); }
    bool isDeleted() const { return m_deleted; }
    // True when the record has changes that no save has written yet.
    bool hasChanges() const { return m_pending; }

signals:
    // Emitted after any field of this record changed, before any save.
    void changed();

protected:
    explicit PersistentRecord(QObject* parent = nullptr);

    // Assigns a field and reports the change; equal values change nothing.
    template <class T> bool assign(T& field, const T& value) {
        if (sameFieldValue(field, value))
            return false;
        field = value;
        didChange();
        return true;
    }
    void didChange();

private:
    friend class ModelContext;

    QPointer<ModelContext> m_context;
    qint64 m_rowId = 0;
    bool m_storedInDb = false;    // the row exists in the open transaction's view
    bool m_committedInDb = false; // the row exists in the last committed state
    bool m_deleted = false;
    bool m_needsFlush = false;
    bool m_pending = false; // held by the context until the next successful save
    bool m_loading = false; // being filled from the database: not a change
};
