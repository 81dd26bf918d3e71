#pragma once

#include "ExportFormat.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

#include <optional>

// One exported app: what a spreadsheet user wants of the record. Texts are
// UTF-8 and only borrowed, so a reader of a million rows copies nothing.
struct ExportRow {
    QByteArrayView appleID;
    QByteArrayView name;
    QByteArrayView developerName;
    QByteArrayView category;
    QByteArrayView priceLabel;
    qint64 releaseDateMs = 0; // since the epoch, UTC
    std::optional<double> rating;
    std::optional<qint64> ratingCount;
    QByteArrayView appStoreURL;
    std::optional<qint64> screenshotCount;
    std::optional<bool> hasInAppPurchases;
};

// Turns rows into the bytes of an export file, appended to a buffer.
//
// CSV follows RFC 4180: a header row of the field names, CRLF after every row,
// a field quoted when it holds a comma, a quote, CR or LF, quotes doubled.
// UTF-8 without a byte order mark (LibreOffice and the command-line tools read
// it as is; a mark would stick to the first header name for many of them).
// Absent values are empty fields; in-app purchases read "yes", "no" or "unknown".
//
// JSON is one array of objects, one object per line, keys in the same order;
// absent values are null, in-app purchases true, false or null.
//
// Dates are ISO 8601 in UTC to the second. Text that is not valid UTF-8 has
// the offending bytes replaced, so the file always is.
class ExportEncoder {
public:
    explicit ExportEncoder(ExportFormat format)
        : m_format(format) {}

    static QByteArrayList fieldNames();

    void begin(QByteArray& out) const;
    void append(QByteArray& out, const ExportRow& row);
    void end(QByteArray& out) const;

    static void appendCsvField(QByteArray& out, QByteArrayView utf8);
    static void appendJsonString(QByteArray& out, QByteArrayView utf8);
    static void appendIsoDate(QByteArray& out, qint64 msSinceEpoch);

private:
    void appendCsv(QByteArray& out, const ExportRow& row) const;
    void appendJson(QByteArray& out, const ExportRow& row) const;

    ExportFormat m_format;
    bool m_first = true;
};
