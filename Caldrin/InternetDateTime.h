#pragma once

#include <QDateTime>
#include <QStringView>

#include <optional>

// The internet date-time form, and only it: "yyyy-MM-ddTHH:mm:ss" followed by
// "Z" or a "+hh:mm" / "-hh:mm" offset. No fractional seconds, no lower-case
// separators, no leap second, no date without time or time without zone.
// Qt's own ISO parser is more forgiving than that, so this one stands alone.
class InternetDateTime {
public:
    // The instant in UTC, or nullopt when the text is not in that form or
    // names no real date or time (month 13, February 30, hour 24, ...).
    static std::optional<QDateTime> parse(QStringView text);
};
