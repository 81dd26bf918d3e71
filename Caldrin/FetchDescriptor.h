#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What a fetch asks for: optionally one equality test on a text field, optionally
// a sort on one field, optionally a limit. Field names must be columns that the
// record kind allows for that use; values are always bound, never spliced.
struct FetchDescriptor {
    struct Equality {
        QByteArray field;
        QString value;
    };
    struct Sort {
        QByteArray field;
        bool ascending = true;
    };

    std::optional<Equality> predicate;
    std::optional<Sort> sort;
    std::optional<qint64> limit;

    static FetchDescriptor equal(const QByteArray& field, const QString& value) {
        FetchDescriptor descriptor;
        descriptor.predicate = Equality{field, value};
        return descriptor;
    }
    static FetchDescriptor sorted(const QByteArray& field, bool ascending) {
        FetchDescriptor descriptor;
        descriptor.sort = Sort{field, ascending};
        return descriptor;
    }
};
