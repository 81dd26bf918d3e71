#include "PersistentRecord.h"

#include "ModelContext.h"

PersistentRecord::PersistentRecord(QObject* parent)
    : QObject(parent) {}

PersistentRecord::~PersistentRecord() = default;

ModelContext* PersistentRecord::modelContext() const {
    return m_context.data();
}

void PersistentRecord::didChange() {
    if (m_loading)
        return;
    if (ModelContext* context = m_context.data())
        context->recordDidChange(this);
    emit changed();
}
