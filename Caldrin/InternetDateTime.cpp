#include "InternetDateTime.h"

#include <QDate>
#include <QTime>

namespace {

// The number in text[position, position + count) written with ASCII digits only.
std::optional<int> digits(QStringView text, qsizetype position, qsizetype count) {
    int value = 0;
    for (qsizetype i = position; i < position + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return value;
}

bool charAt(QStringView text, qsizetype position, char16_t expected) {
    return text[position].unicode() == expected;
}

} // namespace

std::optional<QDateTime> InternetDateTime::parse(QStringView text) {
    // 0123456789012345678
    // yyyy-MM-ddTHH:mm:ss then Z (20 characters) or ±hh:mm (25 characters)
    if (text.size() != 20 && text.size() != 25)
        return std::nullopt;
    if (!charAt(text, 4, u'-') || !charAt(text, 7, u'-') || !charAt(text, 10, u'T') ||
        !charAt(text, 13, u':') || !charAt(text, 16, u':'))
        return std::nullopt;
    const auto year = digits(text, 0, 4);
    const auto month = digits(text, 5, 2);
    const auto day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2);
    const auto minute = digits(text, 14, 2);
    const auto second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    // QDate knows no year 0 and checks month lengths and leap years.
    const QDate date(*year, *month, *day);
    if (!date.isValid() || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;

    int offsetSeconds = 0;
    if (text.size() == 20) {
        if (!charAt(text, 19, u'Z'))
            return std::nullopt;
    } else {
        const bool plus = charAt(text, 19, u'+');
        if ((!plus && !charAt(text, 19, u'-')) || !charAt(text, 22, u':'))
            return std::nullopt;
        const auto offsetHours = digits(text, 20, 2);
        const auto offsetMinutes = digits(text, 23, 2);
        if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (*offsetHours * 60 + *offsetMinutes) * 60 * (plus ? 1 : -1);
    }
    const QDateTime local(date, QTime(*hour, *minute, *second), Qt::UTC);
    return local.addSecs(-offsetSeconds);
}
