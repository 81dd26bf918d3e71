#pragma once

#include <QString>

// The default printed form of a double on the console: always with a
// fractional part or an exponent, so a double never reads like an integer.
//
// The digits are the shortest that read back as the same double. Values from
// 0.0001 up to 2^54 are written in plain decimal with at least one decimal
// ("4.5", "0.0", "12345678.9", "100.0"); smaller and larger magnitudes in
// exponent form with a signed two-digit-minimum exponent ("1e-05",
// "1.5e+20"). This is the form Swift's description of a Double gives; Qt's
// QString::number would print 0.0 as "0" and 12345678.9 as "1.23457e+07".
class NumberText {
public:
    static QString fromDouble(double value);
};
