#include "StoreChangeFollower.h"

#include "ModelContext.h"
#include "PersistentRecord.h"

StoreChangeFollower::StoreChangeFollower(ModelContext& context, Filter matters, QObject* parent)
    : QObject(parent)
    , m_matters(std::move(matters)) {
    m_due.setSingleShot(true);
    m_due.setInterval(0);
    connect(&m_due, &QTimer::timeout, this, &StoreChangeFollower::changed);
    const auto recordNoted = [this](PersistentRecord* record) { note(record->kind(), record); };
    connect(&context, &ModelContext::recordInserted, this, recordNoted);
    connect(&context, &ModelContext::recordChanged, this, recordNoted);
    connect(&context, &ModelContext::recordRemoved, this, recordNoted);
    connect(&context, &ModelContext::allRecordsRemoved, this,
            [this](RecordKind kind) { note(kind, nullptr); });
}

void StoreChangeFollower::note(RecordKind kind, const PersistentRecord* record) {
    if (m_matters(kind, record))
        m_due.start();
}
