#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Dates written for people, in their locale and local time zone.
class DateText {
public:
    // The abbreviated date style: the locale's long date with the month
    // abbreviated and without the weekday ("Dec 4, 2026", "4. Dez. 2026").
    static QString abbreviatedDate(const QDateTime& date, const QLocale& locale = QLocale());
    // The abbreviated date followed by the shortened time ("Dec 4, 2026, 3:05 PM").
    static QString abbreviatedDateShortTime(const QDateTime& date, const QLocale& locale = QLocale());
    // The date format behind abbreviatedDate.
    static QString abbreviatedDateFormat(const QLocale& locale);
    // Hours and minutes in the locale's manner ("h:mm AP", "HH:mm").
    static QString shortenedTimeFormat(const QLocale& locale);
};
