#pragma once

#include "WaitingApp.h"

#include <QHash>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// Apps waiting for their details, first in first out, kept small: a store of
// a million apps may start with a hundred thousand incomplete ones waiting.
// An Apple ID made of digits (all of them, in practice) is kept as its number;
// any other is kept once as text however often it waits.
class WaitingApps {
public:
    void append(const WaitingApp& app);
    // The first app; the list must not be empty.
    WaitingApp takeFirst();
    void clear();
    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    // How many waiting apps carry the Apple ID.
    int count(const QString& appleID) const;
    QStringList appleIDs() const;

private:
    struct Entry {
        qint64 persistentId;
        quint64 key; // kHasRecord | the Apple ID's key
    };
    static constexpr quint64 kHasRecord = quint64(1) << 63;
    static constexpr quint64 kTextKey = quint64(1) << 62;

    // The key of a plain decimal number below 10^18 without leading zeros.
    static std::optional<quint64> numberKey(const QString& appleID);
    quint64 keyFor(const QString& appleID);
    QString appleIDOf(quint64 key) const;

    std::deque<Entry> m_entries;
    std::deque<QSharedPointer<AppModel>> m_records; // of the entries with kHasRecord, in order
    QHash<quint64, int> m_counts;                   // key -> waiting entries carrying it
    QHash<QString, quint64> m_textKeys;
    QHash<quint64, QString> m_texts;
    quint64 m_nextTextKey = kTextKey;
};
