#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Dates as the views show them, in the user's locale and time zone.
class DateText {
public:
    // A numeric date and a short time ("12/4/26, 9:41 AM" in the United States).
    static QString numericDateShortTime(const QDateTime& dateTime, const QLocale& locale = QLocale());
    // The date alone with the month abbreviated ("Dec 4, 2026"): the locale's
    // long date without the weekday, its month names shortened.
    static QString abbreviatedDate(const QDateTime& dateTime, const QLocale& locale = QLocale());
    // The abbreviated date followed by the shortened time ("Dec 4, 2026, 3:05 PM").
    static QString abbreviatedDateShortTime(const QDateTime& dateTime, const QLocale& locale = QLocale());
    // The format abbreviatedDate() uses for a locale.
    static QString abbreviatedDateFormat(const QLocale& locale);
    // Hours and minutes in the locale's manner ("h:mm AP", "HH:mm").
    static QString shortenedTimeFormat(const QLocale& locale);
};
