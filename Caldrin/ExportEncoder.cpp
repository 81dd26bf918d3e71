#include "ExportEncoder.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <cmath>
#include <cstdio>

namespace {

bool isAscii(QByteArrayView bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// The text itself when it is plain ASCII; otherwise a copy in valid UTF-8.
QByteArrayView validUtf8(QByteArrayView bytes, QByteArray& storage) {
    if (isAscii(bytes))
        return bytes;
    storage = QString::fromUtf8(bytes).toUtf8();
    return storage;
}

void appendNumber(QByteArray& out, qint64 value) {
    out += QByteArray::number(value);
}

bool appendReal(QByteArray& out, const std::optional<double>& value) {
    if (!value || !std::isfinite(*value))
        return false;
    out += QByteArray::number(*value, 'g', QLocale::FloatingPointShortest);
    return true;
}

} // namespace

QByteArrayList ExportEncoder::fieldNames() {
    return {"appleID", "name",        "developerName", "category",        "priceLabel",       "releaseDate",
            "rating",  "ratingCount", "appStoreURL",   "screenshotCount", "hasInAppPurchases"};
}

void ExportEncoder::begin(QByteArray& out) const {
    if (m_format == ExportFormat::Json) {
        out += '[';
        return;
    }
    out += fieldNames().join(',');
    out += "\r\n";
}

void ExportEncoder::append(QByteArray& out, const ExportRow& row) {
    if (m_format == ExportFormat::Json)
        appendJson(out, row);
    else
        appendCsv(out, row);
    m_first = false;
}

void ExportEncoder::end(QByteArray& out) const {
    if (m_format == ExportFormat::Json)
        out += m_first ? "]\n" : "\n]\n";
}

void ExportEncoder::appendCsv(QByteArray& out, const ExportRow& row) const {
    const auto text = [&out](QByteArrayView value) {
        appendCsvField(out, value);
        out += ',';
    };
    text(row.appleID);
    text(row.name);
    text(row.developerName);
    text(row.category);
    text(row.priceLabel);
    appendIsoDate(out, row.releaseDateMs);
    out += ',';
    appendReal(out, row.rating);
    out += ',';
    if (row.ratingCount)
        appendNumber(out, *row.ratingCount);
    out += ',';
    text(row.appStoreURL);
    if (row.screenshotCount)
        appendNumber(out, *row.screenshotCount);
    out += ',';
    out += !row.hasInAppPurchases ? "unknown" : *row.hasInAppPurchases ? "yes" : "no";
    out += "\r\n";
}

void ExportEncoder::appendJson(QByteArray& out, const ExportRow& row) const {
    out += m_first ? "\n{" : ",\n{";
    const auto key = [&out](const char* name) {
        out += '"';
        out += name;
        out += "\":";
    };
    const auto text = [&](const char* name, QByteArrayView value) {
        key(name);
        appendJsonString(out, value);
        out += ',';
    };
    text("appleID", row.appleID);
    text("name", row.name);
    text("developerName", row.developerName);
    text("category", row.category);
    text("priceLabel", row.priceLabel);
    key("releaseDate");
    out += '"';
    appendIsoDate(out, row.releaseDateMs);
    out += "\",";
    key("rating");
    if (!appendReal(out, row.rating))
        out += "null";
    out += ',';
    const auto count = [&](const char* name, const std::optional<qint64>& value) {
        key(name);
        if (value)
            appendNumber(out, *value);
        else
            out += "null";
        out += ',';
    };
    count("ratingCount", row.ratingCount);
    text("appStoreURL", row.appStoreURL);
    count("screenshotCount", row.screenshotCount);
    key("hasInAppPurchases");
    out += !row.hasInAppPurchases ? "null" : *row.hasInAppPurchases ? "true" : "false";
    out += '}';
}

void ExportEncoder::appendCsvField(QByteArray& out, QByteArrayView utf8) {
    QByteArray storage;
    const QByteArrayView text = validUtf8(utf8, storage);
    bool quote = false;
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void ExportEncoder::appendJsonString(QByteArray& out, QByteArrayView utf8) {
    QByteArray storage;
    const QByteArrayView text = validUtf8(utf8, storage);
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void ExportEncoder::appendIsoDate(QByteArray& out, qint64 msSinceEpoch) {
    constexpr qint64 msPerDay = 86'400'000;
    qint64 days = msSinceEpoch / msPerDay;
    qint64 msOfDay = msSinceEpoch % msPerDay;
    if (msOfDay < 0) {
        msOfDay += msPerDay;
        --days;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    QDate(1970, 1, 1).addDays(days).getDate(&year, &month, &day);
    const qint64 seconds = msOfDay / 1000;
    char text[40];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day,
                                     static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                                     static_cast<int>(seconds % 60));
    out.append(text, length);
}
