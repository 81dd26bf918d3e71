#include "NumberText.h"

#include <charconv>
#include <cmath>

QString NumberText::fromDouble(double value) {
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    char buffer[64];
    const double magnitude = std::fabs(value);
    const bool exponential = magnitude != 0 && (magnitude < 1e-4 || magnitude > 0x1.0p54);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      exponential ? std::chars_format::scientific : std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (!exponential && !text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}
