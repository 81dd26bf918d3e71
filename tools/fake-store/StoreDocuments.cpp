#include "StoreDocuments.h"

#include <QJsonDocument>

QJsonObject StoreDocuments::feedEntry(const QString& id, const QString& name, const QString& pageOrigin) {
    const QString title = name.isEmpty() ? QStringLiteral("App ") + id : name;
    const QString page = pageOrigin + QStringLiteral("/us/app/x/id") + id;
    auto image = [&](const char* height) {
        return QJsonObject{{"label", QStringLiteral("https://img.example/%1/%2.png").arg(id, height)},
                           {"attributes", QJsonObject{{"height", height}}}};
    };
    return QJsonObject{
        {"im:name", QJsonObject{{"label", title}}},
        {"im:image", QJsonArray{image("53"), image("75"), image("100")}},
        {"summary", QJsonObject{{"label", "ignored"}}},
        {"im:price", QJsonObject{{"label", "$1.99"},
                                 {"attributes", QJsonObject{{"amount", "1.99000"}, {"currency", "USD"}}}}},
        {"im:contentType", QJsonObject{{"attributes", QJsonObject{{"term", "Application"}}}}},
        {"rights", QJsonObject{{"label", "© 2024 Example"}}},
        {"title", QJsonObject{{"label", title + " - Example Dev"}}},
        {"link", QJsonObject{{"attributes", QJsonObject{{"rel", "alternate"}, {"href", page}}}}},
        {"id",
         QJsonObject{{"label", page},
                     {"attributes", QJsonObject{{"im:id", id}, {"im:bundleId", "com.example.app" + id}}}}},
        {"im:artist", QJsonObject{{"label", "Example Dev"},
                                  {"attributes", QJsonObject{{"href", "https://apps.example/dev/id9"}}}}},
        {"category",
         QJsonObject{{"attributes", QJsonObject{{"im:id", "6014"}, {"term", "Games"}, {"label", "Games"}}}}},
        {"im:releaseDate", QJsonObject{{"label", "2024-03-15T00:00:00-07:00"},
                                       {"attributes", QJsonObject{{"label", "March 15, 2024"}}}}},
    };
}

QByteArray StoreDocuments::feedDocument(const QJsonArray& entries) {
    return QJsonDocument(QJsonObject{{"feed", QJsonObject{{"entry", entries}, {"updated", "x"}}}})
        .toJson(QJsonDocument::Compact);
}

QByteArray StoreDocuments::lookupDocument(qint64 count, const QJsonArray& results) {
    return QJsonDocument(QJsonObject{{"resultCount", count}, {"results", results}})
        .toJson(QJsonDocument::Compact);
}
