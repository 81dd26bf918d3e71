#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class ModelContext;
class PersistentRecord;
enum class RecordKind;

// Tells a view that records it shows changed in the store, once the change
// that prompted it is complete: a burst (a folder deleted with its favorites,
// a reset) gives one `changed()` on the next turn of the event loop.
class StoreChangeFollower : public QObject {
    Q_OBJECT
public:
    // Whether a change matters: a record inserted, changed or removed, or, with
    // no record, every record of the kind removed.
    using Filter = std::function<bool(RecordKind kind, const PersistentRecord* record)>;

    StoreChangeFollower(ModelContext& context, Filter matters, QObject* parent);

    // The view has just read the store: a `changed()` still due is dropped.
    void settle() { m_due.stop(); }

signals:
    void changed();

private:
    void note(RecordKind kind, const PersistentRecord* record);

    Filter m_matters;
    QTimer m_due;
};
