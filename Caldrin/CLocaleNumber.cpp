#include "CLocaleNumber.h"

#include <QByteArray>

#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace {

// The C locale handle, created once and never changed; strtod_l takes it so
// that the program's own locale never enters number parsing.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::optional<double> CLocaleNumber::parseDouble(QStringView text) {
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || isCSpace(bytes.front()))
        return std::nullopt;
    const char* begin = bytes.constData();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, cLocale());
    // A NUL inside the text stops strtod early, so it fails this test too.
    if (end != begin + bytes.size())
        return std::nullopt;
    return value;
}
