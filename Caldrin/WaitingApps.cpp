#include "WaitingApps.h"

#include "AppModel.h"

void WaitingApps::append(const WaitingApp& app) {
    const quint64 key = keyFor(app.appleID);
    ++m_counts[key];
    if (app.record)
        m_records.push_back(app.record);
    m_entries.push_back(Entry{app.persistentId, key | (app.record ? kHasRecord : 0)});
}

WaitingApp WaitingApps::takeFirst() {
    const Entry entry = m_entries.front();
    m_entries.pop_front();
    WaitingApp app;
    app.persistentId = entry.persistentId;
    if (entry.key & kHasRecord) {
        app.record = std::move(m_records.front());
        m_records.pop_front();
    }
    const quint64 key = entry.key & ~kHasRecord;
    app.appleID = appleIDOf(key);
    if (auto count = m_counts.find(key); count != m_counts.end() && --count.value() <= 0) {
        m_counts.erase(count);
        if (key & kTextKey) {
            m_textKeys.remove(m_texts.take(key));
        }
    }
    return app;
}

void WaitingApps::clear() {
    m_entries = {};
    m_records = {};
    m_counts = {};
    m_textKeys = {};
    m_texts = {};
}

int WaitingApps::count(const QString& appleID) const {
    if (const std::optional<quint64> number = numberKey(appleID))
        return m_counts.value(*number);
    const auto text = m_textKeys.constFind(appleID);
    return text == m_textKeys.cend() ? 0 : m_counts.value(*text);
}

QStringList WaitingApps::appleIDs() const {
    QStringList ids;
    ids.reserve(size());
    for (const Entry& entry : m_entries)
        ids.append(appleIDOf(entry.key & ~kHasRecord));
    return ids;
}

std::optional<quint64> WaitingApps::numberKey(const QString& appleID) {
    if (appleID.isEmpty() || appleID.size() > 18 ||
        (appleID.size() > 1 && appleID.front() == QLatin1Char('0')))
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : appleID) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

quint64 WaitingApps::keyFor(const QString& appleID) {
    if (const std::optional<quint64> number = numberKey(appleID))
        return *number;
    if (const auto text = m_textKeys.constFind(appleID); text != m_textKeys.cend())
        return *text;
    const quint64 key = m_nextTextKey++;
    m_textKeys.insert(appleID, key);
    m_texts.insert(key, appleID);
    return key;
}

QString WaitingApps::appleIDOf(quint64 key) const {
    return key & kTextKey ? m_texts.value(key) : QString::number(key);
}
