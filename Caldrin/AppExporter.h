#pragma once

#include "ExportFormat.h"

#include <QString>

#include <atomic>
#include <functional>

// Writes the apps that the main window's list matches (its category and search,
// every match, in list order) to a CSV or JSON file (see ExportEncoder).
//
// run() works on any thread: it reads the store through a read-only connection
// of its own, so it sees what was last saved, streams the rows to the file and
// never holds more than a buffer of them. The file appears whole or not at all:
// a cancelled or failed export leaves an existing file as it was.
class AppExporter {
public:
    struct Request {
        QString databasePath;
        QString targetPath;
        ExportFormat format = ExportFormat::Csv;
        QString category;   // the list's selected category; "All" for every one
        QString searchText; // as typed in the search field
    };

    // Shared between the exporting thread and whoever watches it.
    struct Control {
        std::atomic_bool cancelled{false};
        std::atomic<qint64> rowsRead{0};   // rows of the store looked at
        std::atomic<qint64> rowsToRead{0}; // known once reading has begun
        // Called on the exporting thread after each batch of rows.
        std::function<void(qint64 rowsRead)> batchDone;
    };

    struct Result {
        enum class Outcome { Written, Cancelled, Failed };
        Outcome outcome = Outcome::Failed;
        qint64 exported = 0;
        QString error; // when failed: why, for the user
    };

    static constexpr int kBatchRows = 2048;

    static Result run(const Request& request, Control& control);
};
