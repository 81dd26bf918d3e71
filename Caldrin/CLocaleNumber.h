#pragma once

#include <QStringView>

#include <optional>

// Reads numbers the way the C library's strtod reads them in the C locale,
// but only whole texts: not empty, no leading white space, every character
// consumed. Hexadecimal ("0x1.8p1"), "inf", "infinity", "nan" and "nan(...)"
// are accepted in any letter case, as strtod accepts them; so are values
// beyond the double range (they become infinity or zero, as strtod gives).
class CLocaleNumber {
public:
    static std::optional<double> parseDouble(QStringView text);
};
