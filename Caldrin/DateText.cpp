#include "DateText.h"

#include <QRegularExpression>

QString DateText::abbreviatedDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::LongFormat);
    // The weekday goes with the separator that joins it to the rest, whichever
    // side it is on.
    static const QRegularExpression weekday(QStringLiteral("^dddd[,\\s]*|[,\\s]*dddd"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

QString DateText::abbreviatedDate(const QDateTime& date, const QLocale& locale) {
    return locale.toString(date.toLocalTime().date(), abbreviatedDateFormat(locale));
}

QString DateText::shortenedTimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    // Some locales' short format still has seconds; the shortened style has none.
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?(\\.z+)?"));
    format.remove(seconds);
    return format.trimmed();
}

QString DateText::abbreviatedDateShortTime(const QDateTime& date, const QLocale& locale) {
    const QDateTime local = date.toLocalTime();
    return abbreviatedDate(local, locale) + QStringLiteral(", ") +
           locale.toString(local.time(), shortenedTimeFormat(locale));
}
