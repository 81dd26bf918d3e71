#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Store documents written for tests: feed entries, feed documents and lookup
// documents with known content.
class StoreDocuments {
public:
    // A complete feed entry, every optional part present. The product page
    // address is <pageOrigin>/us/app/x/id<id>.
    static QJsonObject feedEntry(const QString& id, const QString& name = QString(),
                                 const QString& pageOrigin = QStringLiteral("https://apps.example"));
    static QByteArray feedDocument(const QJsonArray& entries);
    static QByteArray lookupDocument(qint64 count, const QJsonArray& results);
};
