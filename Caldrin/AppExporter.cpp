#include "AppExporter.h"

#include "AppIndex.h"
#include "AtomicFile.h"
#include "ExportEncoder.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"

namespace {

constexpr qsizetype kFlushBytes = 1 << 20;

// In list order, as the window's index reads it: newest release first, ties by
// key. Served by the list's indexes, with or without a category. A screenshot
// list that cannot be read counts as empty, as the record reads it.
const QByteArray kColumns =
    "SELECT appleID, name, developerName, category, priceLabel, releaseDate, rating, ratingCount, "
    "appStoreURL, CASE WHEN screenshotURLs IS NULL THEN NULL WHEN json_valid(screenshotURLs) "
    "THEN json_array_length(screenshotURLs) ELSE 0 END, hasInAppPurchases FROM AppModel ";
const QByteArray kOrder = " ORDER BY releaseDate DESC, pk ASC";

bool contains(QByteArrayView utf8, const QByteArray& key) {
    return AppIndex::searchKey(QString::fromUtf8(utf8)).contains(key);
}

} // namespace

AppExporter::Result AppExporter::run(const Request& request, Control& control) {
    using Outcome = Result::Outcome;
    Result result;
    // The target first: a folder that cannot be written fails before the store is read.
    AtomicFile file(request.targetPath, AtomicFile::Permissions::AsUmaskSays);
    const auto writeFailed = [&] {
        result.error = QStringLiteral("cannot write %1: %2").arg(request.targetPath, file.errorString());
        return result;
    };
    if (!file.open())
        return writeFailed();
    try {
        SqliteDatabase database;
        database.openReader(request.databasePath);
        const bool allCategories = request.category == AppIndex::allCategories();
        const QByteArray where = allCategories ? QByteArray() : QByteArray("WHERE category = ?");
        // One snapshot for the count and the rows.
        database.exec("BEGIN");
        SqliteStatement count(database, "SELECT count(*) FROM AppModel " + where);
        SqliteStatement rows(database, kColumns + where + kOrder);
        if (!allCategories) {
            count.bind(1, request.category);
            rows.bind(1, request.category);
        }
        count.step();
        control.rowsToRead.store(count.int64(0));

        const QByteArray key = AppIndex::searchKey(request.searchText);
        ExportEncoder encoder(request.format);
        QByteArray buffer;
        buffer.reserve(kFlushBytes + (64 << 10));
        encoder.begin(buffer);
        qint64 read = 0;
        while (rows.step()) {
            if (key.isEmpty() || contains(rows.utf8(1), key) || contains(rows.utf8(2), key)) {
                ExportRow row;
                row.appleID = rows.utf8(0);
                row.name = rows.utf8(1);
                row.developerName = rows.utf8(2);
                row.category = rows.utf8(3);
                row.priceLabel = rows.utf8(4);
                row.releaseDateMs = rows.int64(5);
                row.rating = rows.optionalReal(6);
                row.ratingCount = rows.optionalInt64(7);
                row.appStoreURL = rows.utf8(8);
                row.screenshotCount = rows.optionalInt64(9);
                row.hasInAppPurchases = rows.optionalBoolean(10);
                encoder.append(buffer, row);
                ++result.exported;
            }
            if (++read % kBatchRows != 0)
                continue;
            control.rowsRead.store(read, std::memory_order_relaxed);
            if (control.batchDone)
                control.batchDone(read);
            if (control.cancelled.load()) {
                result.outcome = Outcome::Cancelled;
                return result;
            }
            if (buffer.size() >= kFlushBytes) {
                if (!file.write(buffer))
                    return writeFailed();
                buffer.clear();
            }
        }
        control.rowsRead.store(read);
        encoder.end(buffer);
        if (control.cancelled.load()) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
        if (!file.write(buffer) || !file.commit())
            return writeFailed();
    } catch (const StoreError& error) {
        result.error = QStringLiteral("cannot read the store: ") + error.description();
        return result;
    }
    result.outcome = Outcome::Written;
    return result;
}
