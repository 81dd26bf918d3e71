#include "DateText.h"

#include <QRegularExpression>

QString DateText::numericDateShortTime(const QDateTime& dateTime, const QLocale& locale) {
    if (!dateTime.isValid())
        return QString();
    const QDateTime local = dateTime.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QStringLiteral(" ") +
           locale.toString(local.time(), QLocale::ShortFormat);
}

QString DateText::abbreviatedDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::LongFormat);
    // The weekday goes, with the separator that follows (or precedes) it.
    static const QRegularExpression weekday(QStringLiteral("dddd[,.]?\\s*|\\s*[,.]?\\s*dddd"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

QString DateText::abbreviatedDate(const QDateTime& dateTime, const QLocale& locale) {
    if (!dateTime.isValid())
        return QString();
    return locale.toString(dateTime.toLocalTime().date(), abbreviatedDateFormat(locale));
}

QString DateText::shortenedTimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    // Some locales' short format still has seconds; the shortened style has none.
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?(\\.z+)?"));
    format.remove(seconds);
    return format.trimmed();
}

QString DateText::abbreviatedDateShortTime(const QDateTime& dateTime, const QLocale& locale) {
    if (!dateTime.isValid())
        return QString();
    const QDateTime local = dateTime.toLocalTime();
    return abbreviatedDate(local, locale) + QStringLiteral(", ") +
           locale.toString(local.time(), shortenedTimeFormat(locale));
}
